// The cancelled-sale log and the simulated SAT device, on SQLite and (when configured)
// PostgreSQL.

#include "SaleTestDb.h"

#include "host/possvc/devices/NFCeKey.h"
#include "host/possvc/sale/SaleServices.h"
#include "host/possvc/sale/SaleServicesDb.h"
#include "host/possvc/devices/SatCfe.h"
#include "host/possvc/screen/ScreenOps.h"
#include "hostapi/hostkit.h"
#include "hostapi/possvc.h"

#include "platform/Error.h"
#include "platform/db/ServiceResult.h"

#include <gtest/gtest.h>

using namespace saletest;

namespace {

const Gift kGift{QStringLiteral("PTS"), QStringLiteral("P1"), 40, QStringLiteral("N"), 10.0};

class SaleServicesDb : public SaleServicesTest {
protected:
    // Concludes a sale and returns its number; `rows` keeps the sale rows.
    QString conclude(Redemption& r, const QString& docType = QStringLiteral("E"), const QString& receipt = QStringLiteral("000123"))
    {
        QVariant vo = QVariantList(10);
        return possvc::SetConcluiFechamento(r.dataSets(), kDataSetsHighest, closeOutBlock(docType, receipt), kConcluiHighest, vo)
            .toString();
    }
};

}  // namespace

TEST_P(SaleServicesDb, CancelledSaleGivesItsPointsBack)
{
    Redemption earlier({kGift}, QStringLiteral("000100"));
    const QString earlierSeq = conclude(earlier, QStringLiteral("E"), QStringLiteral("000100"));
    Redemption current({kGift});
    const QString seq = conclude(current);
    EXPECT_EQ(points(), 20);

    QVariant vo = QVariantList(10);
    QString answer = QStringLiteral("unchanged");
    possvc::IncluiVendaCan(includeBlock(current.venda), kVendaCanHighest, vo, answer);
    EXPECT_EQ(answer, QString());
    EXPECT_EQ(vo.toList().value(Cancelada::Venda).toString(), seq);
    EXPECT_EQ(situation(seq), QStringLiteral("C"));
    EXPECT_EQ(situation(earlierSeq), QStringLiteral("O"));  // another receipt: untouched
    EXPECT_EQ(points(), 60);
    EXPECT_EQ(db->count(QStringLiteral("VENDACANCELADA"), QStringLiteral("NRSEQVENDA = :P1 AND NRCUPOMFIS = '000123' AND CDCAIXA = '003'"), {seq}), 1);
    EXPECT_EQ(db->count(QStringLiteral("ITVENDACANCELADA"), QStringLiteral("CDPRODUTO = 'P1'")), 1);
}

TEST_P(SaleServicesDb, RowsWithoutAConcludedSaleAreOnlyLogged)
{
    Redemption done({kGift});
    const QString seq = conclude(done);
    // Rows of a receipt that never became a sale (another receipt number), and rows with
    // no receipt at all: logged, nothing cancelled.
    Redemption other({kGift}, QStringLiteral("000999"));
    Redemption noReceipt({kGift}, QString());
    for (Redemption* r : {&other, &noReceipt}) {
        QVariant vo = QVariantList(10);
        QString answer;
        possvc::IncluiVendaCan(includeBlock(r->venda), kVendaCanHighest, vo, answer);
        EXPECT_EQ(vo.toList().value(Cancelada::Venda).toString(), QString());
    }
    EXPECT_EQ(situation(seq), QStringLiteral("O"));
    EXPECT_EQ(points(), 60);
    EXPECT_EQ(db->count(QStringLiteral("VENDACANCELADA"), QStringLiteral("NRSEQVENDA IS NULL")), 2);

    // No sale rows at all (a receipt that failed before the sale was built): nothing to log.
    platform::ClientDataSet never;
    QVariant vo = QVariantList(10);
    QString answer;
    possvc::IncluiVendaCan(includeBlock(never), kVendaCanHighest, vo, answer);
    EXPECT_EQ(db->count(QStringLiteral("VENDACANCELADA")), 2);
    EXPECT_THROW(possvc::IncluiVendaCan(includeBlock(never).mid(0, VendaCan::Size - 1), kVendaCanHighest - 1, vo, answer),
                 platform::HostError);
}

