// What the cashier is told about a redemption, from its state alone: every outcome on
// each kind of terminal and host, and the document a terminal issues.

#include "client/MessageTable.h"
#include "client/Resgate.h"

#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace {

using Cli_Vak04100::Desfecho;
using Cli_Vak04100::EstadoResgate;
using Cupom = EstadoResgate::Cupom;
using Venda = EstadoResgate::Venda;
using terminal::DocumentKind;

struct Linha {
    const char* what;
    DocumentKind documento;
    bool impressora, hostAcerta;
    Cupom cupom;
    Venda venda;
    bool falhou;
    Desfecho esperado;
};

EstadoResgate estado(const Linha& l)
{
    EstadoResgate e;
    e.documento = l.documento;
    e.impressora = l.impressora;
    e.hostAcerta = l.hostAcerta;
    e.cupom = l.cupom;
    e.venda = l.venda;
    e.nrCupom = QStringLiteral("000042");
    e.nrVenda = QStringLiteral("17");
    e.nrDocumento = l.documento == DocumentKind::Nfce ? QStringLiteral("305") : QStringLiteral("000123");
    if (l.falhou)
        e.anotaFalha(QStringLiteral("a impressora recusou"));
    return e;
}

Desfecho d(const char* chave, QStringList valores = {})
{
    return {QString::fromLatin1(chave), std::move(valores)};
}

const DocumentKind R = DocumentKind::Receipt, N = DocumentKind::Nfce, S = DocumentKind::Sat;
const QString cupom = QStringLiteral("000042"), venda = QStringLiteral("17"), nfce = QStringLiteral("305"),
              cfe = QStringLiteral("000123");

const Linha kLinhas[] = {
    // what, document, printer, host settles, receipt, sale, failed -> told
    {"complete on a receipt terminal", R, true, true, Cupom::Emitido, Venda::Gravada, false, {}},
    {"complete with an NFC-e", N, false, false, Cupom::Nenhum, Venda::DocumentoEmitido, false, {}},
    {"complete with a CF-e", S, false, true, Cupom::Nenhum, Venda::DocumentoEmitido, false, {}},
    {"undone", R, true, true, Cupom::Nenhum, Venda::Nenhuma, true, d("ERRO_IMP_CUP")},
    {"undone on SAT", S, false, false, Cupom::Nenhum, Venda::Nenhuma, true, d("ERRO_IMP_CUP")},
    {"receipt left open", R, true, true, Cupom::Aberto, Venda::Nenhuma, true, d("CUPOM_NAO_CANC", {cupom})},
    {"receipt valid, cancel refused", N, true, false, Cupom::CancelamentoRecusado, Venda::Nenhuma, true,
     d("CUPOM_NAO_CANC", {cupom})},
    {"NFC-e issued, copy not printed", N, false, true, Cupom::Nenhum, Venda::DocumentoEmitido, true,
     d("NFCE_SEM_VIA", {nfce})},
    {"NFC-e issued, its receipt still valid", N, true, false, Cupom::Emitido, Venda::DocumentoEmitido, true,
     d("NFCE_SEM_VIA", {nfce})},
    {"CF-e issued, a later step failed", S, false, false, Cupom::Nenhum, Venda::DocumentoEmitido, true,
     d("CFE_EMITIDO", {cfe, venda})},
    {"SAT sale not cancelled, host settles", S, false, true, Cupom::Nenhum, Venda::Gravada, true,
     d("VENDA_NAO_CANC", {venda})},
    {"SAT sale not cancelled, contract host", S, false, false, Cupom::Nenhum, Venda::Gravada, true,
     d("VENDA_A_CANCELAR", {venda})},
    {"receipt's sale not cancelled: never pending", R, true, true, Cupom::Nenhum, Venda::Gravada, true,
     d("VENDA_A_CANCELAR", {venda})},
    {"uncertain receipt sale, host settles", R, true, true, Cupom::Emitido, Venda::Incerta, true,
     d("VENDA_INCERTA", {QStringLiteral("cupom 000042")})},
    {"uncertain receipt sale, contract host", R, true, false, Cupom::Emitido, Venda::Incerta, true,
     d("VENDA_A_CONFERIR", {QStringLiteral("cupom 000042")})},
    {"uncertain NFC-e with a receipt", N, true, true, Cupom::Emitido, Venda::Incerta, true,
     d("VENDA_INCERTA", {QStringLiteral("cupom 000042, NFC-e 305")})},
    {"uncertain NFC-e, contract host", N, false, false, Cupom::Nenhum, Venda::Incerta, true,
     d("VENDA_A_CONFERIR", {QStringLiteral("NFC-e 305")})},
    {"uncertain SAT sale, host settles", S, false, true, Cupom::Nenhum, Venda::Incerta, true, d("VENDA_SAT_INCERTA")},
    {"uncertain SAT sale, contract host", S, false, false, Cupom::Nenhum, Venda::Incerta, true,
     d("VENDA_SAT_A_CONFERIR")},
};

TEST(Desfecho, CadaEstadoDizOQueFicouEOQueFazer)
{
    for (const Linha& l : kLinhas)
        EXPECT_EQ(Cli_Vak04100::desfecho(estado(l)), l.esperado)
            << l.what << ": " << Cli_Vak04100::desfecho(estado(l)).chave.toStdString();
}

// Every key told is in the screen's message table with as many values as it is given,
// and only a host that settles pending sales is promised a settling.
TEST(Desfecho, AsChavesEstaoNaTabelaEAsPromessasSoNoHostQueAcerta)
{
    QMap<QString, QString> tabela;
    for (const QString& linha : Cli_Vak04100::tabelaMensagens())
        tabela.insert(linha.section(u'|', 0, 0), linha.section(u'|', 1));
    static const QRegularExpression promessa(QStringLiteral("pelo sistema|O sistema acerta|caixa for reaberto"));
    for (const Linha& l : kLinhas) {
        const Desfecho got = Cli_Vak04100::desfecho(estado(l));
        if (got.chave.isEmpty())
            continue;
        ASSERT_TRUE(tabela.contains(got.chave)) << l.what;
        const QString texto = tabela.value(got.chave);
        QSet<QString> marcas;
        for (const QRegularExpressionMatch& m : QRegularExpression(QStringLiteral("%[1-9]")).globalMatch(texto))
            marcas << m.captured();
        EXPECT_EQ(marcas.size(), got.valores.size()) << l.what;
        if (!l.hostAcerta) {
            EXPECT_FALSE(texto.contains(promessa)) << l.what << ": " << texto.toStdString();
        }
    }
}

TEST(Desfecho, OsMotivosFicamNaOrdemSemRepetir)
{
    EstadoResgate e;
    EXPECT_FALSE(e.falhou);
    e.anotaFalha(QStringLiteral(" a "));
    e.anotaFalha(QStringLiteral("a"));
    e.anotaFalha(QString());
    e.anotaFalha(QStringLiteral("b"));
    EXPECT_TRUE(e.falhou);
    EXPECT_EQ(e.motivo(), QStringLiteral("a\nb"));
}

// The document a terminal issues, as the opening and the host's check work it out.
TEST(Desfecho, NfceVenceQuandoOsDoisSinaisEstaoLigados)
{
    EXPECT_EQ(terminal::documentKind(false, false), DocumentKind::Receipt);
    EXPECT_EQ(terminal::documentKind(true, false), DocumentKind::Nfce);
    EXPECT_EQ(terminal::documentKind(false, true), DocumentKind::Sat);
    EXPECT_EQ(terminal::documentKind(true, true), DocumentKind::Nfce);
}

}  // namespace
