// Numbering on NOVOCODIGO, on every configured backend: sequences per key, bad and
// exhausted counters, and several processes drawing from one counter at once: no number
// is handed out twice.

#include "host/hostkit/HostHooks.h"
#include "support/ScratchDatabase.h"
#include "hostapi/hostkit.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSet>

#include <gtest/gtest.h>

using namespace hostkit;
using platform::db::Connection;
using platform::db::Query;

namespace {

const char* kTable = "CREATE TABLE NOVOCODIGO (CDCONTADOR VARCHAR(60) NOT NULL PRIMARY KEY, NRSEQUENCIAL VARCHAR(20))";

QString counterValue(Connection& conn, const QString& key)
{
    Query q(&conn);
    q.setSql(QStringLiteral("SELECT NRSEQUENCIAL FROM NOVOCODIGO WHERE CDCONTADOR = :P_CDCONTADOR"));
    q.setParam(QStringLiteral("P_CDCONTADOR"), key);
    q.open();
    return q.eof() ? QStringLiteral("<none>") : q.value(0).toString();
}

// Runs `workers` processes drawing `each` numbers from the same counter; returns all numbers.
QList<qint64> drawInParallel(const QString& connectionString, const char* kind, int workers, int each)
{
    const QString exe = QCoreApplication::applicationDirPath() + QStringLiteral("/hostkit_numbering_worker");
    std::vector<std::unique_ptr<QProcess>> procs;
    for (int i = 0; i < workers; ++i) {
        auto p = std::make_unique<QProcess>();
        p->start(exe, {connectionString, QLatin1String(kind), QString::number(each)});
        procs.push_back(std::move(p));
    }
    QList<qint64> numbers;
    for (auto& p : procs) {
        EXPECT_TRUE(p->waitForFinished(120000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
        const QList<QByteArray> lines = p->readAllStandardOutput().split('\n');
        for (const QByteArray& line : lines)
            if (!line.trimmed().isEmpty())
                numbers.append(line.trimmed().toLongLong());
    }
    return numbers;
}

void expectEachNumberOnce(QList<qint64> numbers, int total)
{
    ASSERT_EQ(numbers.size(), total);
    std::sort(numbers.begin(), numbers.end());
    for (int i = 0; i < total; ++i)
        ASSERT_EQ(numbers[i], i + 1) << "numbers are not exactly 1.." << total;
}

}  // namespace

class Numbering : public ::testing::TestWithParam<testsupport::DbKind> {
protected:
    void SetUp() override
    {
        scratch = testsupport::ScratchDatabase::create(GetParam(), QStringLiteral("vak_num"));
        if (!scratch)
            GTEST_SKIP() << testsupport::dbKindName(GetParam()) << " is not configured here";
        cs = scratch->connectionString();
        conn.setConnectionString(cs);
        conn.open();
        conn.execute(QLatin1String(kTable));
        setCallObserver([this](const CallRecord& r) { calls.append(r); });
    }
    void TearDown() override
    {
        setCallObserver({});
        conn.close();
    }
    std::unique_ptr<testsupport::ScratchDatabase> scratch;
    QString cs;
    Connection conn;
    QList<CallRecord> calls;
};

TEST_P(Numbering, EachKeyCountsOnItsOwn)
{
    TdtmQvnProxCodigo numbering;
    numbering.setConnectionString(cs);
    const QDateTime day(QDate(2026, 12, 7), QTime(15, 0));
    EXPECT_EQ(numbering.PrxVendaDia(QStringLiteral("0001"), day), QStringLiteral("1"));
    EXPECT_EQ(numbering.PrxVendaDia(QStringLiteral("0001"), day), QStringLiteral("2"));
    EXPECT_EQ(numbering.PrxVendaDia(QStringLiteral("0001"), day.addDays(1)), QStringLiteral("1"));
    EXPECT_EQ(numbering.PrxVendaDia(QStringLiteral("0002"), day), QStringLiteral("1"));
    EXPECT_EQ(numbering.PrxNumeroNFCe(QStringLiteral("0001"), QStringLiteral("1"), QStringLiteral("2")), QStringLiteral("1"));
    EXPECT_EQ(numbering.PrxNumeroNFCe(QStringLiteral("0001"), QStringLiteral("1"), QStringLiteral("2")), QStringLiteral("2"));
    EXPECT_EQ(numbering.PrxNumeroNFCe(QStringLiteral("0001"), QStringLiteral("1"), QStringLiteral("1")), QStringLiteral("1"));
    EXPECT_EQ(counterValue(conn, QStringLiteral("PRXVENDADIA_0001_20261207")), QStringLiteral("2"));
    EXPECT_EQ(counterValue(conn, QStringLiteral("PRXNFCE_0001_1_2")), QStringLiteral("2"));
    // A second component (another terminal) goes on from the stored value.
    TdtmQvnProxCodigo other;
    other.setConnection(&conn);
    EXPECT_EQ(other.PrxVendaDia(QStringLiteral("0001"), day), QStringLiteral("3"));
    ASSERT_EQ(calls.size(), 8);
    EXPECT_EQ(calls[0].op, QStringLiteral("PrxVendaDia"));
    EXPECT_EQ(calls[0].args, (QVariantList{QStringLiteral("0001"), day}));
    EXPECT_EQ(calls[0].result, QVariant(QStringLiteral("1")));
    // A number stored by another program, padded with blanks, goes on as a number.
    conn.execute(QStringLiteral("INSERT INTO NOVOCODIGO VALUES ('PRXNFCE_0001_3_2', ' 41 ')"));
    EXPECT_EQ(numbering.PrxNumeroNFCe(QStringLiteral("0001"), QStringLiteral("3"), QStringLiteral("2")), QStringLiteral("42"));
    EXPECT_EQ(counterValue(conn, QStringLiteral("PRXNFCE_0001_3_2")), QStringLiteral("42"));
}

TEST_P(Numbering, ABadOrExhaustedCounterIsAnErrorAndChangesNothing)
{
    conn.execute(QStringLiteral("INSERT INTO NOVOCODIGO VALUES ('PRXNFCE_0001_1_2', 'abc')"));
    conn.execute(QStringLiteral("INSERT INTO NOVOCODIGO VALUES ('PRXNFCE_0001_2_2', '999999999')"));
    TdtmQvnProxCodigo numbering;
    numbering.setConnection(&conn);
    EXPECT_THROW(numbering.PrxNumeroNFCe(QStringLiteral("0001"), QStringLiteral("1"), QStringLiteral("2")), platform::HostError);
    EXPECT_THROW(numbering.PrxNumeroNFCe(QStringLiteral("0001"), QStringLiteral("2"), QStringLiteral("2")), platform::HostError);
    EXPECT_EQ(counterValue(conn, QStringLiteral("PRXNFCE_0001_1_2")), QStringLiteral("abc"));
    EXPECT_EQ(counterValue(conn, QStringLiteral("PRXNFCE_0001_2_2")), QStringLiteral("999999999"));
    EXPECT_FALSE(conn.inTransaction());
    ASSERT_EQ(calls.size(), 2);
    EXPECT_TRUE(calls[0].raised);
    EXPECT_TRUE(calls[0].error.contains(QStringLiteral("abc")));
    EXPECT_THROW(numbering.PrxVendaDia(QStringLiteral("0001"), QDateTime()), platform::HostError);
}

TEST_P(Numbering, WithoutTheTableTheDatabaseErrorReachesTheCaller)
{
    conn.execute(QStringLiteral("DROP TABLE NOVOCODIGO"));
    TdtmQvnProxCodigo numbering;
    numbering.setConnectionString(cs);
    EXPECT_THROW(numbering.PrxVendaDia(QStringLiteral("0001"), QDateTime::currentDateTime()), platform::DatabaseError);
}

// Both the first insert of a new key and the advances race here.
TEST_P(Numbering, FourProcessesNeverGetTheSameNumber)
{
    expectEachNumberOnce(drawInParallel(cs, "venda", 4, 40), 160);
    EXPECT_EQ(counterValue(conn, QStringLiteral("PRXVENDADIA_0001_20261207")), QStringLiteral("160"));
    Query rows(&conn);
    rows.setSql(QStringLiteral("SELECT COUNT(*) FROM NOVOCODIGO"));
    rows.open();
    EXPECT_EQ(rows.value(0).toInt(), 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, Numbering,
                         ::testing::Values(testsupport::DbKind::SQLite, testsupport::DbKind::PostgreSQL),
                         [](const auto& info) { return testsupport::dbKindName(info.param); });