TEST_P(SaleServicesDb, SatCancellationByNumber)
{
    Redemption r({kGift});
    const QString seq = conclude(r, QStringLiteral("S"));
    QVariant vo = QVariantList(10);
    QString answer;
    possvc::AlteraVendaCan(alterBlock(seq), kAlteraCanHighest, vo, answer);
    EXPECT_EQ(answer, QString());
    EXPECT_FALSE(platform::db::isErrorResult(answer));
    EXPECT_EQ(situation(seq), QStringLiteral("C"));
    EXPECT_EQ(points(), 100);
    EXPECT_EQ(db->count(QStringLiteral("VENDACANCELADA"), QStringLiteral("NRSEQVENDA = :P1"), {seq}), 1);
    EXPECT_EQ(db->count(QStringLiteral("ITVENDACANCELADA")), 1);

    possvc::AlteraVendaCan(alterBlock(seq), kAlteraCanHighest, vo, answer);  // again: already cancelled, fine
    EXPECT_EQ(answer, QString());
    EXPECT_EQ(db->count(QStringLiteral("VENDACANCELADA")), 1);

    possvc::AlteraVendaCan(alterBlock(QStringLiteral("999")), kAlteraCanHighest, vo, answer);
    EXPECT_TRUE(platform::db::isErrorResult(answer)) << qPrintable(answer);
    possvc::AlteraVendaCan(alterBlock(QString()), kAlteraCanHighest, vo, answer);
    EXPECT_TRUE(platform::db::isErrorResult(answer)) << qPrintable(answer);

    possvc::library().failNext(QStringLiteral("AlteraVendaCan"));
    possvc::AlteraVendaCan(alterBlock(seq), kAlteraCanHighest, vo, answer);
    EXPECT_TRUE(platform::db::isErrorResult(answer));
}

TEST_P(SaleServicesDb, SatDeviceIssuesTheCfeOfTheStoredSale)
{
    Redemption r({kGift, {QStringLiteral("PTS"), QStringLiteral("P2"), 10, QStringLiteral("N"), 3.5}});
    const QString seq = conclude(r, QStringLiteral("S"));
    QStringList answer;
    ASSERT_TRUE(possvc::SATOnline(QStringLiteral("0001"), QStringLiteral("003"), seq, QStringLiteral("S"),
                                  QStringLiteral("12345678"), QString(), QStringLiteral("0"), QStringLiteral("0"), answer));
    using namespace possvc::sat;
    const QString chave = answerValue(answer, QStringLiteral("chaveConsulta"));
    ASSERT_TRUE(chave.startsWith(QStringLiteral("CFe")));
    const QString key = bareKey(chave);
    EXPECT_TRUE(possvc::nfce::isValidKey(key));
    EXPECT_EQ(key.mid(6, 14), QStringLiteral("11222333000181"));  // the branch's CNPJ
    EXPECT_EQ(answerValue(answer, QStringLiteral("valorTotalCFe")), QStringLiteral("0.01"));
    EXPECT_EQ(answerValue(answer, QStringLiteral("CPFCNPJValue")), QStringLiteral("12345678909"));
    const QString number = cfeNumber(answerValue(answer, QStringLiteral("arqxmlnfce")), chave);
    EXPECT_EQ(number, key.mid(31, 6));
    EXPECT_EQ(number, QStringLiteral("000001"));
    const QString qr = qrText(answer);
    EXPECT_TRUE(qr.startsWith(key + QLatin1Char('|')));

    const QVariant stored = possvc::AtualizaVendaSat(QStringLiteral("0001"), QStringLiteral("003"), seq, number, qr, answer);
    EXPECT_FALSE(platform::db::isErrorResult(stored)) << qPrintable(stored.toString());
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT NRCFE FROM VENDA WHERE NRSEQVENDA = :P1"), {seq}).toString(), number);
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT DSCHAVEACESSO FROM VENDA WHERE NRSEQVENDA = :P1"), {seq}).toString(), key);

    // The next CF-e of the device gets the next number.
    Redemption next({kGift});
    const QString seq2 = conclude(next, QStringLiteral("S"));
    ASSERT_TRUE(possvc::SATOnline(QStringLiteral("0001"), QStringLiteral("003"), seq2, QStringLiteral("S"), QString(),
                                  QString(), QStringLiteral("0"), QStringLiteral("0"), answer));
    EXPECT_EQ(bareKey(answerValue(answer, QStringLiteral("chaveConsulta"))).mid(31, 6), QStringLiteral("000002"));

    EXPECT_TRUE(platform::db::isErrorResult(
        possvc::AtualizaVendaSat(QStringLiteral("0001"), QStringLiteral("003"), QStringLiteral("999"), number, qr, answer)));
    EXPECT_TRUE(platform::db::isErrorResult(
        possvc::AtualizaVendaSat(QStringLiteral("0001"), QStringLiteral("003"), seq, QStringLiteral("Erro"), qr, answer)));
}

