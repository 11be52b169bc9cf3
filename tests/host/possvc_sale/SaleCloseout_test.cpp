// The sale close-out on SQLite and (when configured) PostgreSQL: the rows it writes, the
// balance re-check, the NFC-e it issues, and two terminals racing for the same points.

#include "SaleTestDb.h"
#include "support/ExpectError.h"

#include "host/possvc/devices/NFCeKey.h"
#include "host/possvc/sale/SaleServices.h"
#include "host/possvc/sale/SaleServicesCloseOut.h"
#include "host/possvc/sale/SaleServicesDb.h"
#include "hostapi/possvc.h"

#include "platform/Error.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <thread>

using namespace saletest;

namespace {

class CloseOut : public SaleServicesTest {
protected:
    QString conclude(const QList<Gift>& gifts, const QString& docType = QStringLiteral("E"), QVariant* out = nullptr,
                     const QVariantList& block = {})
    {
        Redemption r(gifts);
        QVariant voRetorno = QVariantList(10);
        const QVariant seq = possvc::SetConcluiFechamento(r.dataSets(), kDataSetsHighest,
                                                          block.isEmpty() ? closeOutBlock(docType) : block, kConcluiHighest,
                                                          voRetorno);
        if (out)
            *out = voRetorno;
        return seq.toString();
    }
};

const Gift kPoints30{QStringLiteral("PTS"), QStringLiteral("P1"), 30, QStringLiteral("N"), 10.0};
const Gift kVoucher20{QStringLiteral("VOU"), QStringLiteral("P2"), 20, QStringLiteral("S"), 25.5};

}  // namespace

TEST_P(CloseOut, WritesTheWholeSale)
{
    EXPECT_EQ(points(), 100);
    EXPECT_EQ(vouchers(), 50);

    const QString seq = conclude({kPoints30, kVoucher20});
    EXPECT_EQ(seq, QStringLiteral("1"));
    const QVariantList key{QStringLiteral("0001"), QStringLiteral("003"), seq};
    const QString where = QStringLiteral("CDFILIAL = :P1 AND CDCAIXA = :P2 AND NRSEQVENDA = :P3");
    EXPECT_EQ(db->count(QStringLiteral("VENDA"), where + QStringLiteral(" AND IDSITUVENDA = 'O' AND IDIMPVENDA = 'I'"), key), 1);
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT VRTOTVENDA FROM VENDA WHERE ") + where, key).toDouble(), 0.01);
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT NRCUPOMFIS FROM VENDA WHERE ") + where, key).toString(), QStringLiteral("000123"));
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT CDCONSUMIDOR FROM VENDA WHERE ") + where, key).toString(), QStringLiteral("CONS1"));
    EXPECT_EQ(db->count(QStringLiteral("ITVENDA"), where, key), 2);
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT VRDESCITVEND FROM ITVENDA WHERE ") + where + QStringLiteral(" AND NRSEQITVEND = '002'"), key)
                  .toDouble(),
              25.49);

    // One loyalty row per gift: 'R' for the points campaign, 'V' for the voucher one,
    // each tied to its sale item.
    EXPECT_EQ(db->count(QStringLiteral("ITFIDELIDADE"),
                        where + QStringLiteral(" AND CDCAMPANHA = 'PTS' AND IDTPOPERITFIDEL = 'R' AND VRPONTOBRINDE = 30 "
                                               "AND CDCLIENTE = 'CLI1' AND CDCONSUMIDOR = 'CONS1' AND NRSEQITVEND = '001'"),
                        key),
              1);
    EXPECT_EQ(db->count(QStringLiteral("ITFIDELIDADE"),
                        where + QStringLiteral(" AND CDCAMPANHA = 'VOU' AND IDTPOPERITFIDEL = 'V' AND VRPONTOBRINDE = 20 "
                                               "AND NRSEQITVEND = '002'"),
                        key),
              1);
    EXPECT_EQ(db->count(QStringLiteral("MOVCAIXA"), where + QStringLiteral(" AND VRMOVIVEND = 0.01 AND CDTIPORECE = 'FID'"), key), 1);

    EXPECT_EQ(points(), 70);
    EXPECT_EQ(vouchers(), 30);
    EXPECT_EQ(conclude({kPoints30}), QStringLiteral("2"));
    EXPECT_EQ(points(), 40);
}

