// Provider packets built from declared fields are the same on every backend; SQLite's loose
// values are converted; the SQL-variant store picks the connection's dialect.

#include "DbBackends.h"
#include "support/ExpectError.h"
#include "support/FieldDefs.h"

#include "platform/Error.h"
#include "platform/db/Provider.h"
#include "platform/db/SqlStorage.h"

#include <gtest/gtest.h>

using namespace platform;
using namespace platform::db;

namespace {

using testsupport::def;

FieldDefs balanceFields()
{
    return {def("CDCAMPANHA", FieldType::String, 10), def("DSCAMPANHA", FieldType::String, 40, "Campanha"),
            def("VRSALDOCONS", FieldType::Float, 0, "Saldo Atual"), def("QTPONTOS", FieldType::Integer),
            def("DTVALIDADE", FieldType::Date), def("DTMOVIMENTO", FieldType::DateTime),
            def("IDUTILVOUCHER", FieldType::String, 1)};
}

DataPacket expectedPacket()
{
    DataPacket p;
    p.fields = balanceFields();
    p.rows = {
        {QStringLiteral("C1"), QStringLiteral("\u201CNatal\u201D Premiado"), 1250.5, 3, QDate(2026, 12, 31),
         QDateTime(QDate(2026, 12, 7), QTime(10, 15, 30)), QStringLiteral("N")},
        {QStringLiteral("C2"), QStringLiteral("Ação de Verão \u2013 50 \u20AC"), -12.29, 0, QVariant(),
         QDateTime(QDate(2026, 1, 1), QTime(0, 0)), QStringLiteral("S")},
        {QStringLiteral("C3"), QVariant(), 0.0, QVariant(), QDate(2027, 2, 28), QVariant(), QVariant()},
    };
    return p;
}

}  // namespace

class ProviderOnBackend : public testdb::TableFixture {
protected:
    void SetUp() override
    {
        // Each backend its natural types; the declared fields make the packets agree.
        createTable("VAK_PROV", QStringLiteral("CDCAMPANHA VARCHAR(10), DSCAMPANHA VARCHAR(60), VRSALDOCONS %1, "
                                               "QTPONTOS %2, DTVALIDADE DATE, DTMOVIMENTO %3, IDUTILVOUCHER CHAR(1)")
                                    .arg(postgres() ? QStringLiteral("NUMERIC(15,2)") : QStringLiteral("NUMERIC"),
                                         postgres() ? QStringLiteral("BIGINT") : QStringLiteral("INTEGER"),
                                         postgres() ? QStringLiteral("TIMESTAMP") : QStringLiteral("DATETIME")));
        if (IsSkipped())
            return;
        Command ins(&conn);
        ins.setSql(QStringLiteral("INSERT INTO %1 VALUES (:A, :B, :C, :D, :E, :F, :G)").arg(table));
        const QList<FieldType> types{FieldType::String, FieldType::String, FieldType::Float, FieldType::Integer,
                                     FieldType::Date, FieldType::DateTime, FieldType::String};
        const QStringList names{"A", "B", "C", "D", "E", "F", "G"};
        for (int i = 0; i < names.size(); ++i)
            ins.declareParam(names[i], types[i]);
        for (const QVariantList& row : expectedPacket().rows) {
            for (int i = 0; i < names.size(); ++i)
                ins.setParam(names[i], row[i]);
            ins.execute();
        }
    }
};

