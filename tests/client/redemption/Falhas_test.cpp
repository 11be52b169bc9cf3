// One fault at a time at every host call of the confirmation, on each terminal profile:
// the screen stays open, the indicator is removed, the selection emptied, the balances
// reloaded, and the database agrees with the outcome table: the redemption's sale stays
// active only where nothing failed that matters, or where the table undoes nothing.

#include "RedemptionFixture.h"

#include "hostapi/fiscaldev.h"
#include "hostapi/possvc.h"

#include <QSet>

namespace redemption {
namespace {

struct Falha {
    Perfil perfil;
    const char* lib;
    const char* op;
    bool vendaAtiva;  // the redemption's sale is active afterwards
};

std::ostream& operator<<(std::ostream& os, const Falha& f)
{
    return os << nomePerfil(f.perfil) << "/" << f.op;
}

// Every procedure variable a successful confirmation calls, per profile, with what the
// database holds when that call fails.
const Falha kFalhas[] = {
    // Fiscal printer: a refusal before the sale cancels the receipt, nothing is sold; the
    // totals update and the indicator's removal do not stop the sale.
    {Perfil::Fiscal, "possvc", "AtivaProcesso", false},
    {Perfil::Fiscal, "fiscaldev", "AbreCupom", false},
    {Perfil::Fiscal, "fiscaldev", "DataMoviFiscal", false},
    {Perfil::Fiscal, "possvc", "getProdCodCestNcm", false},
    {Perfil::Fiscal, "fiscaldev", "VendaItem", false},
    {Perfil::Fiscal, "fiscaldev", "FechaCupom", false},
    {Perfil::Fiscal, "fiscaldev", "Atu_TotGeral", true},
    {Perfil::Fiscal, "possvc", "SetConcluiFechamento", false},
    {Perfil::Fiscal, "possvc", "DesativaProcesso", true},
    // NFC-e.
    {Perfil::Nfce, "possvc", "AtivaProcesso", false},
    {Perfil::Nfce, "possvc", "getNumeroSerieNFCe", false},
    {Perfil::Nfce, "possvc", "getDataEmissNFCe", false},
    {Perfil::Nfce, "possvc", "SetConcluiFechamento", false},
    {Perfil::Nfce, "possvc", "DisparaImpressaoNaoFiscal", true},
    {Perfil::Nfce, "possvc", "DesativaProcesso", true},
    // SAT: a device refusal after the close-out cancels the concluded sale.
    {Perfil::Sat, "possvc", "AtivaProcesso", false},
    {Perfil::Sat, "possvc", "SetConcluiFechamento", false},
    {Perfil::Sat, "possvc", "SATOnline", false},
    {Perfil::Sat, "possvc", "AtualizaVendaSat", true},
    {Perfil::Sat, "possvc", "DisparaImpressaoNaoFiscal", true},
    {Perfil::Sat, "possvc", "DesativaProcesso", true},
    // NFC-e on a terminal with a fiscal printer.
    {Perfil::NfceComImpressora, "possvc", "AtivaProcesso", false},
    {Perfil::NfceComImpressora, "fiscaldev", "AbreCupom", false},
    {Perfil::NfceComImpressora, "fiscaldev", "DataMoviFiscal", false},
    {Perfil::NfceComImpressora, "possvc", "getProdCodCestNcm", false},
    {Perfil::NfceComImpressora, "fiscaldev", "VendaItem", false},
    {Perfil::NfceComImpressora, "fiscaldev", "FechaCupom", false},
    {Perfil::NfceComImpressora, "fiscaldev", "Atu_TotGeral", true},
    {Perfil::NfceComImpressora, "possvc", "getNumeroSerieNFCe", false},
    {Perfil::NfceComImpressora, "possvc", "getDataEmissNFCe", false},
    {Perfil::NfceComImpressora, "possvc", "SetConcluiFechamento", false},
    {Perfil::NfceComImpressora, "possvc", "DisparaImpressaoNaoFiscal", true},
    {Perfil::NfceComImpressora, "possvc", "DesativaProcesso", true},
};

class FalhaUnica : public RedemptionFixture, public ::testing::WithParamInterface<Falha> {};

TEST_P(FalhaUnica, TelaContinuaUtilizavelEBancoConfereComATabela)
{
    const Falha f = GetParam();
    perfil(f.perfil);
    abreC1();
    campanha(QStringLiteral("CP1"));
    escolhe({QStringLiteral("P1")});
    ASSERT_EQ(brindes(), 1);
    hostapi::ProcLib& lib = QLatin1String(f.lib) == QLatin1String("fiscaldev") ? fiscaldev::library() : possvc::library();
    lib.failNext(QString::fromLatin1(f.op));
    esqueceChamadas();

    confirma();

    EXPECT_EQ(lib.pendingFaults(QString::fromLatin1(f.op)), 0) << "the faulty call was never made";
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(indicador);
    EXPECT_EQ(brindes(), 0);
    EXPECT_FALSE(form->blbConfirma->isEnabled());
    EXPECT_EQ(vendasAtivas(), f.vendaAtiva ? 1 : 0);
    const double esperado = f.vendaAtiva ? 70.0 : 100.0;
    EXPECT_DOUBLE_EQ(saldoBanco(QStringLiteral("CP1"), "VRRESTANTE"), esperado);
    EXPECT_DOUBLE_EQ(saldo(QStringLiteral("CP1"), "VRRESTANTE"), esperado);
    EXPECT_DOUBLE_EQ(saldo(QStringLiteral("CP2"), "VRPTOVOUCHER"), 80.0);

    // The screen takes the next redemption.
    fiscaldev::library().clearFaults();
    possvc::library().clearFaults();
    campanha(QStringLiteral("CP1"));
    escolhe({QStringLiteral("P1")});
    confirma();
    EXPECT_EQ(vendasAtivas(), f.vendaAtiva ? 2 : 1);
    EXPECT_DOUBLE_EQ(saldo(QStringLiteral("CP1"), "VRRESTANTE"), esperado - 30.0);
}

INSTANTIATE_TEST_SUITE_P(Chamadas, FalhaUnica, ::testing::ValuesIn(kFalhas),
                         [](const ::testing::TestParamInfo<Falha>& info) {
                             return std::string(nomePerfil(info.param.perfil)) + "_" + info.param.op;
                         });

// The table above covers every procedure variable a successful confirmation calls.
class Cobertura : public RedemptionFixture, public ::testing::WithParamInterface<Perfil> {};

TEST_P(Cobertura, TodaChamadaDaConfirmacaoTemSuaFalha)
{
    perfil(GetParam());
    abreC1();
    campanha(QStringLiteral("CP1"));
    escolhe({QStringLiteral("P1")});
    esqueceChamadas();
    confirma();
    ASSERT_EQ(vendasAtivas(), 1);
    QSet<QString> chamadasFeitas;
    for (const Chamada& c : chamadas) {
        if (c.lib == QLatin1String("hostkit"))
            continue;
        hostapi::ProcLib& lib = c.lib == QLatin1String("fiscaldev") ? fiscaldev::library() : possvc::library();
        if (lib.find(c.op))  // a procedure variable, not a parameter builder
            chamadasFeitas << c.op;
    }
    QSet<QString> cobertas;
    for (const Falha& f : kFalhas)
        if (f.perfil == GetParam())
            cobertas << QString::fromLatin1(f.op);
    EXPECT_EQ(chamadasFeitas, cobertas);
}

INSTANTIATE_TEST_SUITE_P(Perfis, Cobertura,
                         ::testing::Values(Perfil::Fiscal, Perfil::Nfce, Perfil::Sat, Perfil::NfceComImpressora),
                         [](const ::testing::TestParamInfo<Perfil>& info) { return std::string(nomePerfil(info.param)); });

}  // namespace
}  // namespace redemption
