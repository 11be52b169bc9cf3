#include "tools/shopgen/Schema.h"

#include "platform/Error.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>

namespace shopgen {

QString schemaScript(const QString& name)
{
    QFile file(QStringLiteral(":/schema/%1.sql").arg(name));
    if (!file.open(QIODevice::ReadOnly))
        throw platform::Error(QStringLiteral("No shop schema for the database '%1'").arg(name));
    return QString::fromUtf8(file.readAll());
}

QString schemaNameFor(const platform::db::Connection& connection)
{
    using platform::db::Backend;
    using platform::db::Dialect;
    switch (connection.backend()) {
    case Backend::SQLite: return QStringLiteral("sqlite");
    case Backend::PostgreSQL: return QStringLiteral("postgresql");
    case Backend::MsSql: return QStringLiteral("mssql");
    case Backend::Oracle: return QStringLiteral("oracle");
    case Backend::Other: break;
    }
    switch (connection.dialect()) {
    case Dialect::MsSql: return QStringLiteral("mssql");
    case Dialect::Oracle: return QStringLiteral("oracle");
    case Dialect::Ansi: break;
    }
    throw platform::Error(QStringLiteral("No shop schema for the database '%1'").arg(connection.dbmsName()));
}

QStringList splitStatements(const QString& script)
{
    QStringList statements;
    QString current;
    QChar quote;  // the open quote character, or null outside quotes
    for (qsizetype i = 0; i < script.size(); ++i) {
        const QChar c = script.at(i);
        if (!quote.isNull()) {
            current += c;
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('-') && i + 1 < script.size() && script.at(i + 1) == QLatin1Char('-')) {
            while (i < script.size() && script.at(i) != QLatin1Char('\n'))
                ++i;
            current += QLatin1Char('\n');
        } else if (c == QLatin1Char(';')) {
            if (!current.trimmed().isEmpty())
                statements << current.trimmed();
            current.clear();
        } else {
            if (c == QLatin1Char('\'') || c == QLatin1Char('"'))
                quote = c;
            current += c;
        }
    }
    if (!current.trimmed().isEmpty())
        statements << current.trimmed();
    return statements;
}

QStringList tablesOf(const QString& script)
{
    static const QRegularExpression create(QStringLiteral(R"(^\s*CREATE\s+TABLE\s+(\w+))"),
                                           QRegularExpression::CaseInsensitiveOption);
    QStringList tables;
    for (const QString& statement : splitStatements(script)) {
        const QRegularExpressionMatch m = create.match(statement);
        if (m.hasMatch())
            tables << m.captured(1).toUpper();
    }
    return tables;
}

void createSchema(platform::db::Connection& connection)
{
    for (const QString& statement : splitStatements(schemaScript(schemaNameFor(connection)))) {
        try {
            connection.execute(statement);
        } catch (const platform::DatabaseError& e) {
            throw platform::DatabaseError(QStringLiteral("%1\nin: %2").arg(e.text(), statement.left(200)));
        }
    }
}

QStringList existingShopTables(platform::db::Connection& connection)
{
    QStringList present;
    const QStringList existing = connection.database().tables();
    for (const QString& table : tablesOf(schemaScript(schemaNameFor(connection))))
        if (existing.contains(table, Qt::CaseInsensitive))
            present << table;
    return present;
}

void dropSchema(platform::db::Connection& connection)
{
    QStringList tables = existingShopTables(connection);
    std::reverse(tables.begin(), tables.end());
    for (const QString& table : tables)
        connection.execute(QStringLiteral("DROP TABLE ") + table);
}

}  // namespace shopgen
