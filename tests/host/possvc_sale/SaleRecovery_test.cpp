// A failed redemption is undone or stands, never both: the cancelled-sale log cancels only
// the very sale of its receipt, the close-out refuses a sale a fiscal record cannot take,
// pending redemptions are resolved by what the SAT device issued, and counters survive
// their races. On SQLite and (when configured) PostgreSQL.

#include "SaleTestDb.h"

#include "host/possvc/sale/Extensions.h"
#include "host/possvc/sale/SaleServices.h"
#include "host/possvc/devices/SatCfe.h"
#include "host/possvc/screen/ScreenOps.h"
#include "hostapi/hostkit.h"
#include "hostapi/possvc.h"

#include "platform/Error.h"
#include "platform/db/Connection.h"
#include "platform/db/ServiceResult.h"
#include "platform/system/RuntimeEntry.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <utility>

using namespace saletest;

namespace {

const Gift kGift{QStringLiteral("PTS"), QStringLiteral("P1"), 40, QStringLiteral("N"), 10.0};

class Recovery : public SaleServicesTest {
public:
    QString conclude(Redemption& r, const QString& docType = QStringLiteral("E"), QVariantList block = {})
    {
        if (block.isEmpty())
            block = closeOutBlock(docType, QStringLiteral("000123"), docType == QLatin1String("N") ? QStringLiteral("7") : QString(),
                                  docType == QLatin1String("N") ? QStringLiteral("1") : QString());
        QVariant vo = QVariantList(10);
        return possvc::SetConcluiFechamento(r.dataSets(), kDataSetsHighest, block, kConcluiHighest, vo).toString();
    }
    QString include(const QVariantList& block)
    {
        QVariant vo = QVariantList(10);
        QString answer;
        possvc::IncluiVendaCan(block, kVendaCanHighest, vo, answer);
        return vo.toList().value(Cancelada::Venda).toString();
    }
    QString alter(const QString& seq)
    {
        QVariant vo = QVariantList(10);
        QString answer;
        possvc::AlteraVendaCan(alterBlock(seq), kAlteraCanHighest, vo, answer);
        return answer;
    }
    QStringList satOnline(const QString& seq)
    {
        QStringList answer;
        EXPECT_TRUE(possvc::SATOnline(QStringLiteral("0001"), QStringLiteral("003"), seq, QStringLiteral("S"), QString(),
                                      QString(), QStringLiteral("0"), QStringLiteral("0"), answer));
        return answer;
    }
    // The close-out commits, then its answer is lost (a connection lost at that moment):
    // the sale's number, as the database holds it.
    QString concludeLosingTheAnswer(Redemption& r, const QString& docType)
    {
        bool armed = true;
        possvc::sim::config().afterCloseOutCommit = [&armed] {
            if (std::exchange(armed, false))
                throw platform::DatabaseError(QStringLiteral("answer lost"));
        };
        EXPECT_THROW(conclude(r, docType), platform::DatabaseError);
        possvc::sim::config().afterCloseOutCommit = {};
        return db->scalar(QStringLiteral("SELECT MAX(NRSEQVENDA) FROM VENDA"), {}).toString().trimmed();
    }
    int pending() { return db->count(QStringLiteral("VENDAPENDENTE")); }
    void withoutProtocol(const QString& seq)
    {
        db->exec(QStringLiteral("UPDATE VENDA SET NRPROTAUTNFCE = NULL WHERE NRSEQVENDA = :P1"), {seq});
    }
};

// A replaced printer restarts its numbers and two terminals may share a register code:
// the log entry of a failed receipt must not cancel an earlier sale with the same numbers,
// nor a sale of this screen that differs in any one of what identifies the receipt.
TEST_P(Recovery, CancelledSaleLogCancelsOnlyTheVerySaleOfItsReceipt)
{
    Redemption earlier({kGift});
    const QString earlierSeq = conclude(earlier);
    possvc::sim::prepareScreen();  // another screen: the earlier sale is not of this one
    EXPECT_EQ(include(includeBlock(earlier.venda)), QString());
    Redemption current({kGift});
    const QString seq = conclude(current);
    ASSERT_EQ(points(), 20);

    const QList<std::pair<const char*, std::function<void(QVariantList&, Redemption&)>>> differing = {
        {"printer serial", [](QVariantList& b, Redemption&) { b[VendaCan::NrSerieImp] = QStringLiteral("SERIE-ECF-2"); }},
        {"business date", [](QVariantList& b, Redemption&) { b[VendaCan::DtMovimento] = QDateTime(QDate::currentDate().addDays(-1), QTime()); }},
        {"register", [](QVariantList& b, Redemption&) { b[VendaCan::CdCaixa] = QStringLiteral("004"); }},
        {"consumer", [](QVariantList&, Redemption& r) { Redemption::setAll(r.venda, QStringLiteral("CDCONSUMIDOR"), QStringLiteral("CONS2")); }},
        {"counter", [](QVariantList&, Redemption& r) { Redemption::setAll(r.venda, QStringLiteral("NRCONTCUPOMFISC"), QStringLiteral("000046")); }},
        {"items", [](QVariantList&, Redemption& r) { Redemption::setAll(r.venda, QStringLiteral("CDPRODUTO"), QStringLiteral("P9")); }},
    };
    for (const auto& [what, change] : differing) {
        Redemption rows({kGift});
        QVariantList block = includeBlock(rows.venda);
        change(block, rows);
        block[VendaCan::Venda] = rows.venda.data();
        EXPECT_EQ(include(block), QString()) << what;
        EXPECT_EQ(situation(seq), QStringLiteral("O")) << what;
    }
    EXPECT_EQ(include(includeBlock(current.venda)), seq);
    EXPECT_EQ(situation(seq), QStringLiteral("C"));
    EXPECT_EQ(situation(earlierSeq), QStringLiteral("O"));
    EXPECT_EQ(points(), 60);
    EXPECT_EQ(db->count(QStringLiteral("VENDACANCELADA")), 8);  // every attempt is logged
}

// The close-out refuses, naming the reason, what a fiscal record cannot take; nothing is
// written and no code is ever cut.
TEST_P(Recovery, CloseOutRefusesASaleAFiscalRecordCannotTake)
{
    const QList<std::tuple<const char*, std::function<void(QVariantList&, Redemption&)>, const char*>> cases = {
        {"no business date", [](QVariantList& b, Redemption&) { b[Conclui::DtMovimento] = QVariant(); }, "data do movimento"},
        {"zero business date", [](QVariantList& b, Redemption&) { b[Conclui::DtMovimento] = QDateTime(QDate(1899, 12, 30), QTime()); }, "data do movimento"},
        {"no opening date", [](QVariantList& b, Redemption&) { b[Conclui::DtAberCaix] = QVariant(); }, "abertura do caixa"},
        {"register too long", [](QVariantList& b, Redemption&) { b[Conclui::CdCaixa] = QStringLiteral("1234"); }, "código do caixa '1234'"},
        // A code the host's code page cannot hold would be stored as another one.
        {"register outside Windows-1252", [](QVariantList& b, Redemption&) { b[Conclui::CdCaixa] = QStringLiteral("0\u03A91"); }, "código do caixa '0\u03A91'"},
        {"branch outside Windows-1252", [](QVariantList& b, Redemption&) { b[Conclui::CdFilial] = QStringLiteral("000\u03A9"); }, "código da filial"},
        {"shop outside Windows-1252", [](QVariantList& b, Redemption&) { b[Conclui::CdLoja] = QStringLiteral("L\u0101"); }, "código da loja"},
        {"operator outside Windows-1252", [](QVariantList&, Redemption& r) { Redemption::setAll(r.venda, QStringLiteral("CDOPERADOR"), QStringLiteral("\u5C71\u7530")); }, "código do operador"},
        {"no operator", [](QVariantList&, Redemption& r) { Redemption::setAll(r.venda, QStringLiteral("CDOPERADOR"), QString()); }, "operador"},
        {"no receipt kind", [](QVariantList&, Redemption& r) { Redemption::setAll(r.movCaixa, QStringLiteral("CDTIPORECE"), QString()); }, "tipo de recebimento"},
        // Rejected by the database in the middle of the transaction (two items under one
        // number): nothing of the sale stays.
        {"rejected insert", [](QVariantList&, Redemption& r) { Redemption::setAll(r.venda, QStringLiteral("NRSEQ"), QStringLiteral("001")); }, ""},
    };
    for (const auto& [what, change, reason] : cases) {
        Gift second = kGift;
        second.points = 10;
        Redemption r({kGift, second});
        QVariantList block = closeOutBlock(QStringLiteral("E"));
        change(block, r);
        try {
            conclude(r, QStringLiteral("E"), block);
            ADD_FAILURE() << what << ": accepted";
        } catch (const platform::Error& e) {
            EXPECT_TRUE(e.text().contains(QString::fromUtf8(reason))) << what << ": " << e.what();
            EXPECT_EQ(*reason != 0, dynamic_cast<const platform::HostError*>(&e) != nullptr) << what;
        }
    }
    for (const char* table : {"VENDA", "ITVENDA", "ITFIDELIDADE", "MOVCAIXA"})
        EXPECT_EQ(db->count(QString::fromLatin1(table)), 0) << table;
    EXPECT_EQ(points(), 100);
    // The same connection takes the next sale.
    Redemption ok({kGift});
    EXPECT_EQ(conclude(ok), QStringLiteral("1"));
    // The log never books an entry under a cut register code either.
    QVariantList block = includeBlock(ok.venda);
    block[VendaCan::CdCaixa] = QStringLiteral("1234");
    EXPECT_THROW(include(block), platform::HostError);
    EXPECT_EQ(db->count(QStringLiteral("VENDACANCELADA")), 0);
}

// A redemption whose document is still to come is pending until the document is
// registered; what a crash left pending is resolved by what the SAT device issued.
// The settling of pending sales as the module reaches it: through the C entry it looks up
// by name, which the host fills while it offers the operation.
QString resolveThroughTheEntry(QVariant& vo)
{
    void* entry = platform::findRuntimeEntry(hostapi::ext::kResolveVendasPendentes);
    const auto resolve = entry ? *static_cast<hostapi::ext::ResolveVendasPendentes*>(entry) : nullptr;
    if (!resolve) {
        ADD_FAILURE() << "the host does not offer " << hostapi::ext::kResolveVendasPendentes;
        return QStringLiteral("not offered");
    }
    QString answer;
    resolve(vo, answer);
    return answer;
}

TEST_P(Recovery, TheSettlingIsOfferedByNameAndWithdrawnForAHostOfTheContract)
{
    void* entry = platform::findRuntimeEntry(hostapi::ext::kResolveVendasPendentes);
    ASSERT_NE(entry, nullptr);
    EXPECT_NE(*static_cast<hostapi::ext::ResolveVendasPendentes*>(entry), nullptr);
    possvc::offerExtensions(false);
    EXPECT_EQ(*static_cast<hostapi::ext::ResolveVendasPendentes*>(entry), nullptr);
    possvc::offerExtensions(true);
    // What the operation raises reaches the caller as the answer's text, never as an error.
    possvc::library().failNext(QStringLiteral("ResolveVendasPendentes"), 1, hostapi::Fault::Raise);
    QVariant vo = QVariantList(10);
    EXPECT_FALSE(resolveThroughTheEntry(vo).isEmpty());
}

TEST_P(Recovery, PendingRedemptionsResolveByTheDocument)
{
    struct Case {
        const char* what;
        const char* docType;
        std::function<void(Recovery&, const QString&)> before;  // what happened before the crash
        const char* situation;
        double points;
    };
    const Case cases[] = {
        {"SAT issued, not registered", "S", [](Recovery& t, const QString& seq) { t.satOnline(seq); }, "O", 60},
        {"SAT never sent", "S", [](Recovery&, const QString&) {}, "C", 100},
        {"SAT refused", "S", [](Recovery&, const QString& seq) {
             possvc::sim::failNext(QStringLiteral("SATOnline"));
             QStringList a;
             possvc::SATOnline(QStringLiteral("0001"), QStringLiteral("003"), seq, QString(), QString(), QString(), QString(), QString(), a);
         }, "C", 100},
        {"NFC-e authorised, copy not printed", "N", [](Recovery&, const QString&) {}, "O", 60},
        {"NFC-e not authorised", "N", [](Recovery& t, const QString& seq) { t.withoutProtocol(seq); }, "C", 100},
    };
    for (const Case& c : cases) {
        Redemption r({kGift});
        const QString seq = concludeLosingTheAnswer(r, QString::fromLatin1(c.docType));
        EXPECT_EQ(pending(), 1) << c.what;
        c.before(*this, seq);
        // Another register's pending redemption is not ours to resolve.
        possvc::sim::config().cashRegister = QStringLiteral("004");
        EXPECT_TRUE(possvc::sim::prepareScreen().isEmpty()) << c.what;
        possvc::sim::config().cashRegister = QStringLiteral("003");
        // Resolved at once, as after a lost close-out answer: the answer names the sale and
        // what stands or what was cancelled (by its NFC-e number too, which the screen knows).
        QVariant vo = QVariantList(10);
        EXPECT_EQ(resolveThroughTheEntry(vo), QString()) << c.what;
        const QVariantList answer = vo.toList();
        const bool nfce = QLatin1String(c.docType) == QLatin1String("N");
        EXPECT_EQ(answer.value(Cancelada::Venda).toString(), seq) << c.what;
        if (QLatin1String(c.situation) == QLatin1String("O")) {
            EXPECT_FALSE(answer.value(Cancelada::DocumentoMantido).toString().isEmpty()) << c.what;
            EXPECT_TRUE(answer.value(Cancelada::Registro).toString().isEmpty()) << c.what;
            if (nfce) {
                EXPECT_EQ(answer.value(Cancelada::DocumentoMantido).toString(), QStringLiteral("7")) << c.what;
            }
        } else {
            EXPECT_TRUE(answer.value(Cancelada::DocumentoMantido).toString().isEmpty()) << c.what;
            EXPECT_FALSE(answer.value(Cancelada::Registro).toString().isEmpty()) << c.what;
            EXPECT_EQ(answer.value(Cancelada::NfceCancelada).toString(), nfce ? QStringLiteral("7") : QString()) << c.what;
        }
        EXPECT_TRUE(possvc::sim::prepareScreen().isEmpty()) << c.what << ": resolved twice";
        EXPECT_EQ(pending(), 0) << c.what;
        EXPECT_EQ(situation(seq), QString::fromLatin1(c.situation)) << c.what;
        EXPECT_EQ(points(), c.points) << c.what;
        if (QLatin1String(c.docType) == QLatin1String("S") && QLatin1String(c.situation) == QLatin1String("O")) {
            EXPECT_FALSE(db->scalar(QStringLiteral("SELECT NRCFE FROM VENDA WHERE NRSEQVENDA = :P1"), {seq}).toString().isEmpty());
        }
        if (QLatin1String(c.situation) == QLatin1String("C")) {
            EXPECT_EQ(db->count(QStringLiteral("VENDACANCELADA"), QStringLiteral("NRSEQVENDA = :P1"), {seq}), 1) << c.what;
        }
        if (c.points == 60)  // the next case starts from 100 points again
            db->exec(QStringLiteral("UPDATE VENDA SET IDSITUVENDA = 'C'"));
    }
}

// The settling after a lost answer is of that close-out's sale alone: a sale the terminal
// left pending earlier (its CF-e issued, its registration refused) is neither named nor
// settled, and waits for the next start; a close-out whose answer arrived leaves nothing
// to settle.
TEST_P(Recovery, TheSettlingNamesTheSaleOfTheLostAnswerAlone)
{
    Redemption earlier({kGift});
    const QString earlierSeq = conclude(earlier, QStringLiteral("S"));
    satOnline(earlierSeq);
    QVariant none = QVariantList(10);
    EXPECT_EQ(resolveThroughTheEntry(none), QString());
    EXPECT_EQ(none, QVariant(QVariantList(10))) << "no answer was lost: nothing is named";

    Redemption lost({kGift});
    const QString lostSeq = concludeLosingTheAnswer(lost, QStringLiteral("S"));
    ASSERT_NE(lostSeq, earlierSeq);
    EXPECT_EQ(pending(), 2);
    QVariant vo = QVariantList(10);
    EXPECT_EQ(resolveThroughTheEntry(vo), QString());
    EXPECT_EQ(vo.toList().value(Cancelada::Venda).toString(), lostSeq);
    EXPECT_TRUE(vo.toList().value(Cancelada::DocumentoMantido).toString().isEmpty()) << "the earlier sale's CF-e";
    EXPECT_EQ(situation(lostSeq), QStringLiteral("C"));
    EXPECT_EQ(situation(earlierSeq), QStringLiteral("O"));
    EXPECT_EQ(pending(), 1) << "the earlier sale waits for the next start";
    EXPECT_EQ(possvc::sim::prepareScreen().size(), 1);
    EXPECT_EQ(pending(), 0);
}

// The registration of the CF-e clears the mark; a cancellation asked for after the CF-e
// was issued leaves the sale standing and records its CF-e instead.
TEST_P(Recovery, AnIssuedCfeKeepsItsSale)
{
    Redemption r({kGift});
    const QString seq = conclude(r, QStringLiteral("S"));
    const QStringList answer = satOnline(seq);
    const QString answerText = alter(seq);
    EXPECT_TRUE(platform::db::isErrorResult(answerText));
    EXPECT_TRUE(answerText.contains(QStringLiteral("não foi cancelada"))) << qPrintable(answerText);
    EXPECT_EQ(situation(seq), QStringLiteral("O"));
    EXPECT_EQ(points(), 60);
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT DSCHAVEACESSO FROM VENDA WHERE NRSEQVENDA = :P1"), {seq}).toString(),
              possvc::sat::bareKey(possvc::sat::answerValue(answer, QStringLiteral("chaveConsulta"))));
    EXPECT_EQ(pending(), 0);

