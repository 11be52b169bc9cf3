// A long SQLite result is read on a second thread while the calling thread writes it into
// the packet: the packet's bytes are those of the one-thread read, wherever the read
// changes hands and whatever the values; a failure part-way on either thread surfaces
// from the provider and leaves the statement reset and the connection usable.

#include "support/ExpectError.h"
#include "support/FieldDefs.h"
#include "support/NoNewThreads.h"
#include "support/SqliteFile.h"

#include "platform/Error.h"
#include "platform/db/Connection.h"
#include "platform/db/Provider.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>

using namespace platform;
using namespace platform::db;
using testsupport::def;

namespace {

constexpr int kRows = 40000;
constexpr int kOneThread = INT_MAX;  // rows before the second thread: never

// Rows of every kind a provider meets: nulls beside empty texts, accented letters, texts
// Windows-1252 holds beyond Latin-1 and texts it does not, numbers as numbers and as text,
// ISO dates and date-times, long texts. %1 is the date of row 30,000, %2 its points.
const QString kRowsSql = QStringLiteral(R"SQL(WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %3)
SELECT printf('C%05d', n.i) AS CODIGO,
       CASE n.i % 7 WHEN 0 THEN NULL WHEN 1 THEN '' WHEN 2 THEN 'Ação nº ' || n.i
            WHEN 3 THEN '“Natal” – ' || n.i || ' €' WHEN 4 THEN '日本 ' || n.i
            ELSE t.NOME || ' ' || n.i END AS NOME,
       CASE n.i % 6 WHEN 0 THEN '日本' WHEN 1 THEN NULL ELSE 'Loja ' || n.i END AS APELIDO,
       CASE WHEN n.i % 11 = 0 THEN NULL ELSE n.i * 0.25 END AS VALOR,
       CASE WHEN n.i = 30000 THEN %2 WHEN n.i % 13 = 0 THEN NULL ELSE n.i END AS PONTOS,
       CASE WHEN n.i = 30000 THEN %1 WHEN n.i % 5 = 0 THEN NULL
            ELSE date('2026-01-01', '+' || (n.i % 365) || ' days') END AS VALIDADE,
       datetime('2026-01-01 08:00:00', '+' || n.i || ' minutes') AS MOVIMENTO,
       n.i * 1.5 AS TEXTONUM,
       substr(printf('%0300d', n.i), 1, n.i % 300) AS LONGO
FROM n, T t)SQL");  // no ORDER BY: the rows come as they are made, an error with its row

const QString kGoodDate = QStringLiteral("'2026-12-08'");
const QString kGoodPoints = QStringLiteral("7");

FieldDefs rowFields()
{
    return {def("CODIGO", FieldType::String, 10), def("NOME", FieldType::String, 40),
            def("APELIDO", FieldType::String, 20), def("VALOR", FieldType::Float),
            def("PONTOS", FieldType::Integer), def("VALIDADE", FieldType::Date),
            def("MOVIMENTO", FieldType::DateTime), def("TEXTONUM", FieldType::String, 12),
            def("LONGO", FieldType::Memo)};
}

class SqliteLongRead : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        file = sqliteFile(dir.path());
        conn.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + file);
        conn.open();
        conn.execute(QStringLiteral("CREATE TABLE T (NOME VARCHAR(20), QTPONTOS INTEGER)"));
        conn.execute(QStringLiteral("INSERT INTO T VALUES ('Consumidor', 1)"));
        q.setFieldDefs(rowFields());
        provider.setNullUnlessCp1252({QStringLiteral("APELIDO")});
    }

    void setRows(const QString& date = kGoodDate, const QString& points = kGoodPoints, int rows = kRows)
    {
        q.setSql(kRowsSql.arg(date, points).arg(rows));
    }

    QByteArray read(int rowsBeforeOverlap)
    {
        q.setRowsBeforeOverlap(rowsBeforeOverlap);
        return provider.data().toByteArray();
    }

    QTemporaryDir dir;
    QString file;
    Connection conn;
    Query q{&conn};
    Provider provider{&q};
};

// Where the second thread takes over: at once, after one row, around a chunk's end, the
// default, late in the result.
class SqliteLongReadHandOver : public SqliteLongRead, public ::testing::WithParamInterface<int> {};

