// Connection life: events, failures, dialect detection, unique Qt names, time-outs.

#include "DbBackends.h"

#include "platform/Error.h"
#include "platform/db/Query.h"
#include "platform/db/Transaction.h"

#include <QFile>
#include <QSqlDatabase>

#include <functional>
#include <optional>
#include <string_view>

#include <gtest/gtest.h>

using namespace platform;
using namespace platform::db;

namespace {

// Runs one statement bounded by `seconds` and returns its first value.
QString runBounded(Connection& conn, int seconds, const char* sql)
{
    Query q(&conn);
    q.setSql(QString::fromLatin1(sql));
    q.setCommandTimeout(seconds);
    q.open();
    return q.eof() ? QString() : q.value(0).toString();
}

}  // namespace

TEST(Connection, EventsRunAroundTheOpenInOrder)
{
    QTemporaryDir dir;
    Connection conn;
    QStringList order;
    conn.setBeforeConnect([&](Connection& c) {
        order << QStringLiteral("before");
        EXPECT_FALSE(c.connected());
        c.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + sqliteFile(dir.path(), QStringLiteral("ev.db")));
    });
    conn.setAfterConnect([&](Connection& c) {
        order << QStringLiteral("after");
        EXPECT_TRUE(c.connected());
        c.execute(QStringLiteral("CREATE TABLE IF NOT EXISTS X (A INTEGER)"));
    });
    conn.setConnected(true);
    EXPECT_EQ(order, (QStringList{"before", "after"}));
    EXPECT_EQ(conn.dialect(), Dialect::Ansi);
    EXPECT_EQ(conn.backend(), Backend::SQLite);
    conn.open();  // already open: no events
    EXPECT_EQ(order.size(), 2);
    conn.close();
    EXPECT_FALSE(conn.connected());
    EXPECT_FALSE(QSqlDatabase::contains(conn.qtConnectionName()));
}

TEST(Connection, AFailingAfterConnectLeavesItClosed)
{
    Connection conn(QStringLiteral("Provider=SQLite;Data Source=:memory:"));
    conn.setAfterConnect([](Connection&) { throw HostError(QStringLiteral("sessão recusada")); });
    try {
        conn.open();
        FAIL() << "no error";
    } catch (const HostError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("sessão recusada"));
    }
    EXPECT_FALSE(conn.connected());
    EXPECT_FALSE(QSqlDatabase::contains(conn.qtConnectionName()));
}

TEST(Connection, EachConnectionHasItsOwnQtName)
{
    Connection a(QStringLiteral("Provider=SQLite;Data Source=:memory:"));
    Connection b(QStringLiteral("Provider=SQLite;Data Source=:memory:"));
    EXPECT_NE(a.qtConnectionName(), b.qtConnectionName());
    a.open();
    b.open();
    a.execute(QStringLiteral("CREATE TABLE ONLY_IN_A (X INTEGER)"));
    EXPECT_THROW(b.execute(QStringLiteral("SELECT * FROM ONLY_IN_A")), DatabaseError);
}

TEST(Connection, FailuresToConnectAreDatabaseErrorsWithTheDriverText)
{
    Connection bad(QStringLiteral("Provider=SQLite;Data Source=/nonexistent-dir/x/y.db"));
    EXPECT_THROW(bad.open(), DatabaseError);
    EXPECT_FALSE(bad.connected());

    // A port where nothing listens.
    Connection pg(QStringLiteral("Provider=PostgreSQL;Host=127.0.0.1;Port=1;Database=x;User ID=u;Connect Timeout=2"));
    try {
        pg.open();
        FAIL() << "no error";
    } catch (const DatabaseError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("PostgreSQL"))) << e.what();
        EXPECT_GT(e.text().size(), 30) << e.what();
    }
    Connection unknown(QStringLiteral("Provider=Nada;Data Source=x"));
    EXPECT_THROW(unknown.open(), DatabaseError);
}

TEST(Connection, ASqliteFileThatDoesNotExistIsNamedAndNotCreated)
{
    QTemporaryDir dir;
    for (const QString& path : {dir.filePath(QStringLiteral("loja.db")), dir.path()}) {
        Connection conn(QStringLiteral("Provider=SQLite;Data Source=") + path);
        try {
            conn.open();
            FAIL() << "opened " << path.toStdString();
        } catch (const DatabaseError& e) {
            EXPECT_TRUE(e.text().contains(path)) << e.what();
        }
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("loja.db"))));
}