TEST_P(ProviderOnBackend, PacketEqualsTheDeclaredFieldsAndValues)
{
    Query q(&conn);
    q.setSql(QStringLiteral("SELECT * FROM %1 ORDER BY CDCAMPANHA").arg(table));
    q.setFieldDefs(balanceFields());
    Provider provider(&q);
    const DataPacket p = provider.packet();
    const FieldDefs want = expectedPacket().fields;
    ASSERT_EQ(p.fields.size(), want.size());
    for (int i = 0; i < want.size(); ++i) {
        EXPECT_EQ(p.fields[i].name, want[i].name);
        EXPECT_EQ(p.fields[i].type, want[i].type);
        EXPECT_EQ(p.fields[i].size, want[i].size);
        EXPECT_EQ(p.fields[i].displayLabel, want[i].displayLabel);
    }
    ASSERT_EQ(p.rows.size(), 3);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < p.fields.size(); ++c) {
            const QVariant want = expectedPacket().rows[r][c];
            const QVariant got = p.rows[r][c];
            EXPECT_EQ(got.isValid(), want.isValid()) << "row " << r << " field " << c;
            if (want.isValid()) {
                EXPECT_EQ(got.typeId(), want.typeId()) << "row " << r << " field " << c;
                EXPECT_EQ(got, want) << "row " << r << " field " << c << ": " << qPrintable(got.toString());
            }
        }
    // Asked again without reopening: the whole result again, not an empty rest.
    EXPECT_EQ(provider.packet().rows.size(), 3);
    // The variant form, streamed from the result, is the packet's own encoding.
    const QVariant data = provider.data();
    EXPECT_EQ(data.toByteArray(), writePacket(p));
    EXPECT_EQ(packetFromVariant(data).rows, p.rows);
}

// A result of thousands of rows (the packet's room is judged from the first ones; on
// PostgreSQL the driver's copy is let go once written), with empty texts beside nulls:
// streamed, it is still the packet of its values, and the query reads it again after.
TEST_P(ProviderOnBackend, ALongResultStreamsAsItsPacket)
{
    Query q(&conn);
    q.setSql(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000) "
                            "SELECT t.CDCAMPANHA, CASE WHEN n.i % 2 = 0 THEN '' ELSE t.DSCAMPANHA END AS DSCAMPANHA, "
                            "t.VRSALDOCONS, t.QTPONTOS, t.DTVALIDADE, t.DTMOVIMENTO, t.IDUTILVOUCHER "
                            "FROM %1 t, n ORDER BY n.i, t.CDCAMPANHA")
                 .arg(table));
    q.setFieldDefs(balanceFields());
    Provider provider(&q);
    const DataPacket p = provider.packet();
    ASSERT_EQ(p.rows.size(), 3000);
    EXPECT_FALSE(p.rows[2][1].isValid()) << "null where the row has none";
    EXPECT_EQ(p.rows[5][1], QVariant(QString())) << "an empty text stays a text";
    EXPECT_TRUE(p.rows[5][1].isValid());
    for (int round = 0; round < 2; ++round) {
        const QVariant data = provider.data();
        EXPECT_EQ(data.toByteArray(), writePacket(p)) << "round " << round;
        EXPECT_TRUE(q.active() && q.eof() && !q.isEmpty()) << "round " << round;
    }
    EXPECT_EQ(packetFromVariant(provider.data()).rows, p.rows);
    q.first();
    EXPECT_EQ(q.currentRow(), p.rows[0]);
}

// A long read that fails part-way (a date in a form no backend reads, at row 2,500 of 3,000,
// when most rows are already in the packet; on PostgreSQL the server is still sending):
// the error names the field, and the same connection takes the next statements at once.
TEST_P(ProviderOnBackend, AReadFailingPartWayLeavesTheConnectionToTheNextStatement)
{
    const QString rows = QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                                        "SELECT t.CDCAMPANHA, CASE WHEN n.i = 2500 THEN %2 ELSE '2026-12-07' END AS DTVALIDADE "
                                        "FROM %1 t, n WHERE t.CDCAMPANHA = 'C1' ORDER BY n.i");
    Query q(&conn);
    q.setFieldDefs({def("CDCAMPANHA", FieldType::String, 10), def("DTVALIDADE", FieldType::Date)});
    Provider provider(&q);
    q.setSql(rows.arg(table, QStringLiteral("'07/12/2026'")));
    testsupport::expectErrorNaming<DatabaseError>([&] { provider.data(); }, QStringLiteral("DTVALIDADE"));

    conn.execute(QStringLiteral("UPDATE %1 SET QTPONTOS = 4 WHERE CDCAMPANHA = 'C1'").arg(table));
    q.setSql(rows.arg(table, QStringLiteral("'2026-12-08'")));
    const DataPacket p = packetFromVariant(provider.data());
    ASSERT_EQ(p.rows.size(), 3000);
    EXPECT_EQ(p.rows[2499][1], QVariant(QDate(2026, 12, 8)));
    Query points(&conn);
    points.setSql(QStringLiteral("SELECT QTPONTOS FROM %1 WHERE CDCAMPANHA = 'C1'").arg(table));
    points.setFieldDefs({def("QTPONTOS", FieldType::Integer)});
    EXPECT_EQ(Provider(&points).packet().rows, (QList<QVariantList>{{4}}));
}

