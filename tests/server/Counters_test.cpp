// The counter functions on every configured backend: the first-of-day markers of
// NOVOCODIGO, the numbers drawn, the NFC-e voiding rows, and errors returned as text.

#include "ShopDb.h"

#include "host/hostkit/HostHooks.h"
#include "hostapi/hostkit.h"
#include "platform/Error.h"
#include "tools/shopgen/Schema.h"
#include "platform/db/ServiceResult.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace Srv_Vak04100;
using srvtest::Kind;

namespace {

class Counters : public srvtest::BackendTest {
protected:
    QList<QStringList> marcadores(const QString& prefixo)
    {
        return db->rows(QStringLiteral("SELECT CDCONTADOR, NRSEQUENCIAL FROM NOVOCODIGO WHERE CDCONTADOR LIKE '%1%' "
                                       "ORDER BY CDCONTADOR").arg(prefixo));
    }
    void recriaTabela(const QString& table)
    {
        for (const QString& s : shopgen::splitStatements(shopgen::schemaScript(shopgen::schemaNameFor(db->native()))))
            if (s.contains(QStringLiteral("CREATE TABLE ") + table + QLatin1Char(' ')))
                db->native().execute(s);
    }
};

}  // namespace

TEST_P(Counters, FirstReceiptOfTheFiscalDayIsRecordedOnce)
{
    srvtest::ModuleScope module(db->moduleConnectionString());
    const QDateTime fiscal(QDate(2026, 12, 6), QTime(23, 50));
    const QString chave = QStringLiteral("CUPINICIAL0001001") + QLocale::system().toString(QDate(2026, 12, 6), QLocale::ShortFormat);

    const QVariant first = SetGravaCupomInicial("0001", "001", "123", fiscal);
    EXPECT_FALSE(first.isValid()) << first.toString().toStdString();
    EXPECT_FALSE(SetGravaCupomInicial("0001", "001", "124", fiscal.addSecs(300)).isValid());
    EXPECT_FALSE(SetGravaCupomInicial("0001", "002", "7", fiscal).isValid());
    EXPECT_FALSE(SetGravaCupomInicial("0001", "001", "9", fiscal.addDays(1)).isValid());

    const QList<QStringList> rows = marcadores(QStringLiteral("CUPINICIAL"));
    ASSERT_EQ(rows.size(), 3);
    const QStringList first001 = rows.at(0).at(0) == chave ? rows.at(0) : rows.at(1);
    EXPECT_EQ(first001, QStringList({chave, QStringLiteral("0000000123")}));
    if (QLocale::system().dateFormat(QLocale::ShortFormat) == QLatin1String("dd/MM/yyyy")) {
        EXPECT_EQ(chave, QStringLiteral("CUPINICIAL000100106/12/2026"));
    }
}

