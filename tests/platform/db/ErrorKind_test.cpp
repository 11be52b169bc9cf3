// What a database failure means for its statement, as each engine tells it: refused by a
// constraint or a value, busy, connection lost, a commit in doubt, or anything else.

#include "DbBackends.h"

#include "platform/db/ErrorKind.h"
#include "platform/db/Query.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

using platform::DatabaseError;
using platform::db::Command;
using platform::db::Connection;
using platform::db::Query;
using Kind = DatabaseError::Kind;

// The error `f` raises (a failure of the test when it raises none).
DatabaseError errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const DatabaseError& e) {
        return e;
    }
    ADD_FAILURE() << "no database error";
    return DatabaseError(QString());
}

TEST(ErrorKind, ByTheEnginesCode)
{
    const struct {
        const char* sqlState;
        Kind kind;
    } states[] = {
        {"08006", Kind::ConnectionLost}, {"08003", Kind::ConnectionLost}, {"57P01", Kind::ConnectionLost},
        {"40003", Kind::InDoubt},        {"40001", Kind::Busy},           {"40P01", Kind::Busy},
        {"55P03", Kind::Busy},           {"57014", Kind::Busy},           {"23505", Kind::Refused},
        {"23503", Kind::Refused},        {"22P02", Kind::Refused},        {"22001", Kind::Refused},
        {"42703", Kind::Other},          {"", Kind::Other},               {"XX000", Kind::Other},
    };
    for (const auto& s : states)
        EXPECT_EQ(platform::db::kindOfSqlState(QString::fromLatin1(s.sqlState)), s.kind) << s.sqlState;
    const struct {
        int code;
        Kind kind;
    } codes[] = {{5, Kind::Busy}, {6, Kind::Busy}, {517, Kind::Busy}, {19, Kind::Refused}, {2067, Kind::Refused},
                 {1555, Kind::Refused}, {20, Kind::Refused}, {1, Kind::Other}, {10, Kind::Other}};
    for (const auto& c : codes)
        EXPECT_EQ(platform::db::kindOfSqliteCode(c.code), c.kind) << c.code;
    EXPECT_TRUE(DatabaseError(QString(), Kind::InDoubt).uncertain());
    EXPECT_TRUE(DatabaseError(QString(), Kind::ConnectionLost).uncertain());
    for (Kind k : {Kind::Other, Kind::Busy, Kind::Refused})
        EXPECT_FALSE(DatabaseError(QString(), k).uncertain());
}

class ErrorKindOnBackend : public testdb::TableFixture {
protected:
    void SetUp() override { createTable("VAK_KIND", QStringLiteral("CD VARCHAR(10) NOT NULL PRIMARY KEY, QT INTEGER")); }
    bool native() const { return GetParam() == testdb::Kind::SQLite || GetParam() == testdb::Kind::PostgreSQL; }
};

// A key stored twice is refused with the engine's own code; a text the engine cannot run
// is neither refused nor uncertain.
TEST_P(ErrorKindOnBackend, AConstraintRefusesAndAWrongTextIsNeitherRefusedNorUncertain)
{
    Command insert(&conn);
    insert.setSql(QStringLiteral("INSERT INTO %1 (CD) VALUES (:P_CD)").arg(table));
    insert.setParam(QStringLiteral("P_CD"), QStringLiteral("A"));
    insert.execute();
    const DatabaseError twice = errorOf([&] { insert.execute(); });
    if (native()) {
        EXPECT_EQ(twice.kind(), Kind::Refused) << twice.text().toStdString();
        EXPECT_EQ(twice.engineCode(), testdb::isPostgres(GetParam()) ? QStringLiteral("23505") : QStringLiteral("1555"));
    }
    EXPECT_FALSE(twice.uncertain());
    Query wrong(&conn);
    wrong.setSql(QStringLiteral("SELECT NO_SUCH_COLUMN FROM %1").arg(table));
    const DatabaseError e = errorOf([&] { wrong.open(); });
    EXPECT_EQ(e.kind(), Kind::Other) << e.text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Backends, ErrorKindOnBackend, ::testing::ValuesIn(testsupport::allDbKinds()),
                         [](const auto& info) { return testsupport::dbKindName(info.param); });

// The server ends this connection's session: the next statement finds the connection
// lost, and a commit sent then cannot know whether it was carried out.
TEST(ErrorKind, AConnectionThePostgresServerEndedIsLostAndItsCommitInDoubt)
{
    const QString cs = qEnvironmentVariable("VAK_PG_CONNSTR");
    if (cs.isEmpty())
        GTEST_SKIP() << "VAK_PG_CONNSTR not set";
    auto endSession = [&](Connection& victim) {
        Query pid(&victim);
        pid.setSql(QStringLiteral("SELECT pg_backend_pid()"));
        pid.open();
        const int id = pid.value(0).toInt();
        pid.close();
        Connection killer(cs);
        killer.open();
        killer.execute(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(id));
    };
    Connection statement(cs);
    statement.open();
    endSession(statement);
    const DatabaseError lost = errorOf([&] { statement.execute(QStringLiteral("SELECT 1")); });
    EXPECT_EQ(lost.kind(), Kind::ConnectionLost) << lost.text().toStdString();

    Connection committing(cs);
    committing.open();
    committing.beginTransaction();
    committing.execute(QStringLiteral("SELECT 1"));
    endSession(committing);
    const DatabaseError doubt = errorOf([&] { committing.commit(); });
    EXPECT_EQ(doubt.kind(), Kind::InDoubt) << doubt.text().toStdString();
    EXPECT_TRUE(doubt.uncertain());
}

}  // namespace