    Redemption next({kGift});
    const QString seq2 = conclude(next, QStringLiteral("S"));
    const QStringList answer2 = satOnline(seq2);
    const QString number = possvc::sat::cfeNumber(possvc::sat::answerValue(answer2, QStringLiteral("arqxmlnfce")),
                                                   possvc::sat::answerValue(answer2, QStringLiteral("chaveConsulta")));
    EXPECT_FALSE(platform::db::isErrorResult(possvc::AtualizaVendaSat(QStringLiteral("0001"), QStringLiteral("003"), seq2,
                                                                 number, possvc::sat::qrText(answer2), answer2)));
    EXPECT_EQ(pending(), 0);
}

// Sale numbers compare as numbers: another program's "0000000025" is taken for 25.
TEST_P(Recovery, CountersSkipNumbersWrittenZeroPadded)
{
    db->exec(QStringLiteral("INSERT INTO VENDA (CDFILIAL, CDCAIXA, NRSEQVENDA, IDSITUVENDA) VALUES ('0001', '003', '0000000025', 'O')"));
    db->exec(QStringLiteral("INSERT INTO NOVOCODIGO (CDCONTADOR, NRSEQUENCIAL) VALUES ('NRSEQVENDA_0001_003', '24')"));
    Redemption r({kGift});
    EXPECT_EQ(conclude(r), QStringLiteral("26"));
}