TEST_P(Counters, NfceNumbersAreDrawnInTurnWithOneFirstOfDayMarkerAndVoidingRows)
{
    srvtest::ModuleScope module(db->moduleConnectionString());
    const QVariant n1 = setNumeroNFCe("0001", "001", "1", "2", true);
    const QVariant n2 = setNumeroNFCe("0001", "002", "1", "2", true);
    ASSERT_EQ(n1.userType(), QMetaType::QString);
    EXPECT_FALSE(platform::db::isErrorResult(n1)) << n1.toString().toStdString();
    EXPECT_EQ(n2.toString().toLongLong(), n1.toString().toLongLong() + 1);

    const QString hoje = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
    EXPECT_EQ(marcadores(QStringLiteral("NFCEPRIM_")),
              QList<QStringList>({{QStringLiteral("NFCEPRIM_00011-") + hoje + QStringLiteral("_AMB2"), n1.toString()}}));

    const QList<QStringList> inutiliza = db->rows(QStringLiteral(
        "SELECT CDFILIAL, CDCAIXA, NRNOTAFISCALCE, CDSERIENFCE, IDTPAMBNFCE, IDSTATUSNFCE FROM INUTILIZANFCE "
        "ORDER BY CDCAIXA"));
    EXPECT_EQ(inutiliza, QList<QStringList>({{"0001", "001", n1.toString(), "1", "2", "P"},
                                             {"0001", "002", n2.toString(), "1", "2", "P"}}));
    // The entry date is today at midnight, stored as the backend stores date-times.
    const QVariant entrada = db->scalar(QStringLiteral("SELECT DTENTRVENDA FROM INUTILIZANFCE WHERE CDCAIXA = '001'"));
    const QDateTime lido = entrada.userType() == QMetaType::QDateTime
                               ? entrada.toDateTime()
                               : QDateTime::fromString(entrada.toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    EXPECT_EQ(lido, srvtest::day(0)) << entrada.toString().toStdString();
}

TEST_P(Counters, NfceWithoutVoidingWritesOnlyTheMarkerAndSeriesAreCountedApart)
{
    srvtest::ModuleScope module(db->moduleConnectionString());
    const QString a = setNumeroNFCe("0001", "001", "1", "2", false).toString();
    const QString b = setNumeroNFCe("0001", "001", "2", "2", false).toString();
    const QString c = setNumeroNFCe("0001", "001", "1", "1", false).toString();
    EXPECT_EQ(a, QStringLiteral("1"));
    EXPECT_EQ(b, QStringLiteral("1"));
    EXPECT_EQ(c, QStringLiteral("1"));
    EXPECT_EQ(getNumeroNFCe("0001", "1", "2").toString(), QStringLiteral("2"));
    EXPECT_EQ(marcadores(QStringLiteral("NFCEPRIM_")).size(), 3);
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT COUNT(*) FROM INUTILIZANFCE")).toInt(), 0);
}

// Two terminals draw NFC-e numbers on one day; the one that drew the later number wrote
// its marker first. The marker keeps the first writer's number: the other terminal only
// finds the key taken, and nothing is ever updated.
TEST_P(Counters, TheFirstWriterOfTheDaysNfceMarkerWinsAndItsValueIsNeverChanged)
{
    srvtest::ModuleScope module(db->moduleConnectionString());
    const QString chave = QStringLiteral("NFCEPRIM_00011-") + QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat)
                          + QStringLiteral("_AMB2");
    // The other terminal's number 5 and its marker, written before this terminal's (which
    // draws 1) reaches its own.
    db->native().execute(QStringLiteral("INSERT INTO NOVOCODIGO (CDCONTADOR, NRSEQUENCIAL) VALUES ('%1', '5')").arg(chave));
    const QVariant n = setNumeroNFCe("0001", "001", "1", "2", true);
    ASSERT_FALSE(platform::db::isErrorResult(n)) << n.toString().toStdString();
    EXPECT_EQ(n.toString(), QStringLiteral("1"));
    EXPECT_EQ(marcadores(QStringLiteral("NFCEPRIM_")), QList<QStringList>({{chave, QStringLiteral("5")}}));
    // Later numbers of the day leave it as it is too.
    setNumeroNFCe("0001", "002", "1", "2", true);
    EXPECT_EQ(marcadores(QStringLiteral("NFCEPRIM_")), QList<QStringList>({{chave, QStringLiteral("5")}}));
}

TEST_P(Counters, AnExistingMarkerHoldsNoLockOnTheNextNumber)
{
    // The lookups stay open between calls; a marker found must not keep the database
    // from the numbering's own connection (SQLite locks the whole file).
    srvtest::ModuleScope module(db->moduleConnectionString());
    const QDateTime hoje = srvtest::day(0);
    EXPECT_FALSE(SetGravaCupomInicial("0001", "001", "1", hoje).isValid());
    EXPECT_FALSE(SetGravaCupomInicial("0001", "001", "2", hoje).isValid());
    EXPECT_EQ(GetSenhaCupom("0001", hoje).toString(), QStringLiteral("1"));
    for (const char* esperado : {"1", "2", "3"})
        EXPECT_EQ(setNumeroNFCe("0001", "001", "1", "2", true).toString(), QString::fromLatin1(esperado));
}

TEST_P(Counters, DailySaleNumbersCountPerBranchAndDay)
{
    srvtest::ModuleScope module(db->moduleConnectionString());
    const QDateTime hoje = srvtest::day(0).addSecs(3600 * 15);
    EXPECT_EQ(GetSenhaCupom("0001", hoje).toString(), QStringLiteral("1"));
    EXPECT_EQ(GetSenhaCupom("0001", hoje).toString(), QStringLiteral("2"));
    EXPECT_EQ(GetSenhaCupom("0002", hoje).toString(), QStringLiteral("1"));
    EXPECT_EQ(GetSenhaCupom("0001", hoje.addDays(1)).toString(), QStringLiteral("1"));
}

