// Statements: named parameters, typed values and nulls, errors; on every configured backend.

#include "DbBackends.h"
#include "support/ExpectError.h"
#include "support/FieldDefs.h"

#include "platform/Error.h"
#include "platform/db/Provider.h"
#include "platform/db/Query.h"
#include "platform/db/Transaction.h"

#include <gtest/gtest.h>

using namespace platform;
using namespace platform::db;

TEST(StatementText, RepeatedNamesAreOneParameter)
{
    Query q;
    q.setSql(QStringLiteral("SELECT * FROM T WHERE (A = :P_X OR B = :p_x) AND C = :P_Y -- :P_COMMENT\n"
                            "AND D = ':P_QUOTED' AND E = 'it''s :P_ESCAPED' AND F::text = :P_Z /* :P_BLOCK */"));
    EXPECT_EQ(q.parameterNames(), (QStringList{"P_X", "P_Y", "P_Z"}));
    EXPECT_EQ(q.markerNames(), (QStringList{"P_X", "p_x", "P_Y", "P_Z"}));
    EXPECT_EQ(q.preparedSql().count(QLatin1Char('?')), 4);
    EXPECT_TRUE(q.preparedSql().contains(QStringLiteral("F::text = ?")));
    EXPECT_TRUE(q.preparedSql().contains(QStringLiteral("':P_QUOTED'")));
    EXPECT_THROW(q.paramByName(QStringLiteral("P_COMMENT")), DatabaseError);
}

TEST(StatementText, ChangingTheTextKeepsDeclaredParameters)
{
    Command c;
    c.setSql(QStringLiteral("UPDATE T SET A = :P_A WHERE B = :P_B"));
    c.declareParam(QStringLiteral("P_A"), FieldType::Date).setValue(QDate(2026, 12, 7));
    c.setSql(QStringLiteral("UPDATE T SET A = :P_A WHERE C = :P_C"));
    EXPECT_EQ(c.paramByName(QStringLiteral("P_A")).type(), FieldType::Date);
    EXPECT_EQ(c.paramByName(QStringLiteral("P_A")).value(), QVariant(QDate(2026, 12, 7)));
    EXPECT_EQ(c.findParam(QStringLiteral("P_B")), nullptr);
}

TEST(StatementText, UseWithoutOpenConnectionIsAnError)
{
    Query q;
    q.setSql(QStringLiteral("SELECT 1"));
    EXPECT_THROW(q.open(), DatabaseError);
    Connection conn(QStringLiteral("Provider=SQLite;Data Source=:memory:"));
    q.setConnection(&conn);
    EXPECT_THROW(q.open(), DatabaseError);  // not connected yet
}

class StatementOnBackend : public testdb::TableFixture {
protected:
    // Opens `q` and gives the first column of every row, as texts.
    static QStringList firstColumn(Query& q)
    {
        q.open();
        QStringList got;
        for (; !q.eof(); q.next())
            got << q.value(0).toString();
        return got;
    }
    void SetUp() override
    {
        createTable("VAK_STMT", QStringLiteral("CD VARCHAR(10) NOT NULL PRIMARY KEY, NM VARCHAR(40), QT INTEGER, VR %1, "
                                               "DT DATE, DH %2")
                                    .arg(postgres() ? QStringLiteral("NUMERIC(15,2)") : QStringLiteral("REAL"),
                                         postgres() ? QStringLiteral("TIMESTAMP") : QStringLiteral("DATETIME")));
    }
    void insert(const QString& cd, const QVariant& nm, const QVariant& qt, const QVariant& vr, const QVariant& dt,
                const QVariant& dh)
    {
        Command c(&conn);
        c.setSql(QStringLiteral("INSERT INTO %1 (CD, NM, QT, VR, DT, DH) VALUES (:P_CD, :P_NM, :P_QT, :P_VR, :P_DT, :P_DH)").arg(table));
        c.declareParam(QStringLiteral("P_CD"), FieldType::String, 10).setValue(cd);
        c.declareParam(QStringLiteral("P_NM"), FieldType::String, 40).setValue(nm);
        c.declareParam(QStringLiteral("P_QT"), FieldType::Integer).setValue(qt);
        c.declareParam(QStringLiteral("P_VR"), FieldType::Float).setValue(vr);
        c.declareParam(QStringLiteral("P_DT"), FieldType::Date).setValue(dt);
        c.declareParam(QStringLiteral("P_DH"), FieldType::DateTime).setValue(dh);
        EXPECT_EQ(c.execute(), 1);
    }
    FieldDefs fields() const
    {
        using testsupport::def;
        return {def("CD", FieldType::String, 10), def("NM", FieldType::String, 40), def("QT", FieldType::Integer),
                def("VR", FieldType::Float),      def("DT", FieldType::Date),       def("DH", FieldType::DateTime)};
    }
};

