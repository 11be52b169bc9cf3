#include "SqlRows.h"

#include <QSqlRecord>

namespace testsupport {

QList<QStringList> textRows(QSqlQuery& query, bool trimmed)
{
    QList<QStringList> rows;
    while (query.next()) {
        QStringList row;
        for (int i = 0; i < query.record().count(); ++i)
            row << (trimmed ? query.value(i).toString().trimmed() : query.value(i).toString());
        rows << row;
    }
    return rows;
}

}  // namespace testsupport
