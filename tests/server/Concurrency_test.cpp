// Several terminals (processes) drawing numbers and writing first-of-day markers on one
// database at the same time: eight on one SQLite file, four on one PostgreSQL. No key is
// stored twice, no number is handed out twice, and the day's NFC-e marker holds a number
// drawn that day: the first writer's, which no other terminal changes.

#include "ShopDb.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSet>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct Crowd {
    srvtest::Kind kind;
    int terminals, rounds;
};

void PrintTo(const Crowd& c, std::ostream* os)
{
    *os << testsupport::dbKindName(c.kind) << ", " << c.terminals << " terminals, " << c.rounds << " rounds";
}

class Concurrency : public ::testing::TestWithParam<Crowd> {};

TEST_P(Concurrency, TerminalsNeverShareANumberOrAMarker)
{
    const Crowd run = GetParam();
    srvtest::ShopDb* db = srvtest::ShopDb::get(run.kind);
    if (!db)
        GTEST_SKIP() << testsupport::dbKindName(run.kind) << " is not configured here";
    db->clear();
    const QString worker = QCoreApplication::applicationDirPath() + QStringLiteral("/server_counter_worker");

    std::vector<std::unique_ptr<QProcess>> terminals;
    for (int t = 1; t <= run.terminals; ++t) {
        auto p = std::make_unique<QProcess>();
        p->start(worker, {db->moduleConnectionString(), QStringLiteral("00%1").arg(t), QString::number(run.rounds)});
        terminals.push_back(std::move(p));
    }
    QStringList nfce, senhas, erros;
    for (auto& p : terminals) {
        ASSERT_TRUE(p->waitForFinished(180000)) << "a terminal did not finish";
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
        for (const QString& line : QString::fromUtf8(p->readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (line.startsWith(QLatin1String("NFCE ")))
                nfce << line.mid(5);
            else if (line.startsWith(QLatin1String("SENHA ")))
                senhas << line.mid(6);
            else if (line.startsWith(QLatin1String("ERRO")))
                erros << line;
        }
    }
    EXPECT_TRUE(erros.isEmpty()) << erros.join(QLatin1Char('\n')).toStdString();
    const int total = run.terminals * run.rounds;
    EXPECT_EQ(nfce.size(), total);
    EXPECT_EQ(QSet<QString>(nfce.begin(), nfce.end()).size(), total) << "an NFC-e number was handed out twice";
    EXPECT_EQ(QSet<QString>(senhas.begin(), senhas.end()).size(), total) << "a sale number was handed out twice";

    EXPECT_EQ(db->scalar(QStringLiteral("SELECT COUNT(*) FROM INUTILIZANFCE")).toInt(), total);
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT COUNT(DISTINCT NRNOTAFISCALCE) FROM INUTILIZANFCE")).toInt(), total);
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT COUNT(*) FROM NOVOCODIGO WHERE CDCONTADOR LIKE 'NFCEPRIM_%'")).toInt(), 1);
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT COUNT(*) FROM NOVOCODIGO WHERE CDCONTADOR LIKE 'CUPINICIAL%'")).toInt(), 1);
    EXPECT_TRUE(db->rows(QStringLiteral("SELECT CDCONTADOR FROM NOVOCODIGO GROUP BY CDCONTADOR HAVING COUNT(*) > 1")).isEmpty());
    // The first writer's number: one of the numbers drawn (which one depends on who wrote first).
    const QString marcador =
        db->scalar(QStringLiteral("SELECT NRSEQUENCIAL FROM NOVOCODIGO WHERE CDCONTADOR LIKE 'NFCEPRIM_%'")).toString().trimmed();
    EXPECT_TRUE(nfce.contains(marcador)) << marcador.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Backends, Concurrency,
                         ::testing::Values(Crowd{srvtest::Kind::SQLite, 8, 6}, Crowd{srvtest::Kind::PostgreSQL, 4, 25}),
                         [](const ::testing::TestParamInfo<Crowd>& info) { return testsupport::dbKindName(info.param.kind); });

}  // namespace