TEST_P(CloseOut, RefusesAnOverdrawAndWritesNothing)
{
    Gift tooMuch = kPoints30;
    tooMuch.points = 100.5;
    testsupport::expectErrorNaming<platform::HostError>([&] { conclude({tooMuch}); },
                                                        QStringLiteral("Saldo insuficiente na campanha PTS"));
    // Two gifts of one campaign count together: 60 + 50 > 100.
    Gift sixty = kPoints30, fifty = kPoints30;
    sixty.points = 60;
    fifty.points = 50;
    EXPECT_THROW(conclude({sixty, fifty}), platform::HostError);
    Gift vouchers = kVoucher20;
    vouchers.points = 51;
    EXPECT_THROW(conclude({vouchers}), platform::HostError);

    EXPECT_EQ(db->count(QStringLiteral("VENDA")), 0);
    EXPECT_EQ(db->count(QStringLiteral("ITFIDELIDADE")), 0);
    EXPECT_EQ(db->count(QStringLiteral("MOVCAIXA")), 0);
    // The exact balance still passes, and the refused attempts used no number.
    Gift exact = kPoints30;
    exact.points = 100;
    EXPECT_EQ(conclude({exact}), QStringLiteral("1"));
    EXPECT_EQ(points(), 0);
}

TEST_P(CloseOut, SkipsNumbersAlreadyTakenByOtherPrograms)
{
    db->exec(QStringLiteral("INSERT INTO VENDA (CDFILIAL, CDCAIXA, NRSEQVENDA, IDSITUVENDA, IDIMPVENDA) VALUES ('0001', '003', '41', 'C', 'I')"));
    EXPECT_EQ(conclude({kPoints30}), QStringLiteral("42"));
    db->exec(QStringLiteral("INSERT INTO VENDA (CDFILIAL, CDCAIXA, NRSEQVENDA, IDSITUVENDA, IDIMPVENDA) VALUES ('0001', '003', '43', 'C', 'I')"));
    EXPECT_EQ(conclude({kPoints30}), QStringLiteral("44"));
}

TEST_P(CloseOut, IssuesTheNfce)
{
    QVariant out;
    const QVariantList block = closeOutBlock(QStringLiteral("N"), QString(), QStringLiteral("57"), QStringLiteral("3"),
                                             QStringLiteral("2026-12-07T10:00:00-03:00"));
    const QString seq = conclude({kPoints30}, QStringLiteral("N"), &out, block);
    const QVariantList r = out.toList();
    ASSERT_EQ(r.size(), 10);
    const QString key = r[Fechamento::ChaveAcesso].toString();
    EXPECT_TRUE(possvc::nfce::isValidKey(key)) << qPrintable(key);
    EXPECT_EQ(key.left(20), QStringLiteral("35261211222333000181"));  // SP, Dec 2026, the branch's CNPJ
    EXPECT_EQ(key.mid(20, 2), QStringLiteral("65"));
    EXPECT_EQ(key.mid(22, 3), QStringLiteral("003"));
    EXPECT_EQ(key.mid(25, 9), QStringLiteral("000000057"));
    const QString qr = r[Fechamento::QrCode].toString();
    EXPECT_TRUE(qr.startsWith(possvc::sim::config().nfceQrUrlHomologation + QStringLiteral("?p=") + key + QStringLiteral("|2|2|1|")))
        << qPrintable(qr);
    EXPECT_EQ(r[Fechamento::Protocolo].toString().size(), 15);
    EXPECT_TRUE(r[Fechamento::Protocolo].toString().startsWith(QStringLiteral("13526")));
    const QVariantList k{QStringLiteral("0001"), QStringLiteral("003"), seq};
    const QString where = QStringLiteral(" FROM VENDA WHERE CDFILIAL = :P1 AND CDCAIXA = :P2 AND NRSEQVENDA = :P3");
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT DSCHAVEACESSO") + where, k).toString(), key);
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT NRNOTAFISCALCE") + where, k).toString(), QStringLiteral("57"));
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT IDTPDOCVENDA") + where, k).toString(), QStringLiteral("N"));

    // An error text in place of the NFC-e number is refused before anything is written.
    const QVariantList bad = closeOutBlock(QStringLiteral("N"), QString(), QStringLiteral("Erro de banco de dados: x"),
                                           QStringLiteral("3"));
    EXPECT_THROW(conclude({kPoints30}, QStringLiteral("N"), nullptr, bad), platform::HostError);
    EXPECT_EQ(db->count(QStringLiteral("VENDA")), 1);
}

