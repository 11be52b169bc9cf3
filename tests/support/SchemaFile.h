#pragma once
// The statements of one of the shop's schema scripts (schema/<file> under VAK_SOURCE_DIR),
// comments left out (they may hold semicolons), for fixtures that create a shop.

#include <QString>
#include <QStringList>

namespace testsupport {

// Throws std::runtime_error when the script cannot be read.
QStringList schemaStatements(const QString& file);

}  // namespace testsupport