// Texts beyond Latin-1 that Windows-1252 holds (quotes, dashes, the euro) in a result of
// texts and numbers only, whose PostgreSQL rows are written without moving the driver's
// cursor: each text keeps its own row.
TEST_P(ProviderOnBackend, TextsBeyondLatin1KeepTheirRows)
{
    Query q(&conn);
    q.setSql(QStringLiteral("SELECT CDCAMPANHA, DSCAMPANHA, VRSALDOCONS FROM %1 ORDER BY CDCAMPANHA").arg(table));
    q.setFieldDefs(balanceFields().mid(0, 3));
    const DataPacket p = packetFromVariant(Provider(&q).data());  // streamed from the result
    ASSERT_EQ(p.rows.size(), 3);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(p.rows[r][0], expectedPacket().rows[r][0]) << r;
        EXPECT_EQ(p.rows[r][1].toString().toStdString(), expectedPacket().rows[r][1].toString().toStdString()) << r;
    }
}

TEST_P(ProviderOnBackend, ADeclaredFieldMissingFromTheResultIsAnError)
{
    Query q(&conn);
    q.setSql(QStringLiteral("SELECT CDCAMPANHA FROM %1").arg(table));
    q.setFieldDefs({def("CDCAMPANHA", FieldType::String, 10), def("VRRESTANTE", FieldType::Float)});
    testsupport::expectErrorNaming<DatabaseError>([&] { Provider(&q).packet(); }, QStringLiteral("VRRESTANTE"));
}

TEST_P(ProviderOnBackend, ClosingTheConnectionDropsOpenQueries)
{
    Query q(&conn);
    q.setSql(QStringLiteral("SELECT CDCAMPANHA FROM %1 ORDER BY CDCAMPANHA").arg(table));
    q.open();
    EXPECT_TRUE(q.active());
    conn.close();
    EXPECT_FALSE(q.active());
    conn.open();
    EXPECT_EQ(Provider(&q).packet().rows.size(), 3);
}

INSTANTIATE_TEST_SUITE_P(Backends, ProviderOnBackend, ::testing::ValuesIn(testsupport::allDbKinds()),
                         [](const auto& info) { return testsupport::dbKindName(info.param); });