// Two terminals using a counter for the first time at once: the one that loses the
// insert race takes the next number instead of losing its cancelled-sale entry.
TEST_P(Recovery, ACounterFirstUsedByTwoTerminalsAtOnce)
{
    auto other = db->open();
    other->beginTransaction(true);
    other->execute(QStringLiteral("INSERT INTO NOVOCODIGO (CDCONTADOR, NRSEQUENCIAL) VALUES ('NRSEQVENDACAN_0001_003', '5')"));
    Redemption r({kGift}, QString());
    const QVariantList block = includeBlock(r.venda);
    QString error;
    possvc::sim::closeSaleConnection();  // the terminal's thread opens its own
    std::thread terminal([&] {
        try {
            include(block);
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
        }
        possvc::sim::closeSaleConnection();  // the connection belongs to this thread
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    other->commit();
    terminal.join();
    EXPECT_EQ(error, QString());
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT NRSEQVENDACAN FROM VENDACANCELADA")).toString(), QStringLiteral("6"));
}

// A connection lost in the middle of the day: the failing sale leaves nothing, and the
// next one is taken on a new connection.
TEST_P(Recovery, ALostConnectionIsReplacedForTheNextSale)
{
    if (GetParam() != QLatin1String("postgresql"))
        GTEST_SKIP() << "only a server connection can be lost";
    Redemption first({kGift});
    conclude(first);
    db->exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = current_database() "
                            "AND pid <> pg_backend_pid()"));
    Redemption lost({kGift});
    EXPECT_THROW(conclude(lost), platform::Error);
    Redemption next({kGift});
    EXPECT_EQ(conclude(next), QStringLiteral("2"));
    EXPECT_EQ(points(), 100 - 2 * 40);
}

INSTANTIATE_TEST_SUITE_P(Backends, Recovery, ::testing::Values(QStringLiteral("sqlite"), QStringLiteral("postgresql")),
                         [](const auto& info) { return info.param.toStdString(); });

}  // namespace
