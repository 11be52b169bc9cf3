#pragma once
// The host libraries' published contract, by name: what a host that implements it offers
// and nothing more. The module may import these names only (its build is checked against
// this list); a host of the published contract alone registers these and refuses any
// other call. The module never includes this header.

#include <QString>
#include <QStringList>

namespace hostapi::contract {

// hostkit: plain functions, and the components the module's forms and data module carry
// (a component's members are part of it).
inline const QStringList& hostkitOperations()
{
    static const QStringList names{
        QStringLiteral("Mensagem"),     QStringLiteral("MensagemMetodo"), QStringLiteral("MontaRodapeGeral"),
        QStringLiteral("ADOExceptionMessage"), QStringLiteral("GetStringConexQvn"), QStringLiteral("SetADODBSession"),
        QStringLiteral("Uncripto"),     QStringLiteral("Ajusta"),         QStringLiteral("EmptyString"),
        QStringLiteral("iif"),          QStringLiteral("Trunc2"),         QStringLiteral("RecebeParams"),
        QStringLiteral("CriaCodBarra")};
    return names;
}
inline const QStringList& hostkitComponents()
{
    static const QStringList names{QStringLiteral("TMessages"), QStringLiteral("TdtmQvnProxCodigo"),
                                   QStringLiteral("TBlendedBitBtn"), QStringLiteral("TADOSqlStorage")};
    return names;
}

// fiscaldev: procedure variables, and the parameter builders (ordinary functions).
inline const QStringList& fiscaldevOperations()
{
    static const QStringList names{QStringLiteral("AbreCupom"),    QStringLiteral("VendaItem"),
                                   QStringLiteral("FechaCupom"),   QStringLiteral("Atu_TotGeral"),
                                   QStringLiteral("Cancela_Cupom_Imp"), QStringLiteral("DataMoviFiscal")};
    return names;
}
inline const QStringList& fiscaldevBuilders()
{
    static const QStringList names{QStringLiteral("Params_AbreCupom_Kdx00000"),
                                   QStringLiteral("Params_VendaItem_Kdx00000"),
                                   QStringLiteral("Params_Atu_TotGeral_Kdx00000")};
    return names;
}

// possvc: procedure variables.
inline const QStringList& possvcOperations()
{
    static const QStringList names{
        QStringLiteral("AtivaProcesso"),      QStringLiteral("DesativaProcesso"),     QStringLiteral("Pesquisa"),
        QStringLiteral("ChamaFuncaoRetornaPreco"), QStringLiteral("getProdCodCestNcm"), QStringLiteral("getNumeroSerieNFCe"),
        QStringLiteral("getDataEmissNFCe"),   QStringLiteral("SetConcluiFechamento"), QStringLiteral("SATOnline"),
        QStringLiteral("AtualizaVendaSat"),   QStringLiteral("DisparaImpressaoNaoFiscal"),
        QStringLiteral("IncluiVendaCan"),     QStringLiteral("AlteraVendaCan")};
    return names;
}

// Whether `name` (an operation, builder or component) belongs to library `lib`'s
// published contract ("hostkit", "fiscaldev", "possvc").
inline bool isPublished(const QString& lib, const QString& name)
{
    if (lib == QLatin1String("hostkit"))
        return hostkitOperations().contains(name) || hostkitComponents().contains(name);
    if (lib == QLatin1String("fiscaldev"))
        return fiscaldevOperations().contains(name) || fiscaldevBuilders().contains(name);
    if (lib == QLatin1String("possvc"))
        return possvcOperations().contains(name);
    return false;
}

}  // namespace hostapi::contract
