// The simulated fiscal printer: receipt numbers and counters, the journal, refusals,
// cancellation and the state that carries numbers across runs.

#include "host/fiscaldev/SimPrinter.h"
#include "hostapi/ArgumentBlocks.h"
#include "hostapi/fiscaldev.h"
#include "hostapi/hostkit.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace fiscaldev;
using hostapi::ParamRecord;

const QDateTime kNow(QDate(2026, 12, 7), QTime(10, 30, 0));

using Fecha = hostapi::block::FechaCupom;
using Cancela = hostapi::block::CancelaCupomImp;
constexpr int kFechaHighest = hostapi::block::highestIndex<Fecha>;
constexpr int kCancelaHighest = hostapi::block::highestIndex<Cancela>;
using Resposta = hostapi::answer::Impressora;

QVariantList closingBlock(double discount, const QString& password = "0042")
{
    return hostapi::ArgumentBlock<Fecha>(QString(), {{Fecha::Md5, "MD-5: 0123456789ABCDEF"},
                                                     {Fecha::Desconto, discount},
                                                     {Fecha::DsObsCupFis, "Resgate de pontos do programa de fidelidade"},
                                                     {Fecha::CdOperador, "007"}, {Fecha::NmOperador, "MARIA CAIXA"},
                                                     {Fecha::SenhaCupom, password}})
        .values();
}

QVariantList cancelBlock()
{
    return hostapi::ArgumentBlock<Cancela>(false, {{Cancela::IdEsquema, "002"},
                                                   {Cancela::DoProprioCupom, true}, {Cancela::CdFilial, "0001"},
                                                   {Cancela::CdCaixa, "003"}, {Cancela::NrSerieImp, "ECF123"}})
        .values();
}

QVariant newRetorno()
{
    QVariantList l;
    for (int i = 0; i < 10; ++i)
        l.append(QVariant());
    return l;
}

class SimPrinterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        sim::setOutputDir(dir.path());
        sim::setClock([] { return kNow; });
        sim::installAll();
    }
    void TearDown() override
    {
        sim::clearFaults();
        sim::setClock({});
        library().unassignAll();
    }

    ParamRecord opening(QString cpf = "12345678909", QString name = "JOÃO DA SILVA")
    {
        int work = 0;
        QString address = "RUA DAS FLORES, 10", cupNr, cont;
        return Params_AbreCupom_Kdx00000("002", work, cpf, name, address, cupNr, cont, "", "", "", "", "", "", "",
                                         false);
    }
    static ParamRecord item(const QString& code, const QString& description, double price)
    {
        return Params_VendaItem_Kdx00000("002", "", "D", code, description, "T01", "T", "UN", "", "18", "", 0, 1.0,
                                         price, 0.0, 0.0, false);
    }
    QString journal() const
    {
        QFile f(sim::journalPath());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    // Opens, registers the prices and closes with the total less 0.01 as discount.
    bool printReceipt(const QList<double>& prices, QVariant& vo)
    {
        ParamRecord r = opening();
        if (!AbreCupom(r))
            return false;
        double total = 0;
        for (double p : prices) {
            ParamRecord i = item("7891000100103", "CANECA DE PORCELANA", p);
            if (!VendaItem(i))
                return false;
            total += p;
        }
        vo = newRetorno();
        return FechaCupom(closingBlock(total - 0.01), kFechaHighest, 0, vo);
    }

    QTemporaryDir dir;
};

TEST_F(SimPrinterTest, OpeningLeavesReceiptNumberAndCounterInTheRecord)
{
    ParamRecord r = opening();
    ASSERT_TRUE(AbreCupom(r));
    EXPECT_EQ(r.value("CUPNR").toString(), "000001");
    EXPECT_EQ(r.value("CONTCUPOM").toString(), "000001");
    // As the screen reads them: through the toolkit, from the record as a variant.
    EXPECT_EQ(hostkit::RecebeParams(QVariant(r), "CUPNR").toString(), "000001");
    EXPECT_EQ(hostkit::RecebeParams(QVariant(r), "CONTCUPOM").toString(), "000001");
    QVariant vo = newRetorno();
    ASSERT_TRUE(Cancela_Cupom_Imp(cancelBlock(), kCancelaHighest, vo));
    ParamRecord second = opening();
    ASSERT_TRUE(AbreCupom(second));
    EXPECT_EQ(second.value("CUPNR").toString(), "000002");
    EXPECT_EQ(second.value("CONTCUPOM").toString(), "000002");
}

