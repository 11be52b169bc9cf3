#include "DbKinds.h"

#include <QtGlobal>

#include <ostream>

namespace testsupport {

std::vector<DbKind> allDbKinds()
{
    return {DbKind::SQLite, DbKind::PostgreSQL, DbKind::OdbcPostgreSQL, DbKind::OdbcSQLite};
}

std::string dbKindName(DbKind kind)
{
    switch (kind) {
    case DbKind::SQLite: return "SQLite";
    case DbKind::PostgreSQL: return "PostgreSQL";
    case DbKind::OdbcPostgreSQL: return "OdbcPostgreSQL";
    case DbKind::OdbcSQLite: return "OdbcSQLite";
    }
    return "?";
}

void PrintTo(DbKind kind, std::ostream* os)
{
    *os << dbKindName(kind);
}

bool dbKindConfigured(DbKind kind)
{
    const auto set = [](const char* name) { return !qEnvironmentVariableIsEmpty(name); };
    switch (kind) {
    case DbKind::SQLite: return true;
    case DbKind::PostgreSQL: return set("VAK_PG_CONNSTR");
    case DbKind::OdbcPostgreSQL: return set("VAK_PG_CONNSTR") && set("VAK_ODBC_PG_CONNSTR");
    case DbKind::OdbcSQLite: return set("VAK_ODBC_SQLITE_PREFIX");
    }
    return false;
}

}  // namespace testsupport
