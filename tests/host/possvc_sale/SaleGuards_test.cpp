// The guards the database holds whatever host runs: a CF-e is written only onto a sale
// that stands, a sale whose CF-e was registered is never cancelled, a second cancelled-sale
// entry for one receipt cancels nothing, a cancelled sale's receipt counts as having no
// sale, and a pending sale that cannot be settled is named, not passed over. On SQLite and
// (when configured) PostgreSQL.

#include "SaleTestDb.h"

#include "host/possvc/devices/SatCfe.h"
#include "host/possvc/sale/PendingSales.h"
#include "host/possvc/sale/SaleServices.h"
#include "hostapi/possvc.h"

#include "platform/Error.h"
#include "platform/db/ServiceResult.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>

#include <gtest/gtest.h>

using namespace saletest;

namespace {

const Gift kGift{QStringLiteral("PTS"), QStringLiteral("P1"), 40, QStringLiteral("N"), 10.0};

class SaleGuards : public SaleServicesTest {
protected:
    QString conclude(Redemption& r, const QString& docType)
    {
        QVariant vo = QVariantList(10);
        return possvc::SetConcluiFechamento(r.dataSets(), kDataSetsHighest, closeOutBlock(docType), kConcluiHighest, vo)
            .toString();
    }
    // The SAT device issues the sale's CF-e; its answer.
    QStringList issue(const QString& seq)
    {
        QStringList answer;
        EXPECT_TRUE(possvc::SATOnline(QStringLiteral("0001"), QStringLiteral("003"), seq, QStringLiteral("S"), QString(),
                                      QString(), QStringLiteral("0"), QStringLiteral("0"), answer));
        return answer;
    }
    QVariant registerCfe(const QString& seq, const QStringList& answer)
    {
        using namespace possvc::sat;
        const QString chave = answerValue(answer, QStringLiteral("chaveConsulta"));
        QStringList out = answer;
        return possvc::AtualizaVendaSat(QStringLiteral("0001"), QStringLiteral("003"), seq,
                                        cfeNumber(answerValue(answer, QStringLiteral("arqxmlnfce")), chave), qrText(answer), out);
    }
    QString column(const QString& name, const QString& seq)
    {
        return db->scalar(QStringLiteral("SELECT %1 FROM VENDA WHERE NRSEQVENDA = :P1").arg(name), {seq}).toString().trimmed();
    }
};

// Another host's recovery cancelled the sale while this one waited for its device: the
// CF-e the device then issued is not written onto the cancelled sale.
TEST_P(SaleGuards, ACfeIsWrittenOnlyOntoASaleThatStands)
{
    Redemption r({kGift});
    const QString seq = conclude(r, QStringLiteral("S"));
    const QStringList answer = issue(seq);
    db->exec(QStringLiteral("UPDATE VENDA SET IDSITUVENDA = 'C' WHERE NRSEQVENDA = :P1"), {seq});

    const QVariant stored = registerCfe(seq, answer);
    EXPECT_TRUE(platform::db::isErrorResult(stored)) << qPrintable(stored.toString());
    EXPECT_TRUE(stored.toString().contains(QStringLiteral("não está concluída"))) << qPrintable(stored.toString());
    EXPECT_EQ(column(QStringLiteral("NRCFE"), seq), QString());
    EXPECT_EQ(situation(seq), QStringLiteral("C"));
}

// A sale whose CF-e is registered stands, whatever asks for its cancellation: here a
// device memory that is not the one that issued it (another host's folder).
TEST_P(SaleGuards, ASaleWhoseCfeIsRegisteredIsNeverCancelled)
{
    Redemption r({kGift});
    const QString seq = conclude(r, QStringLiteral("S"));
    const QVariant stored = registerCfe(seq, issue(seq));
    ASSERT_FALSE(platform::db::isErrorResult(stored)) << qPrintable(stored.toString());
    const QString number = column(QStringLiteral("NRCFE"), seq);
    ASSERT_FALSE(number.isEmpty());
    QTemporaryDir otherDevice;
    possvc::sim::setSatDirectory(otherDevice.path());

    QVariant vo = QVariantList(10);
    QString answer;
    possvc::AlteraVendaCan(alterBlock(seq), kAlteraCanHighest, vo, answer);
    EXPECT_TRUE(platform::db::isErrorResult(answer)) << qPrintable(answer);
    EXPECT_TRUE(answer.contains(number)) << qPrintable(answer);
    EXPECT_EQ(vo.toList().value(Cancelada::DocumentoMantido).toString(), number);
    EXPECT_EQ(situation(seq), QStringLiteral("O"));
    EXPECT_EQ(points(), 60);
    EXPECT_EQ(db->count(QStringLiteral("VENDACANCELADA")), 0);
}

// The cancelled-sale log cancels a sale only while it stands: a second entry for the same
// receipt, or one for a sale cancelled otherwise in between, is logged without a sale.
TEST_P(SaleGuards, ACancelledSaleIsNotCancelledAgain)
{
    const QList<std::pair<const char*, std::function<void(const QString&, Redemption&)>>> before = {
        {"by a first entry of its receipt", [](const QString&, Redemption& r) {
             QVariant vo = QVariantList(10);
             QString answer;
             possvc::IncluiVendaCan(SaleServicesTest::includeBlock(r.venda), kVendaCanHighest, vo, answer);
         }},
        {"by another host", [this](const QString& seq, Redemption&) {
             db->exec(QStringLiteral("UPDATE VENDA SET IDSITUVENDA = 'C' WHERE NRSEQVENDA = :P1"), {seq});
         }},
    };
    for (const auto& [how, cancel] : before) {
        SCOPED_TRACE(how);
        Redemption r({kGift});
        const QString seq = conclude(r, QStringLiteral("E"));
        cancel(seq, r);
        ASSERT_EQ(situation(seq), QStringLiteral("C"));
        const int logged = db->count(QStringLiteral("VENDACANCELADA"));
        const int named = db->count(QStringLiteral("VENDACANCELADA"), QStringLiteral("NRSEQVENDA = :P1"), {seq});
        const QString cancelledAt = column(QStringLiteral("DTHRCANCVEN"), seq);

        QVariant vo = QVariantList(10);
        QString answer = QStringLiteral("unchanged");
        possvc::IncluiVendaCan(includeBlock(r.venda), kVendaCanHighest, vo, answer);
        EXPECT_EQ(answer, QString());
        EXPECT_EQ(vo.toList().value(Cancelada::Venda).toString(), QString());
        EXPECT_EQ(db->count(QStringLiteral("VENDACANCELADA")), logged + 1) << "the entry is logged";
        EXPECT_EQ(db->count(QStringLiteral("VENDACANCELADA"), QStringLiteral("NRSEQVENDA = :P1"), {seq}), named)
            << "the new entry names no sale";
        EXPECT_EQ(column(QStringLiteral("DTHRCANCVEN"), seq), cancelledAt);
    }
}

// Printer recovery: the receipt of a sale that was cancelled belongs to no sale, so the
// printer's valid receipt of it is cancelled too.
TEST_P(SaleGuards, ACancelledSalesReceiptHasNoSale)
{
    Redemption r({kGift});
    const QString seq = conclude(r, QStringLiteral("E"));
    const QString receipt = column(QStringLiteral("NRCUPOMFIS"), seq), counter = column(QStringLiteral("NRCONTCUPOMFISC"), seq);
    const QString serial = column(QStringLiteral("NRSERIEIMP"), seq);
    ASSERT_FALSE(receipt.isEmpty());
    EXPECT_TRUE(possvc::sim::receiptHasSale(serial, receipt, counter));
    db->exec(QStringLiteral("UPDATE VENDA SET IDSITUVENDA = 'C' WHERE NRSEQVENDA = :P1"), {seq});
    EXPECT_FALSE(possvc::sim::receiptHasSale(serial, receipt, counter));
}

// A pending SAT sale whose device memory cannot be read is not passed over: recovery
// names it and leaves it pending, as it was.
TEST_P(SaleGuards, APendingSaleThatCannotBeSettledIsNamed)
{
    Redemption r({kGift});
    const QString seq = conclude(r, QStringLiteral("S"));
    const QString path = possvc::sim::satMemoryPath();
    ASSERT_TRUE(path.startsWith(satDir.path())) << qPrintable(path);
    QDir().mkpath(QFileInfo(path).path());
    QFile memory(path);
    ASSERT_TRUE(memory.open(QIODevice::WriteOnly));
    memory.write("{ not what a device keeps");
    memory.close();
    try {
        possvc::sim::prepareScreen();
        ADD_FAILURE() << "recovery passed over the pending sale";
    } catch (const possvc::UnsettledSale& e) {
        EXPECT_TRUE(e.sale().contains(QStringLiteral("venda %1 ").arg(seq))) << qPrintable(e.sale());
        EXPECT_TRUE(e.reason().contains(QStringLiteral("memória"))) << qPrintable(e.reason());
    }
    EXPECT_EQ(situation(seq), QStringLiteral("O"));
    EXPECT_EQ(db->count(QStringLiteral("VENDAPENDENTE"), QStringLiteral("NRSEQVENDA = :P1"), {seq}), 1);
    EXPECT_EQ(points(), 60);
}

INSTANTIATE_TEST_SUITE_P(Backends, SaleGuards, ::testing::Values(QStringLiteral("sqlite"), QStringLiteral("postgresql")),
                         [](const auto& info) { return info.param.toStdString(); });

}  // namespace