TEST_P(StatementOnBackend, RepeatedParameterGetsOneValueAtEveryOccurrence)
{
    insert(QStringLiteral("A"), QStringLiteral("Ana"), 1, 1.5, QDate(2026, 1, 2), QDateTime(QDate(2026, 1, 2), QTime(10, 0)));
    insert(QStringLiteral("B"), QStringLiteral("Bia"), 2, 2.5, QDate(2026, 1, 3), QDateTime(QDate(2026, 1, 3), QTime(11, 0)));
    Query q(&conn);
    q.setSql(QStringLiteral("SELECT CD FROM %1 WHERE CD = :P_CD OR NM = :p_cd OR (QT = :P_QT AND CD <> :P_CD) ORDER BY CD").arg(table));
    q.declareParam(QStringLiteral("p_qt"), FieldType::Integer);
    q.setParam(QStringLiteral("P_CD"), QStringLiteral("Bia"));
    q.setParam(QStringLiteral("P_QT"), 1);
    EXPECT_EQ(firstColumn(q), (QStringList{"A", "B"}));
    // Another text, the parameters in another order: each marker takes its own value.
    q.setSql(QStringLiteral("SELECT CD FROM %1 WHERE QT = :P_QT OR NM = :P_CD ORDER BY CD").arg(table));
    q.setParam(QStringLiteral("P_CD"), QStringLiteral("Ana"));
    q.setParam(QStringLiteral("P_QT"), 2);
    EXPECT_EQ(firstColumn(q), (QStringList{"A", "B"}));
}

TEST_P(StatementOnBackend, TypedNullsAndValuesRoundTrip)
{
    insert(QStringLiteral("N"), QVariant(), QVariant(), QVariant(), QVariant(), QVariant());
    insert(QStringLiteral("V"), QStringLiteral("Ação"), 42, 10.25, QDate(2026, 12, 7),
           QDateTime(QDate(2026, 12, 7), QTime(23, 59, 58)));
    Query q(&conn);
    q.setSql(QStringLiteral("SELECT CD, NM, QT, VR, DT, DH FROM %1 ORDER BY CD").arg(table));
    q.setFieldDefs(fields());
    q.open();
    ASSERT_FALSE(q.eof());
    for (int i = 1; i < 6; ++i)
        EXPECT_FALSE(q.value(i).isValid()) << "column " << i;
    q.next();
    EXPECT_EQ(q.value(QStringLiteral("NM")), QVariant(QStringLiteral("Ação")));
    EXPECT_EQ(q.value(QStringLiteral("QT")), QVariant(42));
    EXPECT_EQ(q.value(QStringLiteral("VR")), QVariant(10.25));
    EXPECT_EQ(q.value(QStringLiteral("DT")), QVariant(QDate(2026, 12, 7)));
    EXPECT_EQ(q.value(QStringLiteral("DH")), QVariant(QDateTime(QDate(2026, 12, 7), QTime(23, 59, 58))));
    q.next();
    EXPECT_TRUE(q.eof());
    EXPECT_THROW(q.value(0), DatabaseError);
}

TEST_P(StatementOnBackend, DateParametersCompareWithStoredDates)
{
    insert(QStringLiteral("A"), QStringLiteral("a"), 1, 1.0, QDate(2026, 12, 6), QDateTime(QDate(2026, 12, 6), QTime(8, 0)));
    insert(QStringLiteral("B"), QStringLiteral("b"), 1, 1.0, QDate(2026, 12, 7), QDateTime(QDate(2026, 12, 7), QTime(0, 0)));
    insert(QStringLiteral("C"), QStringLiteral("c"), 1, 1.0, QDate(2026, 12, 8), QDateTime(QDate(2026, 12, 7), QTime(9, 30)));
    Query q(&conn);
    q.setSql(QStringLiteral("SELECT CD FROM %1 WHERE DT >= :P_DATAHOJE AND DH >= :P_DH ORDER BY CD").arg(table));
    q.declareParam(QStringLiteral("P_DATAHOJE"), FieldType::Date).setValue(QDate(2026, 12, 7));
    q.declareParam(QStringLiteral("P_DH"), FieldType::DateTime).setValue(QDateTime(QDate(2026, 12, 7), QTime(0, 0)));
    EXPECT_EQ(firstColumn(q), (QStringList{"B", "C"}));
}