TEST_P(CloseOut, RefusesBlocksOfAnotherShape)
{
    Redemption r({kPoints30});
    QVariant vo = QVariantList(10);
    QVariantList shortBlock = closeOutBlock(QStringLiteral("E"));
    shortBlock.removeLast();
    EXPECT_THROW(possvc::SetConcluiFechamento(r.dataSets(), kDataSetsHighest, shortBlock, kConcluiHighest - 1, vo),
                 platform::HostError);
    EXPECT_THROW(possvc::SetConcluiFechamento(r.dataSets().mid(0, ConcluiDataSets::Size - 1), kDataSetsHighest - 1,
                                              closeOutBlock(QStringLiteral("E")), kConcluiHighest, vo),
                 platform::HostError);
    Redemption empty({});
    EXPECT_THROW(possvc::SetConcluiFechamento(empty.dataSets(), kDataSetsHighest, closeOutBlock(QStringLiteral("E")),
                                              kConcluiHighest, vo),
                 platform::HostError);
    EXPECT_EQ(db->count(QStringLiteral("VENDA")), 0);
}

TEST_P(CloseOut, FaultPlannedByTheHostThrows)
{
    possvc::library().failNext(QStringLiteral("SetConcluiFechamento"));
    EXPECT_THROW(conclude({kPoints30}), platform::HostError);
    EXPECT_EQ(db->count(QStringLiteral("VENDA")), 0);
    EXPECT_EQ(conclude({kPoints30}), QStringLiteral("1"));
}

// The services prepare their statements when their connection opens; one that cannot be
// prepared then (its table missing) stops nothing, fails where it is used, and is
// prepared again at its next use.
TEST_P(CloseOut, AStatementThatCannotBePreparedAheadFailsOnlyWhereItIsUsed)
{
    possvc::sim::closeSaleConnection();
    auto schema = db->open();
    schema->execute(QStringLiteral("ALTER TABLE ITFIDELIDADE RENAME TO ITFIDELIDADE_FORA"));
    EXPECT_NO_THROW(possvc::sim::prepareScreen());
    if (GetParam() == QLatin1String("postgresql")) {
        EXPECT_EQ(db->count(QStringLiteral("pg_stat_activity"),
                            QStringLiteral("datname = current_database() AND state LIKE 'idle in transaction%'")),
                  0);
    }
    testsupport::expectErrorNaming<platform::Error>([&] { conclude({kPoints30}); }, QStringLiteral("ITFIDELIDADE"),
                                                    Qt::CaseInsensitive);
    EXPECT_EQ(db->count(QStringLiteral("VENDA")), 0);
    schema->execute(QStringLiteral("ALTER TABLE ITFIDELIDADE_FORA RENAME TO ITFIDELIDADE"));
    EXPECT_EQ(conclude({kPoints30}), QStringLiteral("1"));
    EXPECT_EQ(points(), 70);
}

// Two terminals (registers 001 and 002, each with its own connection) spend the
// consumer's last 100 points at the same moment: exactly one sale goes through.
TEST_P(CloseOut, TwoTerminalsCannotSpendTheSamePoints)
{
    constexpr int kRounds = 4;
    for (int round = 0; round < kRounds; ++round) {
        if (round > 0)
            db->addPoints(QStringLiteral("PTS"), 100);
        ASSERT_NEAR(points(), 100, 1e-9);
        std::atomic<int> succeeded{0}, refused{0};
        std::barrier start(2);
        auto terminal = [&](const QString& cashRegister) {
            auto connection = db->open();
            Gift all = kPoints30;
            all.points = 100;
            Redemption r({all});
            QVariantList block = closeOutBlock(QStringLiteral("E"));
            block[Conclui::CdCaixa] = cashRegister;
            possvc::SaleCloseOut closeOut(*connection, possvc::sim::config(), QDateTime::currentDateTime(),
                                          QStringLiteral("T1"));
            start.arrive_and_wait();
            try {
                closeOut.conclude(r.dataSets(), kDataSetsHighest, block, kConcluiHighest);
                ++succeeded;
            } catch (const platform::HostError& e) {
                if (e.text().contains(QStringLiteral("Saldo insuficiente")))
                    ++refused;
            }
        };
        std::thread a(terminal, QStringLiteral("001"));
        std::thread b(terminal, QStringLiteral("002"));
        a.join();
        b.join();
        EXPECT_EQ(succeeded.load(), 1) << "round " << round;
        EXPECT_EQ(refused.load(), 1) << "round " << round;
        EXPECT_NEAR(points(), 0, 1e-9) << "round " << round;
    }
    EXPECT_EQ(db->count(QStringLiteral("VENDA")), kRounds);
}

INSTANTIATE_TEST_SUITE_P(Backends, CloseOut, ::testing::Values(QStringLiteral("sqlite"), QStringLiteral("postgresql")),
                         [](const auto& info) { return info.param.toStdString(); });