TEST_P(SaleServicesDb, SatDeviceRefusals)
{
    using namespace possvc::sat;
    Redemption r({kGift});
    const QString seq = conclude(r, QStringLiteral("S"));
    QStringList answer;
    auto send = [&](const QString& sale, const QString& code) {
        return possvc::SATOnline(QStringLiteral("0001"), QStringLiteral("003"), sale, QStringLiteral("S"), code, QString(),
                                 QStringLiteral("0"), QStringLiteral("0"), answer);
    };

    possvc::sim::failNext(QStringLiteral("SATOnline"));
    EXPECT_FALSE(send(seq, QString()));
    EXPECT_FALSE(answerValue(answer, QStringLiteral("mensagem")).isEmpty());
    EXPECT_EQ(answerValue(answer, QStringLiteral("chaveConsulta")), QString());

    possvc::sim::config().satActivationCode = QStringLiteral("12345678");
    EXPECT_FALSE(send(seq, QStringLiteral("00000000")));
    EXPECT_EQ(answerValue(answer, QStringLiteral("EEEEE")), QStringLiteral("06001"));
    EXPECT_EQ(answerValue(answer, QStringLiteral("mensagem")), QStringLiteral("Código de ativação inválido."));
    EXPECT_TRUE(send(seq, QStringLiteral("12345678")));

    EXPECT_FALSE(send(QStringLiteral("999"), QStringLiteral("12345678")));
    EXPECT_EQ(answerValue(answer, QStringLiteral("EEEEE")), QStringLiteral("06010"));
    QVariant vo = QVariantList(10);
    QString text;
    possvc::AlteraVendaCan(alterBlock(seq), kAlteraCanHighest, vo, text);  // its CF-e was issued: the sale stands
    EXPECT_TRUE(platform::db::isErrorResult(text));
    EXPECT_EQ(situation(seq), QStringLiteral("O"));
    Redemption unsent({kGift});
    const QString seq2 = conclude(unsent, QStringLiteral("S"));
    possvc::AlteraVendaCan(alterBlock(seq2), kAlteraCanHighest, vo, text);
    EXPECT_EQ(text, QString());
    EXPECT_FALSE(send(seq2, QStringLiteral("12345678")));  // a cancelled sale is not issued

    possvc::sim::failNext(QStringLiteral("AtualizaVendaSat"));
    EXPECT_TRUE(platform::db::isErrorResult(
        possvc::AtualizaVendaSat(QStringLiteral("0001"), QStringLiteral("003"), seq, QStringLiteral("000001"), QString(), answer)));
}

INSTANTIATE_TEST_SUITE_P(Backends, SaleServicesDb, ::testing::Values(QStringLiteral("sqlite"), QStringLiteral("postgresql")),
                         [](const auto& info) { return info.param.toStdString(); });
