#pragma once
// The database backends a test can run on: SQLite always; PostgreSQL and ODBC (to
// PostgreSQL and to SQLite) when scripts/services.sh exported their connection strings.

#include <iosfwd>
#include <string>
#include <vector>

namespace testsupport {

enum class DbKind { SQLite, PostgreSQL, OdbcPostgreSQL, OdbcSQLite };

std::vector<DbKind> allDbKinds();
// The kind's name, as the test cases' suffixes show it.
std::string dbKindName(DbKind kind);
// Whether the environment names a server (or driver) for `kind`.
bool dbKindConfigured(DbKind kind);
// How GoogleTest shows a kind: its name.
void PrintTo(DbKind kind, std::ostream* os);
inline bool isPostgres(DbKind kind) { return kind == DbKind::PostgreSQL || kind == DbKind::OdbcPostgreSQL; }

}  // namespace testsupport
