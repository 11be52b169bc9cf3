#pragma once
// Connections and scratch tables on each database kind a test can run on (SQLite always;
// PostgreSQL and ODBC when scripts/services.sh exported their connection strings).

#include "support/DbKinds.h"
#include "support/SqliteFile.h"
#include "platform/Error.h"
#include "platform/db/Connection.h"

#include <QCoreApplication>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace testdb {

using Kind = testsupport::DbKind;
using testsupport::isPostgres;

// The connection string for `kind`, or "" when that backend is not configured here.
// SQLite files are created in `dir`.
inline QString connectionString(Kind kind, const QString& dir)
{
    switch (kind) {
    case Kind::SQLite:
        return QStringLiteral("Provider=SQLite;Data Source=") + sqliteFile(dir);
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

// A table name unique to this process, so tests running at once on one server never meet.
inline QString uniqueName(const char* base)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(base)).arg(QCoreApplication::applicationPid());
}

// A fixture run once per backend: connected, with one table of this process created by
// createSql (its %1 is the table name) and dropped afterwards. Skips unconfigured backends.
class TableFixture : public ::testing::TestWithParam<Kind> {
protected:
    // `base` names the table; `columns(pg)` gives the column list for PostgreSQL or not.
    void createTable(const char* base, const QString& columns)
    {
        const QString cs = connectionString(GetParam(), dir.path());
        if (cs.isEmpty())
            GTEST_SKIP() << "backend not configured";
        conn.setConnectionString(cs);
        conn.open();
        table = uniqueName(base);
        dropTable();
        conn.execute(QStringLiteral("CREATE TABLE %1 (%2)").arg(table, columns));
    }
    bool postgres() const { return isPostgres(GetParam()); }
    void dropTable()
    {
        if (!conn.connected() || table.isEmpty())
            return;
        try {
            conn.execute(QStringLiteral("DROP TABLE %1").arg(table));
        } catch (const platform::DatabaseError&) {
        }
    }
    void TearDown() override { dropTable(); }

    QTemporaryDir dir;
    platform::db::Connection conn;
    QString table;
};

}  // namespace testdb