TEST_P(StatementOnBackend, DatabaseErrorsCarryTheDriverText)
{
    Query q(&conn);
    q.setSql(QStringLiteral("SELECT NO_SUCH_COLUMN FROM %1").arg(table));
    testsupport::expectErrorNaming<DatabaseError>([&] { q.open(); }, QStringLiteral("NO_SUCH_COLUMN"),
                                                  Qt::CaseInsensitive);
    EXPECT_FALSE(q.active());
    insert(QStringLiteral("A"), QStringLiteral("a"), 1, 1.0, QVariant(), QVariant());
    Command dup(&conn);
    dup.setSql(QStringLiteral("INSERT INTO %1 (CD) VALUES (:P_CD)").arg(table));
    dup.setParam(QStringLiteral("P_CD"), QStringLiteral("A"));
    EXPECT_THROW(dup.execute(), DatabaseError);
    // The statement is usable again after the failure.
    dup.setParam(QStringLiteral("P_CD"), QStringLiteral("Z"));
    EXPECT_EQ(dup.execute(), 1);
}

TEST_P(StatementOnBackend, AValueThatCannotTakeTheParameterTypeFailsBeforeExecution)
{
    Command c(&conn);
    c.setSql(QStringLiteral("INSERT INTO %1 (CD, QT) VALUES (:P_CD, :P_QT)").arg(table));
    c.setParam(QStringLiteral("P_CD"), QStringLiteral("X"));
    c.declareParam(QStringLiteral("P_QT"), FieldType::Integer).setValue(QStringLiteral("doze"));
    testsupport::expectErrorNaming<DatabaseError>([&] { c.execute(); }, QStringLiteral("P_QT"));
    Query count(&conn);
    count.setSql(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table));
    count.open();
    EXPECT_EQ(count.value(0).toInt(), 0);
}

TEST_P(StatementOnBackend, TransactionsCommitAndRollBack)
{
    conn.beginTransaction(true);
    EXPECT_THROW(conn.beginTransaction(), DatabaseError);
    insert(QStringLiteral("R"), QStringLiteral("r"), 1, 1.0, QVariant(), QVariant());
    conn.rollback();
    // A transaction object undoes its writes when left by any exception, and the
    // connection takes the next transaction.
    try {
        Transaction t(conn, true);
        insert(QStringLiteral("X"), QStringLiteral("x"), 1, 1.0, QVariant(), QVariant());
        throw std::runtime_error("not a database error");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(conn.inTransaction());
    {
        Transaction t(conn);
        insert(QStringLiteral("C"), QStringLiteral("c"), 1, 1.0, QVariant(), QVariant());
        t.commit();
    }
    Query q(&conn);
    q.setSql(QStringLiteral("SELECT CD FROM %1").arg(table));
    q.open();
    ASSERT_FALSE(q.eof());
    EXPECT_EQ(q.value(0).toString(), QStringLiteral("C"));
    q.next();
    EXPECT_TRUE(q.eof());
}

TEST_P(StatementOnBackend, PreparingAheadRunsNothingAndHoldsNothing)
{
    Command add(&conn);
    add.setSql(QStringLiteral("INSERT INTO %1 (CD) VALUES (:P_CD)").arg(table));
    add.prepare();
    Query rows(&conn);
    rows.setSql(QStringLiteral("SELECT CD FROM %1 ORDER BY CD").arg(table));
    rows.prepare();
    rows.prepare();  // once per connection and text
    EXPECT_FALSE(conn.inTransaction());
    // Another connection writes at once: the prepared statements hold no lock and wrote nothing.
    Connection other(testdb::connectionString(GetParam(), dir.path()));
    other.open();
    {
        Transaction t(other, /*writeLock=*/true);
        other.execute(QStringLiteral("INSERT INTO %1 (CD) VALUES ('O')").arg(table));
        t.commit();
    }
    add.setParam(QStringLiteral("P_CD"), QStringLiteral("A"));
    EXPECT_EQ(add.execute(), 1);
    EXPECT_EQ(firstColumn(rows), (QStringList{"A", "O"}));

    // A text that cannot be prepared fails ahead (through ODBC the server sees it only at
    // its run), and again with the same error at its run.
    Query wrong(&conn);
    wrong.setSql(QStringLiteral("SELECT NO_SUCH_COLUMN FROM %1").arg(table));
    if (GetParam() == testdb::Kind::SQLite || GetParam() == testdb::Kind::PostgreSQL)
        testsupport::expectErrorNaming<DatabaseError>([&] { wrong.prepare(); }, QStringLiteral("NO_SUCH_COLUMN"),
                                                      Qt::CaseInsensitive);
    testsupport::expectErrorNaming<DatabaseError>([&] { wrong.open(); }, QStringLiteral("NO_SUCH_COLUMN"),
                                                  Qt::CaseInsensitive);
    // The failure leaves the connection as it was.
    add.setParam(QStringLiteral("P_CD"), QStringLiteral("B"));
    EXPECT_EQ(add.execute(), 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, StatementOnBackend, ::testing::ValuesIn(testsupport::allDbKinds()),
                         [](const auto& info) { return testsupport::dbKindName(info.param); });