TEST_F(SimPrinterTest, NumbersContinueAcrossRuns)
{
    QVariant vo;
    ASSERT_TRUE(printReceipt({10.0}, vo));
    ASSERT_TRUE(printReceipt({10.0}, vo));
    sim::setOutputDir(dir.path());  // a new run reads the state file again
    ParamRecord r = opening();
    ASSERT_TRUE(AbreCupom(r));
    EXPECT_EQ(r.value("CUPNR").toString(), "000003");
    EXPECT_NEAR(sim::status().grandTotal, 0.02, 1e-9);
}

TEST_F(SimPrinterTest, JournalHoldsTheReceiptAsPrinted)
{
    QVariant vo;
    ASSERT_TRUE(printReceipt({25.9, 4.5}, vo));
    const QString text = journal();
    const QStringList lines = text.split('\n', Qt::SkipEmptyParts);
    for (const QString& line : lines)
        EXPECT_LE(line.size(), 48) << line.toStdString();
    EXPECT_TRUE(text.contains("CPF/CNPJ consumidor: 12345678909"));
    EXPECT_TRUE(text.contains("Nome: JOÃO DA SILVA"));
    EXPECT_TRUE(text.contains("07/12/2026 10:30:00"));
    EXPECT_TRUE(text.contains("001 7891000100103 CANECA DE PORCELANA"));
    EXPECT_TRUE(text.contains("002 7891000100103 CANECA DE PORCELANA"));
    EXPECT_TRUE(lines.filter("1,000 UN X 25,90").size() == 1);
    EXPECT_TRUE(lines.filter("SUBTOTAL R$").first().endsWith("30,40"));
    EXPECT_TRUE(lines.filter("DESCONTO R$").first().endsWith("-30,39"));
    EXPECT_TRUE(lines.filter("TOTAL R$").last().endsWith(" 0,01"));
    EXPECT_TRUE(text.contains("Senha: 0042"));
    EXPECT_TRUE(text.contains("Operador: 007 MARIA CAIXA"));
    EXPECT_TRUE(text.contains("MD-5: 0123456789ABCDEF"));
}

TEST_F(SimPrinterTest, ClosingResultIsElementTwoOfTheResultArray)
{
    QVariant vo;
    ASSERT_TRUE(printReceipt({3.0}, vo));
    const QVariantList l = vo.toList();
    ASSERT_EQ(l.size(), 10);
    EXPECT_EQ(l[Resposta::Codigo].toInt(), 0);
    EXPECT_EQ(l[Resposta::Cupom].toString(), "000001");
    EXPECT_NEAR(l[Resposta::Total].toDouble(), 0.01, 1e-9);
}

TEST_F(SimPrinterTest, CommandsOutOfOrderAreRefused)
{
    ParamRecord i = item("1", "X", 1.0);
    EXPECT_FALSE(VendaItem(i));
    EXPECT_EQ(sim::lastError(), "Não há cupom aberto.");
    QVariant vo = newRetorno();
    EXPECT_FALSE(FechaCupom(closingBlock(0), kFechaHighest, 0, vo));
    EXPECT_EQ(vo.toList().value(Resposta::Codigo).toInt(), 1);
    EXPECT_EQ(vo.toList().value(Resposta::Cupom).toString(), "");
    ParamRecord r = opening();
    ASSERT_TRUE(AbreCupom(r));
    EXPECT_FALSE(FechaCupom(closingBlock(0), kFechaHighest, 0, vo)) << "a receipt without items";
    ParamRecord wrong = opening();
    EXPECT_FALSE(VendaItem(wrong)) << "an opening record sent as an item";
    ParamRecord big = item("1", "X", 1.0);
    ASSERT_TRUE(VendaItem(big));
    EXPECT_FALSE(FechaCupom(closingBlock(1.5), kFechaHighest, 0, vo)) << "discount above the subtotal";
    EXPECT_TRUE(sim::status().receiptOpen);
}

TEST_F(SimPrinterTest, ItemWithoutTaxCodeIsRefused)
{
    ParamRecord r = opening();
    ASSERT_TRUE(AbreCupom(r));
    ParamRecord i = Params_VendaItem_Kdx00000("002", "", "D", "1", "X", "", "T", "UN", "", "18", "", 0, 1.0, 2.0, 0,
                                              0, false);
    EXPECT_FALSE(VendaItem(i));
    EXPECT_EQ(sim::status().openItems, 0);
}

