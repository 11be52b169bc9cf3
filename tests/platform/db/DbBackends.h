#pragma once
// The database backends a test can run on: SQLite always; PostgreSQL and ODBC (to
// PostgreSQL and to SQLite) when scripts/services.sh exported their connection strings.

#include <QCoreApplication>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

namespace testdb {

enum class Kind { SQLite, PostgreSQL, OdbcPostgreSQL, OdbcSQLite };

inline std::vector<Kind> allKinds()
{
    return {Kind::SQLite, Kind::PostgreSQL, Kind::OdbcPostgreSQL, Kind::OdbcSQLite};
}

inline std::string kindName(Kind k)
{
    switch (k) {
    case Kind::SQLite: return "SQLite";
    case Kind::PostgreSQL: return "PostgreSQL";
    case Kind::OdbcPostgreSQL: return "OdbcPostgreSQL";
    case Kind::OdbcSQLite: return "OdbcSQLite";
    }
    return "?";
}

// The connection string for `kind`, or "" when that backend is not configured here.
// SQLite files are created in `dir`.
inline QString connectionString(Kind kind, const QString& dir)
{
    switch (kind) {
    case Kind::SQLite:
        return QStringLiteral("Provider=SQLite;Data Source=%1/test.db").arg(dir);
    case Kind::PostgreSQL:
        return qEnvironmentVariable("VAK_PG_CONNSTR");
    case Kind::OdbcPostgreSQL:
        return qEnvironmentVariable("VAK_ODBC_PG_CONNSTR");
    case Kind::OdbcSQLite: {
        const QString prefix = qEnvironmentVariable("VAK_ODBC_SQLITE_PREFIX");
        return prefix.isEmpty() ? QString() : prefix + dir + QStringLiteral("/odbc.db");
    }
    }
    return {};
}

inline bool isPostgres(Kind k) { return k == Kind::PostgreSQL || k == Kind::OdbcPostgreSQL; }

// A table name unique to this process, so tests running at once on one server never meet.
inline QString uniqueName(const char* base)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(base)).arg(QCoreApplication::applicationPid());
}

}  // namespace testdb
