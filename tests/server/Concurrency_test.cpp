// Four terminals (processes) drawing numbers and writing first-of-day markers on one
// PostgreSQL at the same time: no key is stored twice and no number is handed out twice.

#include "ShopDb.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSet>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

TEST(Concurrency, FourTerminalsNeverShareANumberOrAMarker)
{
    srvtest::ShopDb* db = srvtest::ShopDb::get(srvtest::Kind::PostgreSQL);
    if (!db)
        GTEST_SKIP() << "PostgreSQL is not configured here";
    db->clear();
    constexpr int kTerminals = 4, kRounds = 25;
    const QString worker = QCoreApplication::applicationDirPath() + QStringLiteral("/server_counter_worker");

    std::vector<std::unique_ptr<QProcess>> terminals;
    for (int t = 1; t <= kTerminals; ++t) {
        auto p = std::make_unique<QProcess>();
        p->start(worker, {db->moduleConnectionString(), QStringLiteral("00%1").arg(t), QString::number(kRounds)});
        terminals.push_back(std::move(p));
    }
    QStringList nfce, senhas, erros;
    for (auto& p : terminals) {
        ASSERT_TRUE(p->waitForFinished(120000)) << "a terminal did not finish";
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
    const int total = kTerminals * kRounds;
    EXPECT_EQ(nfce.size(), total);
    EXPECT_EQ(QSet<QString>(nfce.begin(), nfce.end()).size(), total) << "an NFC-e number was handed out twice";
    EXPECT_EQ(QSet<QString>(senhas.begin(), senhas.end()).size(), total) << "a sale number was handed out twice";

    EXPECT_EQ(db->scalar(QStringLiteral("SELECT COUNT(*) FROM INUTILIZANFCE")).toInt(), total);
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT COUNT(DISTINCT NRNOTAFISCALCE) FROM INUTILIZANFCE")).toInt(), total);
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT COUNT(*) FROM NOVOCODIGO WHERE CDCONTADOR LIKE 'NFCEPRIM_%'")).toInt(), 1);
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT COUNT(*) FROM NOVOCODIGO WHERE CDCONTADOR LIKE 'CUPINICIAL%'")).toInt(), 1);
    EXPECT_TRUE(db->rows(QStringLiteral("SELECT CDCONTADOR FROM NOVOCODIGO GROUP BY CDCONTADOR HAVING COUNT(*) > 1")).isEmpty());
    // The marker holds the first number of the day.
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT NRSEQUENCIAL FROM NOVOCODIGO WHERE CDCONTADOR LIKE 'NFCEPRIM_%'")).toString(),
              QStringLiteral("1"));
}
