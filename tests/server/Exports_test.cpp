// The exported C interface: wide texts in, the result through the out pointer, errors as
// a return code, and the unit-qualified names the module exports them under.

#include "ShopDb.h"
#include "host/hostkit/HostHooks.h"
#include "package/ModuleLibrary.h"

#include "hostapi/hostkit.h"
#include "platform/Error.h"
#include "platform/db/ServiceResult.h"

#include <gtest/gtest.h>

using namespace Srv_Vak04100;

// The same functions under their unit-qualified names, as a host finds them in the module.
struct Qualified {
    testsupport::ModuleLibrary module;
    int (*getSaldoConsCamp)(const char16_t*, const char16_t*, QVariant*) noexcept =
        module.get<int(const char16_t*, const char16_t*, QVariant*) noexcept>("Srv_Vak04100.GetSaldoConsCamp");
    int (*getSenhaCupom)(const char16_t*, double, QVariant*) noexcept =
        module.get<int(const char16_t*, double, QVariant*) noexcept>("Srv_Vak04100.GetSenhaCupom");
    // The module's own data module, connected with the host's connection string.
    int (*criaModuloDados)(QVariant*) noexcept = module.get<int(QVariant*) noexcept>("Srv_Vak04100_CriaModuloDados");
    void (*liberaModuloDados)() noexcept = module.get<void() noexcept>("Srv_Vak04100_LiberaModuloDados");
};

TEST(Exports, WideTextArgumentsReachTheQueriesAndPacketsComeBack)
{
    srvtest::ShopDb* db = srvtest::ShopDb::get(srvtest::Kind::SQLite);
    db->clear();
    db->insert(QStringLiteral("CAMPANHA"), {"CDCAMPANHA", "DSCAMPANHA", "IDUTILVOUCHER"},
               {{QStringLiteral("A"), QStringLiteral("Campanha de Açúcar"), QStringLiteral("N")}});
    db->insert(QStringLiteral("MOVPONTOCONS"), {"CDCLIENTE", "CDCONSUMIDOR", "CDCAMPANHA", "IDTPMOVCONS", "VRSALDOCONS"},
               {{QStringLiteral("CLIÊ"), QStringLiteral("K1"), QStringLiteral("A"), QStringLiteral("C"), 42.0}});
    srvtest::ModuleScope module(db->moduleConnectionString());

    QVariant result;
    EXPECT_EQ(Srv_Vak04100_GetSaldoConsCamp(u"CLIÊ", u"K1", &result), 0);
    srvtest::PacketRows p = srvtest::packetRows(result);
    ASSERT_EQ(p.rows.size(), 1);
    EXPECT_DOUBLE_EQ(p.value(0, "VRSALDOCONS").toDouble(), 42.0);
    EXPECT_EQ(p.value(0, "DSCAMPANHA").toString(), QStringLiteral("Campanha de Açúcar"));

    Qualified qualified;
    ASSERT_TRUE(qualified.getSaldoConsCamp && qualified.criaModuloDados && qualified.liberaModuloDados)
        << qualified.module.error().toStdString();
    QVariant viaQualified;
    ASSERT_EQ(qualified.criaModuloDados(&viaQualified), 0) << viaQualified.toString().toStdString();
    EXPECT_EQ(qualified.getSaldoConsCamp(u"CLIÊ", u"K1", &viaQualified), 0);
    qualified.liberaModuloDados();
    EXPECT_EQ(viaQualified, result);

    // nullptr is the empty text: an empty client finds nothing.
    EXPECT_EQ(Srv_Vak04100_GetSaldoConsCamp(nullptr, u"K1", &result), 0);
    EXPECT_TRUE(srvtest::packetRows(result).rows.isEmpty());
    EXPECT_EQ(Srv_Vak04100_GetConsumidor(nullptr), 0);  // no out pointer: result dropped
}

TEST(Exports, RaisingFunctionsReportThroughTheReturnCode)
{
    hostkit::setStringConexQvn(QStringLiteral("Provider=Nenhum"));
    QVariant result;
    EXPECT_EQ(Srv_Vak04100_GetSenhaCupom(u"0001", toDateTimeValue(srvtest::day(0)), &result), 1);
    EXPECT_FALSE(result.toString().isEmpty());
    Qualified qualified;
    ASSERT_NE(qualified.getSenhaCupom, nullptr) << qualified.module.error().toStdString();
    EXPECT_EQ(qualified.getSenhaCupom(u"0001", 46000.0, &result), 1);
    EXPECT_EQ(Srv_Vak04100_getNumeroNFCe(u"0001", u"1", u"2", &result), 1);
    // The functions that catch return 0 with the error text as their result.
    EXPECT_EQ(Srv_Vak04100_setNumeroNFCe(u"0001", u"001", u"1", u"2", 1, &result), 0);
    EXPECT_TRUE(platform::db::isErrorResult(result));
    hostkit::setStringConexQvn(QString());
}

TEST(Exports, DateTimeValuesCountDaysFrom1899)
{
    EXPECT_DOUBLE_EQ(toDateTimeValue(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0.0);
    EXPECT_DOUBLE_EQ(toDateTimeValue(QDateTime(QDate(1900, 1, 1), QTime(18, 0))), 2.75);
    EXPECT_EQ(fromDateTimeValue(46362.5), QDateTime(QDate(2026, 12, 6), QTime(12, 0)));
    // Before the base date the fraction still counts from midnight forwards.
    EXPECT_EQ(fromDateTimeValue(-1.25), QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
    EXPECT_DOUBLE_EQ(toDateTimeValue(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);
    const QDateTime t(QDate(2026, 12, 7), QTime(10, 30, 15, 250));
    EXPECT_EQ(fromDateTimeValue(toDateTimeValue(t)), t);
}

TEST(Exports, WideTextIsBroughtToTheShopsCodePage)
{
    EXPECT_EQ(textoAnsi(QStringLiteral("Pão € ç")), QStringLiteral("Pão € ç"));
    // A character outside the code page is refused, naming the text, never substituted.
    try {
        textoAnsi(QStringLiteral("雪X"));
        ADD_FAILURE() << "a text outside Windows-1252 was accepted";
    } catch (const platform::Error& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("雪X"))) << e.text().toStdString();
    }
}
