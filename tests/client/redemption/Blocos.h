#pragma once
// Checking argument blocks element by element: each element's type and value. The host
// libraries' blocks are expected by the names of their positions.

#include "RedemptionFixture.h"

#include "hostapi/ArgumentBlocks.h"

#include <QDateTime>
#include <QMetaType>
#include <QVariant>

#include <gtest/gtest.h>

namespace redemption {

// Stands for an element that the test checks on its own (a data packet, a number drawn).
struct Outro {};

}  // namespace redemption

Q_DECLARE_METATYPE(redemption::Outro)

namespace redemption {

using Fecha = hostapi::block::FechaCupom;
using Cancela = hostapi::block::CancelaCupomImp;
using Conclui = hostapi::block::SetConcluiFechamento;
using Impressao = hostapi::block::DisparaImpressaoNaoFiscal;
using VendaCan = hostapi::block::IncluiVendaCan;
using AlteraCan = hostapi::block::AlteraVendaCan;
// A host block as expected: every position not named holds `filler`.
template <typename B>
using Esperado = hostapi::ArgumentBlock<B>;

inline QVariant outro() { return QVariant::fromValue(Outro{}); }
inline QVariant texto(const char* s) { return QString::fromUtf8(s); }
inline QVariant vazio() { return QStringLiteral(""); }

// The value of a variant as a test message shows it.
inline std::string mostra(const QVariant& v)
{
    return std::string(v.metaType().name() ? v.metaType().name() : "null") + " " + v.toString().toStdString();
}

inline void confereBloco(const QVariantList& bloco, const QVariantList& esperado, const char* nome)
{
    ASSERT_EQ(bloco.size(), esperado.size()) << nome;
    for (int i = 0; i < esperado.size(); ++i) {
        const QVariant& e = esperado[i];
        const QVariant& v = bloco[i];
        if (e.metaType() == QMetaType::fromType<Outro>())
            continue;
        if (!e.isValid()) {
            EXPECT_FALSE(v.isValid()) << nome << "[" << i << "] should be null, is " << mostra(v);
            continue;
        }
        EXPECT_EQ(v.metaType(), e.metaType()) << nome << "[" << i << "]: " << mostra(v) << " expected " << mostra(e);
        if (e.typeId() == QMetaType::Double)
            EXPECT_DOUBLE_EQ(v.toDouble(), e.toDouble()) << nome << "[" << i << "]";
        else
            EXPECT_EQ(v, e) << nome << "[" << i << "]: " << mostra(v) << " expected " << mostra(e);
    }
}

// The printer's cancel block of the test terminal: scheme 002, branch 01, register 003.
inline Esperado<Cancela> cancelaEsperado(bool doProprioCupom)
{
    return Esperado<Cancela>(false, {{Cancela::IdEsquema, texto("002")},
                                     {Cancela::DoProprioCupom, doProprioCupom}, {Cancela::CdFilial, texto("01")},
                                     {Cancela::CdCaixa, texto("003")}, {Cancela::NrSerieImp, texto("BE0001")}});
}

template <typename B>
void confereBloco(const QVariantList& bloco, const hostapi::ArgumentBlock<B>& esperado)
{
    confereBloco(bloco, esperado.values(), B::name);
}

}  // namespace redemption