TEST(Connection, ABusySqliteDatabaseIsWaitedForOncePerOperationAndNamedBusy)
{
    QTemporaryDir dir;
    const QString cs = QStringLiteral("Provider=SQLite;Busy Timeout=0.3;Data Source=") + sqliteFile(dir.path());
    Connection holder(cs), waiter(cs);
    holder.open();
    waiter.open();
    holder.execute(QStringLiteral("CREATE TABLE T (A INTEGER)"));
    holder.beginTransaction(true);
    holder.execute(QStringLiteral("INSERT INTO T VALUES (1)"));
    std::optional<DatabaseError::Kind> kind;
    auto errorOf = [&kind](const std::function<void()>& f) {
        try {
            f();
        } catch (const DatabaseError& e) {
            kind = e.kind();
            return e.text();
        }
        return QStringLiteral("(no error)");
    };
    // The first statement waits its timeout; the error handling after it does not wait again.
    const QString first = errorOf([&] { waiter.beginTransaction(true); });
    EXPECT_EQ(kind, DatabaseError::Kind::Busy) << "a held write lock is busy, not a refusal";
    EXPECT_TRUE(first.contains(QStringLiteral("is busy"))) << first.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("(waited 0.3 s)"))) << first.toStdString();
    const QString second = errorOf([&] { waiter.execute(QStringLiteral("INSERT INTO T VALUES (2)")); });
    EXPECT_TRUE(second.contains(QStringLiteral("did not wait again"))) << second.toStdString();
    holder.commit();
    EXPECT_EQ(errorOf([&] { waiter.execute(QStringLiteral("INSERT INTO T VALUES (3)")); }), "(no error)");
}

TEST(Connection, OdbcDialectComesFromTheServer)
{
    QTemporaryDir dir;
    for (testdb::Kind kind : {testdb::Kind::OdbcSQLite, testdb::Kind::OdbcPostgreSQL}) {
        const QString cs = testdb::connectionString(kind, dir.path());
        if (cs.isEmpty())
            continue;
        Connection conn(cs);
        conn.open();
        EXPECT_EQ(conn.dialect(), Dialect::Ansi);
        EXPECT_EQ(conn.backend(), kind == testdb::Kind::OdbcSQLite ? Backend::SQLite : Backend::PostgreSQL)
            << qPrintable(conn.dbmsName());
    }
    if (qEnvironmentVariable("VAK_ODBC_PG_CONNSTR").isEmpty())
        GTEST_SKIP() << "ODBC not configured";
}

TEST(Connection, CommandTimeoutStopsALongStatementOnPostgreSQL)
{
    for (const char* var : {"VAK_PG_CONNSTR", "VAK_ODBC_PG_CONNSTR"}) {
        const QString cs = qEnvironmentVariable(var);
        if (cs.isEmpty())
            GTEST_SKIP() << "PostgreSQL not configured";
        Connection conn(cs);
        conn.open();
        Query q(&conn);
        q.setSql(QStringLiteral("SELECT pg_sleep(5)"));
        q.setCommandTimeout(1);
        EXPECT_THROW(q.open(), DatabaseError) << var;
        q.setCommandTimeout(0);
        q.setSql(QStringLiteral("SELECT 1"));
        q.open();
        EXPECT_EQ(q.value(0).toInt(), 1);
    }
}

// A statement time-out set inside a transaction is undone with it by the server, however
// the transaction ends without its writes: the connection's next statement is bounded as
// the server then holds, not as the connection last set it.
TEST(Connection, AStatementTimeoutSetInATransactionThatEndsUndoneIsSetAgain)
{
    const QString cs = qEnvironmentVariable("VAK_PG_CONNSTR");
    if (cs.isEmpty())
        GTEST_SKIP() << "PostgreSQL not configured";
    const char* const timeoutNow = "SELECT current_setting('statement_timeout')";
    const QList<std::pair<const char*, std::function<void(Connection&)>>> endings = {
        {"rollback", [](Connection& c) { c.rollback(); }},
        {"scope left without commit", [](Connection& c) { Transaction t(c); runBounded(c, 7, "SELECT 1"); }},
        {"commit refused after a failed statement", [](Connection& c) {
             Transaction t(c);
             runBounded(c, 7, "SELECT 1");
             EXPECT_THROW(runBounded(c, 7, "SELECT 1/0"), DatabaseError);
             EXPECT_THROW(t.commit(), DatabaseError);
         }},
    };
    for (const auto& [how, end] : endings) {
        SCOPED_TRACE(how);
        Connection conn(cs);
        conn.open();
        if (std::string_view(how) == "rollback") {
            conn.beginTransaction();
            runBounded(conn, 7, "SELECT 1");
        }
        end(conn);
        EXPECT_EQ(runBounded(conn, 7, timeoutNow), QStringLiteral("7s"));
    }
}

// On a real server: the checked options reach libpq and take effect, and a value with
// quotes and blanks names one odd database instead of adding a keyword of its own.
TEST(Connection, PostgresValuesReachLibpqQuoted)
{
    const QString cs = qEnvironmentVariable("VAK_PG_CONNSTR");
    if (cs.isEmpty())
        GTEST_SKIP() << "PostgreSQL not configured";
    const QString database = qEnvironmentVariable("VAK_PG_DATABASE");
    Connection conn(cs + QStringLiteral(";Connect Timeout=5;Search Path=pg_catalog,public"));
    conn.open();
    Query q(&conn);
    q.setSql(QStringLiteral("SELECT current_database(), current_setting('search_path')"));
    q.open();
    EXPECT_EQ(q.value(0).toString(), database);
    EXPECT_EQ(q.value(1).toString(), QStringLiteral("pg_catalog,public"));

    Connection odd(QString(cs).replace(QStringLiteral("Database=") + database,
                                       QStringLiteral("Database=\"nada' dbname='%1\"").arg(database)));
    try {
        odd.open();
        ADD_FAILURE() << "connected to " << odd.connectionString().toStdString();
    } catch (const DatabaseError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("nada' dbname='%1").arg(database))) << e.what();
    }
}