TEST_F(SimPrinterTest, BlockWhoseHighestIndexDoesNotMatchRaises)
{
    QVariant vo = newRetorno();
    EXPECT_THROW(FechaCupom(closingBlock(0), kFechaHighest + 1, 0, vo), platform::HostError);
    EXPECT_THROW(Cancela_Cupom_Imp(cancelBlock().mid(0, Cancela::Size - 2), kCancelaHighest - 2, vo), platform::HostError);
}

TEST_F(SimPrinterTest, CancellingTheOpenReceipt)
{
    ParamRecord r = opening();
    ASSERT_TRUE(AbreCupom(r));
    ParamRecord i = item("1", "X", 12.0);
    ASSERT_TRUE(VendaItem(i));
    QVariant vo = newRetorno();
    ASSERT_TRUE(Cancela_Cupom_Imp(cancelBlock(), kCancelaHighest, vo));
    EXPECT_EQ(vo.toList().value(Resposta::Cupom).toString(), "000001");
    EXPECT_FALSE(sim::status().receiptOpen);
    EXPECT_EQ(sim::status().coo, 1) << "cancelling an open receipt prints no new document";
    EXPECT_NEAR(sim::status().cancelledTotal, 12.0, 1e-9);
    EXPECT_TRUE(journal().contains("CUPOM FISCAL CANCELADO"));
    EXPECT_FALSE(Cancela_Cupom_Imp(cancelBlock(), kCancelaHighest, vo)) << "nothing left to cancel";
}

TEST_F(SimPrinterTest, CancellingTheLastClosedReceiptPrintsADocument)
{
    QVariant vo;
    ASSERT_TRUE(printReceipt({5.0}, vo));
    vo = newRetorno();
    ASSERT_TRUE(Cancela_Cupom_Imp(cancelBlock(), kCancelaHighest, vo));
    EXPECT_EQ(sim::status().coo, 2);
    EXPECT_EQ(sim::status().cancellations, 1);
    EXPECT_NEAR(sim::status().grandTotal, 0.01, 1e-9) << "the grand total never decreases";
    EXPECT_TRUE(journal().contains("COO do cupom cancelado:"));
    EXPECT_FALSE(Cancela_Cupom_Imp(cancelBlock(), kCancelaHighest, vo)) << "a receipt is cancelled once";
}

TEST_F(SimPrinterTest, OpeningOverALeftOpenReceiptCancelsIt)
{
    ParamRecord r = opening();
    ASSERT_TRUE(AbreCupom(r));
    sim::setOutputDir(dir.path());  // the open receipt survives a restart
    EXPECT_TRUE(sim::status().receiptOpen);
    ParamRecord again = opening();
    ASSERT_TRUE(AbreCupom(again));
    EXPECT_EQ(again.value("CUPNR").toString(), "000002");
    EXPECT_EQ(sim::status().cancellations, 1);
}

TEST_F(SimPrinterTest, InjectedFaultsRefuseTheNthCall)
{
    sim::failNext("VendaItem", 2);
    ParamRecord r = opening();
    ASSERT_TRUE(AbreCupom(r));
    ParamRecord a = item("1", "A", 1.0), b = item("2", "B", 2.0), c = item("3", "C", 3.0);
    EXPECT_TRUE(VendaItem(a));
    EXPECT_FALSE(VendaItem(b));
    EXPECT_EQ(sim::lastError(), "Comando recusado pela impressora fiscal.");
    EXPECT_TRUE(VendaItem(c));
    EXPECT_EQ(sim::status().openItems, 2);

    sim::failNext("FechaCupom");
    QVariant vo = newRetorno();
    EXPECT_FALSE(FechaCupom(closingBlock(3.99), kFechaHighest, 0, vo));
    EXPECT_EQ(vo.toList().value(Resposta::Codigo).toInt(), 99);
    EXPECT_TRUE(sim::status().receiptOpen) << "a refused closing leaves the receipt open";

    sim::failNext("DataMoviFiscal");
    EXPECT_THROW(DataMoviFiscal("002"), platform::HostError);
    EXPECT_EQ(DataMoviFiscal("002"), QDateTime(QDate(2026, 12, 7), QTime(0, 0)));
    EXPECT_THROW(sim::failNext("Imprime"), platform::HostError);
}