TEST_P(Counters, NumbersAreDrawnOnTheNumberingsOwnConnectionKeptOnAServer)
{
    // Each number comes from a numbering component made for the one draw, on a connection
    // of its own; on a database server that connection is kept for the next draw, so a
    // redemption's numbers open no connection after the first. The server counts them.
    srvtest::ModuleScope module(db->moduleConnectionString());
    const QDateTime hoje = srvtest::day(0);
    // Client sessions only: the server's own workers (an autovacuum of the new tables) are
    // listed under the database too, and come and go as they please.
    const auto sessions = [&] {
        return db->rows(QStringLiteral("SELECT COUNT(*) FROM pg_stat_activity WHERE datname = current_database()"
                                       " AND backend_type = 'client backend'"))
            .value(0).value(0).toInt();
    };
    EXPECT_EQ(GetSenhaCupom("0001", hoje).toString(), QStringLiteral("1"));
    const int afterFirst = testsupport::isPostgres(db->kind()) ? sessions() : 0;
    EXPECT_EQ(GetSenhaCupom("0001", hoje).toString(), QStringLiteral("2"));
    EXPECT_EQ(getNumeroNFCe("0001", "1", "2").toString(), QStringLiteral("1"));
    EXPECT_EQ(setNumeroNFCe("0001", "001", "1", "2", false).toString(), QStringLiteral("2"));
    if (testsupport::isPostgres(db->kind()))
        EXPECT_EQ(sessions(), afterFirst);
    EXPECT_EQ(marcadores(QStringLiteral("PRX")),
              QList<QStringList>({{QStringLiteral("PRXNFCE_0001_1_2"), QStringLiteral("2")},
                                  {QStringLiteral("PRXVENDADIA_0001_") + hoje.toString(QStringLiteral("yyyyMMdd")),
                                   QStringLiteral("2")}}));
}

TEST_P(Counters, VoidingFailureReturnsTextAfterTheMarkerAndTheNumberAreTaken)
{
    srvtest::ModuleScope module(db->moduleConnectionString());
    db->native().execute(QStringLiteral("DROP TABLE INUTILIZANFCE"));
    const QVariant failed = setNumeroNFCe("0001", "001", "1", "2", true);
    recriaTabela(QStringLiteral("INUTILIZANFCE"));

    EXPECT_TRUE(platform::db::isErrorResult(failed)) << failed.toString().toStdString();
    EXPECT_EQ(marcadores(QStringLiteral("NFCEPRIM_")).size(), 1);
    // The number drawn before the failure is not given back.
    EXPECT_EQ(setNumeroNFCe("0001", "001", "1", "2", true).toString(), QStringLiteral("2"));
}

TEST_P(Counters, MarkerErrorComesBackAsText)
{
    srvtest::ModuleScope module(db->moduleConnectionString());
    db->native().execute(QStringLiteral("DROP TABLE NOVOCODIGO"));
    const QVariant cupom = SetGravaCupomInicial("0001", "001", "1", srvtest::day(0));
    const QVariant nfce = setNumeroNFCe("0001", "001", "1", "2", true);
    bool senhaRaised = false;
    try {
        GetSenhaCupom("0001", srvtest::day(0));
    } catch (const platform::Error&) {
        senhaRaised = true;
    }
    recriaTabela(QStringLiteral("NOVOCODIGO"));

    EXPECT_TRUE(platform::db::isErrorResult(cupom)) << cupom.toString().toStdString();
    EXPECT_TRUE(platform::db::isErrorResult(nfce)) << nfce.toString().toStdString();
    EXPECT_TRUE(senhaRaised);
}

TEST(CountersWithoutDatabase, NumberingErrorsReachTheCaller)
{
    hostkit::setStringConexQvn(QStringLiteral("Provider=Nenhum"));
    EXPECT_THROW(GetSenhaCupom("0001", srvtest::day(0)), platform::Error);
    EXPECT_THROW(getNumeroNFCe("0001", "1", "2"), platform::Error);
    // Without a data module setNumeroNFCe returns a text instead of raising.
    const QVariant result = setNumeroNFCe("0001", "001", "1", "2", true);
    EXPECT_TRUE(platform::db::isErrorResult(result));
    hostkit::setStringConexQvn(QString());
}

INSTANTIATE_TEST_SUITE_P(Backends, Counters, ::testing::ValuesIn(srvtest::backendsAndEncodings()),
                         [](const auto& info) { return srvtest::backendName(info.param); });
