#pragma once
// The rows a fixture reads back from a shop database, every value as text.

#include <QList>
#include <QSqlQuery>
#include <QStringList>

namespace testsupport {

// Every remaining row of an executed query; values trimmed when `trimmed` is set (fixed
// width columns pad their texts).
QList<QStringList> textRows(QSqlQuery& query, bool trimmed = false);

}  // namespace testsupport