TEST_F(SimPrinterTest, MovementDateIsTheDayOfTheFirstReceipt)
{
    ParamRecord r = opening();
    ASSERT_TRUE(AbreCupom(r));
    sim::setClock([] { return kNow.addDays(1).addSecs(-37800); });  // just after midnight
    EXPECT_EQ(DataMoviFiscal("002").date(), QDate(2026, 12, 7));
    ParamRecord next = opening();
    ASSERT_TRUE(AbreCupom(next));
    EXPECT_EQ(DataMoviFiscal("002").date(), QDate(2026, 12, 8));
}

TEST_F(SimPrinterTest, TotalsUpdateRecordsTheRegister)
{
    ParamRecord t = Params_Atu_TotGeral_Kdx00000("0001", "003", "ECF123", "002", "N", false, "", "", "", "", 0, 0);
    EXPECT_TRUE(Atu_TotGeral(t));
    QFile f(sim::statePath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("0001/003"));
    ParamRecord noRegister = Params_Atu_TotGeral_Kdx00000("", "", "", "002", "N", false, "", "", "", "", 0, 0);
    EXPECT_FALSE(Atu_TotGeral(noRegister));
}

TEST_F(SimPrinterTest, DamagedStateFileIsReportedNotReset)
{
    QFile f(QDir(dir.path()).filePath("printer-state.json"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\"coo\": \"many\"}");
    f.close();
    try {
        sim::setOutputDir(dir.path());
        FAIL() << "no error";
    } catch (const platform::HostError& e) {
        EXPECT_TRUE(e.text().contains("printer-state.json")) << e.text().toStdString();
    }
    f.remove();
}

TEST_F(SimPrinterTest, BuildersAreObservedLikeTheCommands)
{
    QStringList ops;
    library().setObserver([&](const hostapi::CallRecord& r) { ops.append(r.op); });
    ParamRecord r = opening();
    AbreCupom(r);
    library().setObserver({});
    EXPECT_EQ(ops, (QStringList{"Params_AbreCupom_Kdx00000", "AbreCupom"}));
}

}  // namespace

namespace {

// After a crash the host leaves the printer with no open receipt and no valid receipt of
// a sale that was not concluded; the receipt of a concluded sale stays valid.
TEST_F(SimPrinterTest, RecoveryCancelsWhatNoConcludedSaleBooked)
{
    struct Case {
        const char* what;
        bool close;      // the receipt was closed before the crash
        bool hasSale;    // a concluded sale booked it
        int cancellations;
        bool stillValid;
    };
    const Case cases[] = {
        {"left open", false, false, 1, false},
        {"closed, no sale", true, false, 1, false},
        {"closed, sale concluded", true, true, 0, true},
    };
    for (const Case& c : cases) {
        QTemporaryDir own;
        sim::setOutputDir(own.path());
        QVariant vo;
        if (c.close) {
            ASSERT_TRUE(printReceipt({10.0}, vo)) << c.what;
        } else {
            ParamRecord r = opening();
            ASSERT_TRUE(AbreCupom(r)) << c.what;
        }
        sim::setOutputDir(own.path());  // the state as a restarted host loads it
        QStringList asked;
        // The printer names the receipt by its serial, number and counter; no clock.
        const QStringList done = sim::recover([&](const QString& serial, const QString& receipt, const QString& counter) {
            asked << serial + QLatin1Char('/') + receipt + QLatin1Char('/') + counter;
            return c.hasSale;
        });
        EXPECT_EQ(done.size(), c.cancellations) << c.what;
        EXPECT_EQ(asked, c.close ? QStringList{QStringLiteral("ECFSIM000001/000001/000001")} : QStringList()) << c.what;
        EXPECT_FALSE(sim::status().receiptOpen) << c.what;
        EXPECT_EQ(sim::status().cancellations, c.cancellations) << c.what;
        // What is still valid can still be cancelled; a second recovery changes nothing.
        EXPECT_TRUE(sim::recover([&](const QString&, const QString&, const QString&) { return true; }).isEmpty());
        vo = newRetorno();
        EXPECT_EQ(Cancela_Cupom_Imp(cancelBlock(), kCancelaHighest, vo), c.stillValid) << c.what;
    }
}

}  // namespace
