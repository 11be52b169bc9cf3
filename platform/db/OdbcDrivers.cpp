#include "platform/db/OdbcDrivers.h"

#include <QRegularExpression>

#include <sql.h>
#include <sqlext.h>

namespace platform::db {

QStringList installedOdbcDrivers()
{
    QStringList names;
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return names;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLCHAR name[512];
    SQLCHAR attributes[2048];
    SQLSMALLINT nameLength = 0, attributesLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDrivers(env, direction, name, sizeof name, &nameLength, attributes, sizeof attributes,
                                    &attributesLength))) {
        names << QString::fromLocal8Bit(reinterpret_cast<const char*>(name));
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return names;
}

namespace {

QString sqlServerDriver(const QStringList& installed)
{
    static const QRegularExpression vendor(QStringLiteral("^ODBC Driver (\\d+) for SQL Server$"),
                                           QRegularExpression::CaseInsensitiveOption);
    QString best;
    int bestVersion = -1;
    for (const QString& name : installed)
        if (const QRegularExpressionMatch m = vendor.match(name); m.hasMatch() && m.captured(1).toInt() > bestVersion) {
            best = name;
            bestVersion = m.captured(1).toInt();
        }
    if (!best.isEmpty())
        return best;
    for (const char* part : {"SQL Server", "FreeTDS"})
        for (const QString& name : installed)
            if (name.contains(QLatin1String(part), Qt::CaseInsensitive))
                return name;
    return QStringLiteral("ODBC Driver 18 for SQL Server");
}

}  // namespace

QString chooseOdbcDriver(Backend backend, const QStringList& installed)
{
    if (backend == Backend::MsSql)
        return sqlServerDriver(installed);
    if (backend == Backend::Oracle) {
        for (const QString& name : installed)
            if (name.contains(QLatin1String("Oracle"), Qt::CaseInsensitive))
                return name;
        return QStringLiteral("Oracle");
    }
    return {};
}

}  // namespace platform::db