TEST(ProviderSQLite, LooseValuesBecomeTheDeclaredTypes)
{
    QTemporaryDir dir;
    Connection conn(QStringLiteral("Provider=SQLite;Data Source=") + sqliteFile(dir.path(), QStringLiteral("loose.db")));
    conn.open();
    conn.execute(QStringLiteral("CREATE TABLE T (A, B, C, D, E, F)"));
    // Dates written by other programs in the usual text forms, numbers as text, flags as S/N.
    conn.execute(QStringLiteral("INSERT INTO T VALUES ('2026-12-07', '2026-12-07 10:20:30', '12.50', '7', 'S', 12345)"));
    conn.execute(QStringLiteral("INSERT INTO T VALUES ('2026-12-08 00:00:00', '2026-12-08T01:02:03.250', 3, 8.0, 0, 'long text')"));
    conn.execute(QStringLiteral("INSERT INTO T VALUES ('', '2026-12-09T12:00:00Z', '1,5', NULL, 'N', NULL)"));
    Query q(&conn);
    q.setSql(QStringLiteral("SELECT * FROM T"));
    q.setFieldDefs({def("A", FieldType::Date), def("B", FieldType::DateTime), def("C", FieldType::Float),
                    def("D", FieldType::Integer), def("E", FieldType::Boolean), def("F", FieldType::String, 4)});
    const DataPacket p = packetFromVariant(Provider(&q).data());  // streamed from the result
    ASSERT_EQ(p.rows.size(), 3);
    EXPECT_EQ(p.rows[0], (QVariantList{QDate(2026, 12, 7), QDateTime(QDate(2026, 12, 7), QTime(10, 20, 30)), 12.5, 7,
                                       true, QStringLiteral("1234")}));
    EXPECT_EQ(p.rows[1], (QVariantList{QDate(2026, 12, 8), QDateTime(QDate(2026, 12, 8), QTime(1, 2, 3, 250)), 3.0, 8,
                                       false, QStringLiteral("long")}));
    EXPECT_FALSE(p.rows[2][0].isValid());  // an empty text is no date
    EXPECT_EQ(p.rows[2][1], QVariant(QDateTime(QDate(2026, 12, 9), QTime(12, 0), Qt::UTC).toLocalTime()));
    EXPECT_EQ(p.rows[2][2], QVariant(1.5));
    EXPECT_EQ(Provider(&q).data().toByteArray(), writePacket(p));  // streamed: the same bytes

    conn.execute(QStringLiteral("INSERT INTO T VALUES ('07/12/2026', NULL, NULL, NULL, NULL, NULL)"));
    testsupport::expectErrorNaming<DatabaseError>([&] { Provider(&q).packet(); }, QStringLiteral("'A'"));
}

TEST(ProviderSQLite, WithoutDeclaredFieldsTheResultColumnsAreUsed)
{
    Connection conn(QStringLiteral("Provider=SQLite;Data Source=:memory:"));
    conn.open();
    Query q(&conn);
    q.setSql(QStringLiteral("SELECT 'x' AS TXT, 5 AS NUM"));
    const DataPacket p = Provider(&q).packet();
    ASSERT_EQ(p.fields.size(), 2);
    EXPECT_EQ(p.fields[0].name, QStringLiteral("TXT"));
    ASSERT_EQ(p.rows.size(), 1);
    EXPECT_EQ(p.rows[0][0].toString(), QStringLiteral("x"));
    EXPECT_EQ(p.rows[0][1].toLongLong(), 5);
}

TEST(SqlStorage, InstallsTheTextOfTheConnectionsDialect)
{
    Connection conn(QStringLiteral("Provider=SQLite;Data Source=:memory:"));
    conn.open();
    Query q(&conn);
    q.setSql(QStringLiteral("SELECT NVL(NULL, 1) AS X FROM DUAL"));  // the design-time Oracle text
    {
        SqlStorage storage(&q);
        storage.setText(Dialect::Oracle, QStringLiteral("SELECT NVL(NULL, 1) AS X FROM DUAL"));
        storage.setText(Dialect::MsSql, QStringLiteral("SELECT ISNULL(NULL, 1) AS X"));
        storage.setText(Dialect::Ansi, QStringLiteral("SELECT COALESCE(NULL, :P_V) AS X"));
        q.open();  // the store installs the ANSI text before the statement is prepared
        EXPECT_EQ(q.sql(), QStringLiteral("SELECT COALESCE(NULL, :P_V) AS X"));
        EXPECT_EQ(q.parameterNames(), QStringList{QStringLiteral("P_V")});
        q.close();
        q.setParam(QStringLiteral("P_V"), QStringLiteral("ok"));
        q.open();
        EXPECT_EQ(q.value(0).toString(), QStringLiteral("ok"));
    }
    // The store is gone: the query keeps its last text and opens normally.
    q.open();
    EXPECT_EQ(q.value(0).toString(), QStringLiteral("ok"));

    SqlStorage onlyOracle(&q);
    onlyOracle.setText(Dialect::Oracle, QStringLiteral("SELECT 1 FROM DUAL"));
    EXPECT_EQ(onlyOracle.textFor(Dialect::Ansi, QStringLiteral("fallback")), QStringLiteral("fallback"));
    onlyOracle.apply();
    EXPECT_EQ(q.sql(), QStringLiteral("SELECT COALESCE(NULL, :P_V) AS X"));  // no ANSI text: unchanged
}
