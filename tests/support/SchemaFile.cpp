#include "SchemaFile.h"

#include <QFile>

#include <stdexcept>

namespace testsupport {

QStringList schemaStatements(const QString& file)
{
    QFile script(qEnvironmentVariable("VAK_SOURCE_DIR") + QStringLiteral("/schema/") + file);
    if (!script.open(QIODevice::ReadOnly))
        throw std::runtime_error("schema script not found: " + script.fileName().toStdString());
    QStringList lines;
    for (const QString& line : QString::fromUtf8(script.readAll()).split(QLatin1Char('\n')))
        lines << line.section(QStringLiteral("--"), 0, 0);
    QStringList statements;
    for (const QString& statement : lines.join(QLatin1Char('\n')).split(QLatin1Char(';')))
        if (!statement.trimmed().isEmpty())
            statements << statement.trimmed();
    return statements;
}

}  // namespace testsupport
