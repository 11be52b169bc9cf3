// Faults at every host call of the confirmation, on each terminal profile and shop
// database, each as a false answer (the call's refusal) and as a raised error; calls whose
// answer is lost after they did their work; and every failure whose undo fails too. On a
// host that settles pending sales (the reference host) and on one that offers the
// published operations alone. Whatever happens, the shop database, the simulated printer
// and what the operator read agree: the redemption is complete (sale concluded, points
// spent, document issued), or it is undone (no active sale, points back, no open or valid
// receipt of it), or the operator is told exactly what stands and what to do; only the
// host that settles pending sales is ever counted on to settle one.

#include "RedemptionFixture.h"

#include "host/fiscaldev/SimPrinter.h"
#include "host/possvc/sale/Extensions.h"
#include "host/possvc/sale/SaleServices.h"
#include "hostapi/fiscaldev.h"
#include "hostapi/possvc.h"
#include "platform/Error.h"

#include <QSet>

#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace redemption {
namespace {

// How a confirmation ends, and what the operator reads last.
enum class Fim {
    Nada,           // nothing started: no message of the confirmation
    Concluido,      // the redemption is complete; no message
    Desfeito,       // undone: "ERRO_IMP_CUP"
    CupomPendente,  // no sale, but the printer kept its receipt: "CUPOM_NAO_CANC"
    VendaPendente,  // the sale could not be cancelled now: "VENDA_NAO_CANC"
    Mantido,        // the document was issued, a later step failed: the sale stands
    Incerto,        // the close-out's answer was lost and the database could not be asked
                    // again: its receipt or NFC-e is left standing, "VENDA_INCERTA"; a
                    // SAT sale stays pending without a CF-e, "VENDA_SAT_INCERTA" (on a
                    // host of the published operations: "VENDA_A_CONFERIR",
                    // "VENDA_SAT_A_CONFERIR")
};

// The host: the reference host, which settles pending sales (now, through its extension,
// and at its next start), or one that offers the published operations alone.
enum class Host { Estendido, Contrato };

// Perdida: the call does its work, then raises, as a lost answer of a device or a
// service would. Recusada, Ocupada: the close-out's database refuses the sale (a
// constraint) or stays busy, and nothing is kept: a failure as certain as a raised error.
enum class Modo { Falso, Erro, Perdida, Recusada, Ocupada };

// A fault at `op`, or, with `desfaz`, a refusal at `op` followed by a fault at the undo
// call `desfaz` (a lost answer at `op` followed by an error there). The mode applies to
// the last fault; what follows for each mode (a lost answer is tried only where
// `perdida` says what follows; a pair with `perdida` is tried only that way).
struct Falha {
    Perfil perfil;
    const char* op;
    const char* desfaz;
    Fim falso, erro;
    std::optional<Fim> perdida = {};
    std::optional<Fim> perdidaNoContrato = {};  // when it differs on a host of the contract alone
    const char* anterior = nullptr;  // refused in an earlier redemption whose sale stands, still pending
};

struct Caso {
    Falha falha;
    Modo modo;
    Banco banco;
    Host host;
    Fim fim() const
    {
        if (modo == Modo::Perdida)
            return host == Host::Contrato && falha.perdidaNoContrato ? *falha.perdidaNoContrato : *falha.perdida;
        return modo == Modo::Falso ? falha.falso : falha.erro;  // Erro, Recusada, Ocupada
    }
};

void PrintTo(const Caso& c, std::ostream* os)
{
    // In the order of the enumerations; a value added there without its name fails here.
    static constexpr const char* kModos[] = {"falso", "erro", "perdida", "recusada", "ocupada"};
    static constexpr const char* kFins[] = {"Nada",          "Concluido", "Desfeito", "CupomPendente",
                                            "VendaPendente", "Mantido",   "Incerto"};
    static_assert(std::size(kModos) == size_t(Modo::Ocupada) + 1);
    static_assert(std::size(kFins) == size_t(Fim::Incerto) + 1);
    *os << nomeBanco(c.banco) << ", " << nomePerfil(c.falha.perfil) << ", "
        << (c.host == Host::Contrato ? "contract-only host, " : "") << c.falha.op;
    if (c.falha.desfaz)
        *os << " undone by " << c.falha.desfaz;
    *os << " " << kModos[int(c.modo)] << ": " << kFins[int(c.fim())];
}

using enum Fim;
using enum Perfil;

// A fault at one step, and what follows from it, alike on each of `perfis`.
struct Passo {
    std::vector<Perfil> perfis;
    const char* op;
    const char* desfaz;
    Fim falso, erro;
    std::optional<Fim> perdida = {};
    std::optional<Fim> perdidaNoContrato = {};
    const char* anterior = nullptr;
};

const std::vector<Perfil> kTodos{Fiscal, Nfce, Sat, NfceComImpressora};
const std::vector<Perfil> kImpressora{Fiscal, NfceComImpressora};
const std::vector<Perfil> kNfce{Nfce, NfceComImpressora};

// Every procedure variable a successful confirmation calls, per profile, then the pairs.
const Passo kPassos[] = {
    {kTodos, "AtivaProcesso", nullptr, Nada, Nada},
    {kImpressora, "AbreCupom", nullptr, Desfeito, Desfeito},
    {kImpressora, "DataMoviFiscal", nullptr, Desfeito, Desfeito},
    {kImpressora, "getProdCodCestNcm", nullptr, Desfeito, Desfeito},
    {kImpressora, "VendaItem", nullptr, Desfeito, Desfeito},
    {kImpressora, "FechaCupom", nullptr, Desfeito, Desfeito},
    {kImpressora, "Atu_TotGeral", nullptr, Concluido, Desfeito},
    {kNfce, "getNumeroSerieNFCe", nullptr, Desfeito, Desfeito},
    {kNfce, "getDataEmissNFCe", nullptr, Desfeito, Desfeito},
    {{Fiscal}, "SetConcluiFechamento", nullptr, Desfeito, Desfeito, Desfeito},
    // A lost close-out answer on an electronic document: the reference host settles the
    // sale at once; without it the cashier is told to look the sale up.
    {{Sat}, "SetConcluiFechamento", nullptr, Desfeito, Desfeito, Desfeito, Incerto},
    {kNfce, "SetConcluiFechamento", nullptr, Desfeito, Desfeito, Mantido, Incerto},
    {{Sat}, "SATOnline", nullptr, Desfeito, Desfeito, Mantido},
    {{Sat}, "AtualizaVendaSat", nullptr, Mantido, Mantido},
    {{Nfce, Sat, NfceComImpressora}, "DisparaImpressaoNaoFiscal", nullptr, Mantido, Mantido},
    {kTodos, "DesativaProcesso", nullptr, Concluido, Concluido},
    // A failure, then its undo failing.
    {kImpressora, "VendaItem", "Cancela_Cupom_Imp", CupomPendente, CupomPendente},
    {kImpressora, "FechaCupom", "Cancela_Cupom_Imp", CupomPendente, CupomPendente},
    {{Fiscal}, "DataMoviFiscal", "Cancela_Cupom_Imp", CupomPendente, CupomPendente},
    {kImpressora, "SetConcluiFechamento", "Cancela_Cupom_Imp", CupomPendente, CupomPendente},
    {{NfceComImpressora}, "getNumeroSerieNFCe", "Cancela_Cupom_Imp", CupomPendente, CupomPendente},
    {{Fiscal}, "AbreCupom", "IncluiVendaCan", Desfeito, Desfeito},
    {{Fiscal}, "SetConcluiFechamento", "IncluiVendaCan", Desfeito, Desfeito},
    {{Sat}, "SATOnline", "AlteraVendaCan", VendaPendente, VendaPendente},
    // A lost close-out answer, then the settling of the sale it kept failing too.
    {{Sat}, "SetConcluiFechamento", "ResolveVendasPendentes", Nada, Nada, Incerto},
    {kNfce, "SetConcluiFechamento", "ResolveVendasPendentes", Nada, Nada, Incerto},
    // A lost close-out answer after an earlier redemption whose document was issued but
    // whose sale the host still holds pending: the settling names this attempt's sale
    // alone, and the screen takes no other attempt's document for its own.
    {{Sat}, "SetConcluiFechamento", nullptr, Desfeito, Desfeito, Desfeito, Incerto, "AtualizaVendaSat"},
    {{Nfce}, "SetConcluiFechamento", nullptr, Desfeito, Desfeito, Mantido, Incerto, "DisparaImpressaoNaoFiscal"},
    // Both flags set: an NFC-e terminal, in what it tells as in what it does.
    {{NfceESat}, "SetConcluiFechamento", "ResolveVendasPendentes", Nada, Nada, Incerto},
    {{NfceESat}, "SetConcluiFechamento", nullptr, Desfeito, Desfeito, Mantido, Incerto},
    {{Fiscal}, "SetConcluiFechamento", "IncluiVendaCan", Nada, Nada, Incerto},
    {{Fiscal}, "SetConcluiFechamento", "Cancela_Cupom_Imp", Nada, Nada, CupomPendente},
};

const std::vector<Falha> kFalhas = [] {
    std::vector<Falha> falhas;
    for (const Passo& p : kPassos)
        for (Perfil perfil : p.perfis)
            falhas.push_back({perfil, p.op, p.desfaz, p.falso, p.erro, p.perdida, p.perdidaNoContrato, p.anterior});
    return falhas;
}();

// An operation beyond the published contract, which only the reference host offers.
bool extensao(const char* op)
{
    return op && QLatin1String(op) == QLatin1String("ResolveVendasPendentes");
}

// Whether mode `m` is tried on `f`: a lost answer where the row says what follows (a pair
// with one only that way), the database's own refusals on a close-out alone.
bool tentado(const Falha& f, Modo m)
{
    switch (m) {
    case Modo::Perdida: return f.perdida.has_value();
    case Modo::Recusada:
    case Modo::Ocupada:
        return QLatin1String(f.op) == QLatin1String("SetConcluiFechamento") && !f.desfaz && !f.anterior;
    default: return !(f.desfaz && f.perdida);
    }
}

std::vector<Caso> casos()
{
    std::vector<Caso> c;
    for (Host h : {Host::Estendido, Host::Contrato})
        for (Banco b : {Banco::SQLite, Banco::PostgreSQL})
            for (const Falha& f : kFalhas)
                for (Modo m : {Modo::Falso, Modo::Erro, Modo::Perdida, Modo::Recusada, Modo::Ocupada})
                    if (tentado(f, m) && !(h == Host::Contrato && (extensao(f.op) || extensao(f.desfaz))))
                        c.push_back({f, m, b, h});
    return c;
}

// What only a message that counts on the host settling a sale later says.
const char* const kPromessasDeAcerto[] = {"pelo sistema", "O sistema acerta", "quando o caixa for reaberto"};

hostapi::ProcLib& biblioteca(const QString& op)
{
    return fiscaldev::library().find(op) ? fiscaldev::library() : possvc::library();
}

// Makes `var` do its work and then raise `Erro`; the returned action puts the call back.
template <typename Erro, typename R, typename... A>
std::function<void()> perdeResposta(hostapi::ProcVar<R(A...)>& var)
{
    auto chamada = var.function();
    var = [chamada](A... a) -> R {
        chamada(a...);
        throw Erro(QStringLiteral("a resposta se perdeu (fault injected by the test)"));
    };
    return [&var, chamada] { var = chamada; };
}

// The host's next close-out commits and then raises as a connection lost at that moment:
// its answer never reaches the screen, and the host itself never learnt it succeeded.
std::function<void()> perdeRespostaDoFechamento()
{
    auto armada = std::make_shared<bool>(true);
    possvc::sim::config().afterCloseOutCommit = [armada] {
        if (std::exchange(*armada, false))
            throw platform::DatabaseError(QStringLiteral("a resposta se perdeu (fault injected by the test)"),
                                          platform::DatabaseError::Kind::ConnectionLost, QStringLiteral("08006"));
    };
    return [] { possvc::sim::config().afterCloseOutCommit = {}; };
}

// The host's next close-out meets its database's refusal or a lock before anything is kept:
// the error of that kind, with the engine's code, reaches the screen.
std::function<void()> bancoRecusaOFechamento(platform::DatabaseError::Kind tipo, const char* codigo)
{
    auto& var = possvc::SetConcluiFechamento;
    auto chamada = var.function();
    var = [tipo, codigo](const QList<platform::ClientDataSet*>&, int, const QVariantList&, int, QVariant&) -> QVariant {
        throw platform::DatabaseError(QStringLiteral("o banco recusou o fechamento (fault injected by the test)"), tipo,
                                      QString::fromLatin1(codigo));
    };
    return [&var, chamada] { var = chamada; };
}

class FalhaNaConfirmacao : public RedemptionFixture, public ::testing::WithParamInterface<Caso> {
protected:
    void planeja(const char* op, Modo modo)
    {
        const QString nome = QString::fromLatin1(op);
        // The device's answer lost on its line; the close-out's lost with the connection,
        // once the host's commit went through.
        if (modo == Modo::Perdida && nome == QLatin1String("SATOnline"))
            restaura = perdeResposta<platform::HostError>(possvc::SATOnline);
        else if (modo == Modo::Perdida)
            restaura = perdeRespostaDoFechamento();
        else if (modo == Modo::Recusada)
            restaura = bancoRecusaOFechamento(platform::DatabaseError::Kind::Refused, "23505");
        else if (modo == Modo::Ocupada)
            restaura = bancoRecusaOFechamento(platform::DatabaseError::Kind::Busy, "40001");
        else
            biblioteca(nome).failNext(nome, 1, modo == Modo::Erro ? hostapi::Fault::Raise : hostapi::Fault::Refuse);
    }
    std::function<void()> restaura = [] {};
    bool impressora() const { return temImpressora(GetParam().falha.perfil); }
    bool estendido() const { return GetParam().host == Host::Estendido; }
    // The message the operator reads last for the outcome, with its values.
    QString esperada(Fim fim) const
    {
        auto msg = [this](const char* chave) { return form->msgPadrao->Msg(QString::fromLatin1(chave)); };
        switch (fim) {
        case Desfeito: return msg("ERRO_IMP_CUP");
        case CupomPendente: return msg("CUPOM_NAO_CANC").arg(form->stCupNr);
        case VendaPendente: return msg(estendido() ? "VENDA_NAO_CANC" : "VENDA_A_CANCELAR").arg(form->stNrSeqVenda);
        case Incerto: {
            if (GetParam().falha.perfil == Sat)
                return msg(estendido() ? "VENDA_SAT_INCERTA" : "VENDA_SAT_A_CONFERIR");
            QStringList documentos;
            if (impressora())
                documentos << QStringLiteral("cupom %1").arg(form->stCupNr);
            if (marcaNfce(GetParam().falha.perfil))
                documentos << QStringLiteral("NFC-e %1").arg(form->stNrNfce);
            return msg(estendido() ? "VENDA_INCERTA" : "VENDA_A_CONFERIR").arg(documentos.join(QStringLiteral(", ")));
        }
        case Mantido:
            return GetParam().falha.perfil == Sat ? msg("CFE_EMITIDO").arg(form->stNrCfe, form->stNrSeqVenda)
                                                  : msg("NFCE_SEM_VIA").arg(form->stNrNfce);
        default: return {};
        }
    }
};

TEST_P(FalhaNaConfirmacao, BancoImpressoraEMensagemConcordam)
{
    const Caso caso = GetParam();
    const Falha& f = caso.falha;
    if (!usaBanco(caso.banco))
        GTEST_SKIP() << "VAK_PG_CONNSTR not set (scripts/services.sh starts PostgreSQL)";
    perfil(f.perfil);
    if (caso.host == Host::Contrato) {
        // The published operations alone: the settling of pending sales is not offered.
        possvc::offerExtensions(false);
        possvc::ResolveVendasPendentes.unassign();
    }
    abreC1();
    campanha(QStringLiteral("CP1"));
    const int anteriores = f.anterior ? 1 : 0;
    if (f.anterior) {
        escolhe({QStringLiteral("P1")});
        planeja(f.anterior, Modo::Falso);
        confirma();
        ASSERT_EQ(vendasAtivas(), 1) << "the earlier redemption stands";
        campanha(QStringLiteral("CP1"));
    }
    const double inicial = 100.0 - 30.0 * anteriores;
    escolhe({QStringLiteral("P1")});
    ASSERT_EQ(brindes(), 1);
    if (f.desfaz) {
        planeja(f.op, caso.modo == Modo::Perdida ? Modo::Perdida : Modo::Falso);
        planeja(f.desfaz, caso.modo == Modo::Perdida ? Modo::Erro : caso.modo);
    } else {
        planeja(f.op, caso.modo);
    }
    esqueceChamadas();
    fakes.messages.clear();
    const fiscaldev::sim::Status antes = fiscaldev::sim::status();
    const int cfesAntes = cfesNaMemoriaDoSat();

    confirma();

    const bool certa = caso.modo == Modo::Recusada || caso.modo == Modo::Ocupada;
    if (certa) {
        EXPECT_TRUE(de(QStringLiteral("ResolveVendasPendentes")).isEmpty()) << "a certain failure was taken as in doubt";
    }
    for (const char* op : {f.op, f.desfaz})
        if (op && !((caso.modo == Modo::Perdida || certa) && op == f.op)) {
            EXPECT_EQ(biblioteca(QString::fromLatin1(op)).pendingFaults(QString::fromLatin1(op)), 0)
                << op << " was never called";
        }
    const Fim fim = caso.fim();
    // Every call keeps its published shape; beyond the contract, only what the host offers.
    const QStringList alemDoContrato = estendido() ? QStringList{QStringLiteral("ResolveVendasPendentes")} : QStringList{};
    EXPECT_EQ(foraDoContrato(alemDoContrato), QStringList()) << "";
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(indicador);
    EXPECT_EQ(brindes(), 0);

    // The database: the sale stands with its points spent, or neither.
    const bool vendaFica = fim == Concluido || fim == Mantido || fim == VendaPendente || fim == Incerto;
    EXPECT_EQ(vendasAtivas(), anteriores + (vendaFica ? 1 : 0));
    const double esperado = vendaFica ? inicial - 30.0 : inicial;
    EXPECT_DOUBLE_EQ(saldoBanco(QStringLiteral("CP1"), "VRRESTANTE"), esperado);
    EXPECT_DOUBLE_EQ(saldo(QStringLiteral("CP1"), "VRRESTANTE"), esperado);
    EXPECT_DOUBLE_EQ(saldo(QStringLiteral("CP2"), "VRPTOVOUCHER"), 80.0);

    // The printer: a receipt of an undone redemption is cancelled; one that stands is not.
    if (impressora()) {
        const fiscaldev::sim::Status depois = fiscaldev::sim::status();
        bool abriu = false;
        for (const Chamada& c : de(QStringLiteral("AbreCupom")))
            abriu = abriu || c.result.toBool();
        const int cancelados = depois.cancellations - antes.cancellations;
        if (fim == CupomPendente) {
            EXPECT_EQ(cancelados, 0);
        } else {
            EXPECT_FALSE(depois.receiptOpen);
            EXPECT_EQ(cancelados, fim == Desfeito && abriu ? 1 : 0);
        }
    }
    // SAT: an undone sale has no CF-e; a sale that stands has one, in the device's memory.
    if (f.perfil == Sat && fim != Nada) {
        bool emitido = false;
        for (const Chamada& c : de(QStringLiteral("SATOnline")))  // a lost answer was of a CF-e issued
            emitido = emitido || c.result.toBool() || (c.raised && caso.modo == Modo::Perdida);
        const bool comCfe = vendaFica && fim != VendaPendente && fim != Incerto;
        EXPECT_EQ(emitido, comCfe);
        EXPECT_EQ(cfesNaMemoriaDoSat() - cfesAntes, comCfe ? 1 : 0);
    }

    // What the operator read: "Venda cancelada" only for an undone redemption, and the
    // reason as the message's last line.
    const QStringList lidas = fakes.messageHeads();
    const QString cancelada = form->msgPadrao->Msg(QStringLiteral("ERRO_IMP_CUP"));
    EXPECT_EQ(lidas.contains(cancelada), fim == Desfeito) << lidas.join(u'\n').toStdString();
    if (fim == Nada || fim == Concluido) {
        EXPECT_TRUE(lidas.isEmpty()) << lidas.join(u'\n').toStdString();
    } else {
        ASSERT_FALSE(lidas.isEmpty());
        EXPECT_EQ(lidas.last(), esperada(fim));
        EXPECT_EQ(fakes.messages.last().tipo, hostkit::tmErro);
        EXPECT_TRUE(fakes.messages.last().titulo.isEmpty());
        const QString motivo = testsupport::HostFakes::reasonOf(fakes.messages.last().texto);
        EXPECT_FALSE(motivo.isEmpty()) << "the reason is not passed on";
        if (caso.modo != Modo::Falso) {
            EXPECT_TRUE(motivo.contains(QStringLiteral("fault injected")) ||
                        fakes.errors.join(u'\n').contains(QStringLiteral("fault injected")))
                << motivo.toStdString();
        }
    }
    // A host of the published operations is never said to settle anything later.
    if (!estendido()) {
        for (const QString& lida : lidas)
            for (const char* promessa : kPromessasDeAcerto)
                EXPECT_FALSE(lida.contains(QLatin1String(promessa))) << lida.toStdString();
    }

    fiscaldev::library().clearFaults();
    possvc::library().clearFaults();
    restaura();
    // What was left for the next start is settled by it, as the operator was told: a
    // pending SAT sale without a CF-e is cancelled; the sale of a lost close-out answer
    // stands with its receipt or NFC-e.
    int ativas = vendaFica ? 1 : 0;
    if (estendido() && (fim == VendaPendente || fim == Incerto)) {
        possvc::sim::prepareScreen();
        const int cancelamentos = fiscaldev::sim::status().cancellations;
        fiscaldev::sim::recover(possvc::sim::receiptHasSale);
        EXPECT_EQ(fiscaldev::sim::status().cancellations, cancelamentos);
        ativas = fim == Incerto && f.perfil != Sat ? 1 : 0;
        EXPECT_EQ(vendasAtivas(), anteriores + ativas);
        EXPECT_DOUBLE_EQ(saldoBanco(QStringLiteral("CP1"), "VRRESTANTE"), ativas ? inicial - 30.0 : inicial);
    }

    // The screen takes the next redemption.
    campanha(QStringLiteral("CP1"));
    escolhe({QStringLiteral("P1")});
    confirma();
    EXPECT_EQ(vendasAtivas(), anteriores + ativas + 1);
    EXPECT_DOUBLE_EQ(saldo(QStringLiteral("CP1"), "VRRESTANTE"), (ativas ? inicial - 30.0 : inicial) - 30.0);
}

const char* nomeModo(Modo m)
{
    switch (m) {
    case Modo::Falso: return "falso";
    case Modo::Erro: return "erro";
    case Modo::Perdida: return "perdida";
    case Modo::Recusada: return "recusada";
    case Modo::Ocupada: return "ocupada";
    }
    return "?";
}

INSTANTIATE_TEST_SUITE_P(Chamadas, FalhaNaConfirmacao, ::testing::ValuesIn(casos()),
                         [](const ::testing::TestParamInfo<Caso>& info) {
                             const Falha& f = info.param.falha;
                             return std::string(info.param.host == Host::Estendido ? "" : "contrato_")
                                    + nomeBanco(info.param.banco) + "_" + nomePerfil(f.perfil) + "_"
                                    + (f.anterior ? std::string(f.anterior) + "_antes_" : std::string()) + f.op
                                    + (f.desfaz ? std::string("_") + f.desfaz : std::string()) + "_"
                                    + nomeModo(info.param.modo);
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
        if (f.perfil == GetParam() && !f.desfaz)
            cobertas << QString::fromLatin1(f.op);
    EXPECT_EQ(chamadasFeitas, cobertas);
}

INSTANTIATE_TEST_SUITE_P(Perfis, Cobertura, ::testing::Values(Fiscal, Nfce, Sat, NfceComImpressora),
                         [](const ::testing::TestParamInfo<Perfil>& info) { return std::string(nomePerfil(info.param)); });

}  // namespace
}  // namespace redemption