TEST_P(SqliteLongReadHandOver, GivesTheBytesOfTheOneThreadRead)
{
    setRows();
    const QByteArray oneThread = read(kOneThread);
    DataPacket packet = provider.packet();  // the values read one by one
    ASSERT_EQ(packet.rows.size(), kRows);
    for (QVariantList& row : packet.rows)
        if (row[2] == QVariant(QStringLiteral("日本")))
            row[2] = QVariant();  // what the provider writes for a text the code page cannot hold
    ASSERT_EQ(oneThread, writePacket(packet));
    EXPECT_FALSE(packet.rows[6][1].isValid()) << "a null stays null";
    EXPECT_EQ(packet.rows[0][1], QVariant(QString())) << "an empty text stays a text";
    EXPECT_FALSE(packet.rows[5][2].isValid()) << "a text the code page cannot hold is null";
    EXPECT_EQ(packet.rows[1][7], QVariant(QStringLiteral("3.0"))) << "a number in a text field, as the engine writes it";

    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(read(GetParam()), oneThread) << "round " << round;
        EXPECT_TRUE(q.active() && q.eof() && !q.isEmpty()) << "round " << round;
    }
    q.first();
    EXPECT_EQ(q.currentRow(), packet.rows[0]) << "the query reads its result again after";
}

INSTANTIATE_TEST_SUITE_P(Rows, SqliteLongReadHandOver,
                         ::testing::Values(0, 1, 1023, 1024, 1025, Query::kRowsBeforeOverlap, 39999),
                         [](const auto& info) { return "After" + std::to_string(info.param); });

// A process that cannot start the second thread reads the rest on the calling one.
TEST_F(SqliteLongRead, WithNoSecondThreadGivesTheSameBytesOnOneThread)
{
    setRows();
    const QByteArray oneThread = read(kOneThread);
    const testsupport::NoNewThreads none;
    for (int handOver : {0, Query::kRowsBeforeOverlap}) {
        EXPECT_EQ(read(handOver), oneThread) << handOver;
        EXPECT_TRUE(q.active() && q.eof()) << handOver;
    }
}

TEST_F(SqliteLongRead, AShortResultIsItsPacket)
{
    setRows(kGoodDate, kGoodPoints, 3);
    const QByteArray bytes = read(Query::kRowsBeforeOverlap);
    EXPECT_EQ(bytes, writePacket(provider.packet()));
    EXPECT_EQ(read(0), bytes) << "handed over after the first row";
}

// A failure at row 30,000: a value the field cannot take (found while writing) or the
// engine's own error (found while stepping), on either way of reading.
struct PartWayFailure {
    const char* name;
    QString date, points;
    QString named;  // in the error's text
};

void PrintTo(const PartWayFailure& failure, std::ostream* os) { *os << failure.name; }

class SqliteLongReadFailing
    : public SqliteLongRead,
      public ::testing::WithParamInterface<std::tuple<PartWayFailure, int>> {};

TEST_P(SqliteLongReadFailing, SurfacesAndLeavesTheConnectionToTheNextStatement)
{
    const auto& [failure, rowsBeforeOverlap] = GetParam();
    setRows(failure.date, failure.points);
    testsupport::expectErrorNaming<DatabaseError>([&] { read(rowsBeforeOverlap); }, failure.named);

    // The statement was reset: it holds no read of the file, so another connection writes
    // at once rather than waiting for it.
    Connection other(QStringLiteral("Provider=SQLite;Busy Timeout=0.2;Data Source=") + file);
    other.open();
    EXPECT_NO_THROW(other.execute(QStringLiteral("UPDATE T SET QTPONTOS = 2")));
    other.close();

    // The same connection takes the next statements.
    conn.execute(QStringLiteral("UPDATE T SET QTPONTOS = 4"));
    setRows();
    const DataPacket p = packetFromVariant(QVariant(read(rowsBeforeOverlap)));
    ASSERT_EQ(p.rows.size(), kRows);
    EXPECT_EQ(p.rows[29999][5], QVariant(QDate(2026, 12, 8)));
    Query points(&conn);
    points.setSql(QStringLiteral("SELECT QTPONTOS FROM T"));
    points.setFieldDefs({def("QTPONTOS", FieldType::Integer)});
    EXPECT_EQ(Provider(&points).packet().rows, (QList<QVariantList>{{4}}));
}

const PartWayFailure kFailures[] = {
    {"AValueTheFieldCannotTake", QStringLiteral("'07/12/2026'"), kGoodPoints, QStringLiteral("VALIDADE")},
    // -9223372036854775807 - 1 is the one integer whose absolute value has none.
    {"TheEnginesError", kGoodDate, QStringLiteral("abs(-9223372036854775807 - (n.i = 30000))"),
     QStringLiteral("integer overflow")},
};

INSTANTIATE_TEST_SUITE_P(Failures, SqliteLongReadFailing,
                         ::testing::Combine(::testing::ValuesIn(kFailures),
                                            ::testing::Values(0, Query::kRowsBeforeOverlap, kOneThread)),
                         [](const auto& info) {
                             const int rows = std::get<1>(info.param);
                             return std::string(std::get<0>(info.param).name) + "_"
                                    + (rows == kOneThread ? std::string("OneThread") : "After" + std::to_string(rows));
                         });

}  // namespace
