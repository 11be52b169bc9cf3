#pragma once
// The host libraries' published contract, by name: what a host that implements it offers
// and nothing more. The module may import these names only (its build is checked against
// this list); a host of the published contract alone registers these and refuses any
// other call. The module never includes this header.

#include "hostapi/CallRecord.h"

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

// The members of hostkit's components that a host sees called (the numbering
// component's two draws, the message table's lookup).
inline const QStringList& hostkitComponentOperations()
{
    static const QStringList names{QStringLiteral("PrxVendaDia"), QStringLiteral("PrxNumeroNFCe"),
                                   QStringLiteral("Msg")};
    return names;
}

// The members of each hostkit component that the module may use: the numbering's two
// draws, the message table's lookup, the SQL-variant store's query and two texts, and the
// properties of the picture button that the forms set (its shape, images, colours for each
// state, layout and hint). Construction, destruction and Qt's meta-object members belong to
// every component.
inline QStringList publishedMembers(const QString& component)
{
    static const QStringList common{QStringLiteral("metaObject"), QStringLiteral("qt_metacast"),
                                    QStringLiteral("qt_metacall"), QStringLiteral("staticMetaObject")};
    QStringList members = common;
    members << component << QLatin1Char('~') + component;
    if (component == QLatin1String("TdtmQvnProxCodigo"))
        members << QStringLiteral("PrxVendaDia") << QStringLiteral("PrxNumeroNFCe");
    else if (component == QLatin1String("TMessages"))
        members << QStringLiteral("Msg");
    else if (component == QLatin1String("TADOSqlStorage"))
        members << QStringLiteral("ADOQuery") << QStringLiteral("setADOQuery") << QStringLiteral("SQLORACLE")
                << QStringLiteral("setSQLORACLE") << QStringLiteral("SQLMSSQL") << QStringLiteral("setSQLMSSQL");
    else if (component == QLatin1String("TBlendedBitBtn"))
        members << QStringLiteral("Shape") << QStringLiteral("setShape") << QStringLiteral("GlyphLayout")
                << QStringLiteral("setGlyphLayout") << QStringLiteral("setGlyph") << QStringLiteral("setDisabledGlyph")
                << QStringLiteral("setFaceColor") << QStringLiteral("setTextColor")
                << QStringLiteral("setPressedFaceColor") << QStringLiteral("setPressedTextColor")
                << QStringLiteral("setDisabledFaceColor") << QStringLiteral("setDisabledTextColor")
                << QStringLiteral("setSpacing") << QStringLiteral("setMargin") << QStringLiteral("setShowHint");
    else
        return {};
    return members;
}

// Whether `name` (an operation, builder or component) belongs to library `lib`'s
// published contract ("hostkit", "fiscaldev", "possvc").
inline bool isPublished(const QString& lib, const QString& name)
{
    if (lib == QLatin1String("hostkit"))
        return hostkitOperations().contains(name) || hostkitComponents().contains(name)
               || hostkitComponentOperations().contains(name);
    if (lib == QLatin1String("fiscaldev"))
        return fiscaldevOperations().contains(name) || fiscaldevBuilders().contains(name);
    if (lib == QLatin1String("possvc"))
        return possvcOperations().contains(name);
    return false;
}

namespace detail {

inline QString argText(const CallRecord& c, int i)
{
    return c.args.value(i).toString();
}

// Mensagem: the text; an empty text; "N"; "N"; kind 0 (the insufficient-balance notice)
// or 3 (an error); an empty text; the terminal's schema ("002" only from the entry's error
// handler, before the screen is shown); 0; no dataset.
inline QString mensagemViolation(const CallRecord& c, const QString& idEsquema, bool beforeScreen)
{
    if (c.args.size() != 9)
        return QStringLiteral("Mensagem called with %1 arguments instead of 9").arg(c.args.size());
    const int tipo = c.args.value(4).toInt();
    const QString esquema = argText(c, 6);
    const bool esquemaValido = (!idEsquema.isEmpty() && esquema == idEsquema)
                               || (beforeScreen && esquema == QLatin1String("002"));
    if (!argText(c, 1).isEmpty())
        return QStringLiteral("Mensagem called with second text \"%1\" (must be empty)").arg(argText(c, 1));
    if (argText(c, 2) != QLatin1String("N") || argText(c, 3) != QLatin1String("N"))
        return QStringLiteral("Mensagem called with \"%1\", \"%2\" (must be \"N\", \"N\")").arg(argText(c, 2), argText(c, 3));
    if (tipo != 0 && tipo != 3)
        return QStringLiteral("Mensagem called with kind %1 (must be 0 or 3)").arg(tipo);
    if (!argText(c, 5).isEmpty())
        return QStringLiteral("Mensagem called with sixth text \"%1\" (must be empty)").arg(argText(c, 5));
    if (!esquemaValido)
        return QStringLiteral("Mensagem called with schema \"%1\" (must be the terminal's \"%2\")").arg(esquema, idEsquema);
    if (c.args.value(7).toInt() != 0)
        return QStringLiteral("Mensagem called with code %1 (must be 0)").arg(c.args.value(7).toInt());
    if (!c.args.value(8).isNull())
        return QStringLiteral("Mensagem called with a dataset (must be none)");
    return {};
}

// MensagemMetodo: the result; true; 0 with "Cli_Vak04100" and "002" (the SAT
// cancellation's AlteraVendaCan: an empty code), or 10 with "AtualizaVendaSat",
// "Cli_Dul06300" and the terminal's schema.
inline QString mensagemMetodoViolation(const CallRecord& c, const QString& idEsquema)
{
    if (c.args.size() != 7)
        return QStringLiteral("MensagemMetodo called with %1 arguments instead of 7").arg(c.args.size());
    if (!c.args.value(1).toBool())
        return QStringLiteral("MensagemMetodo called without showing errors");
    const int nivel = c.args.value(2).toInt();
    const QString metodo = argText(c, 3), unidade = argText(c, 4), codigo = argText(c, 6);
    const bool servico = nivel == 0 && unidade == QLatin1String("Cli_Vak04100")
                         && (codigo == QLatin1String("002")
                             || (metodo == QLatin1String("AlteraVendaCan") && codigo.isEmpty()));
    const bool sat = nivel == 10 && metodo == QLatin1String("AtualizaVendaSat")
                     && unidade == QLatin1String("Cli_Dul06300") && codigo == idEsquema;
    if (!servico && !sat)
        return QStringLiteral("MensagemMetodo called for %1 with level %2, unit \"%3\" and code \"%4\"")
            .arg(metodo).arg(nivel).arg(unidade, codigo);
    return {};
}

}  // namespace detail

// What is wrong with a call the module made, for a host of the published contract: an
// operation it does not publish, or a Mensagem or MensagemMetodo of another shape. ""
// when the call keeps the contract. `idEsquema` is the terminal's schema identifier;
// `beforeScreen` while the screen has not been shown (the entry's error handler).
inline QString contractViolation(const CallRecord& c, const QString& idEsquema, bool beforeScreen)
{
    if (!isPublished(c.lib, c.op))
        return QStringLiteral("%1 %2 is not a published operation").arg(c.lib, c.op);
    if (c.lib != QLatin1String("hostkit"))
        return {};
    if (c.op == QLatin1String("Mensagem"))
        return detail::mensagemViolation(c, idEsquema, beforeScreen);
    if (c.op == QLatin1String("MensagemMetodo"))
        return detail::mensagemMetodoViolation(c, idEsquema);
    return {};
}

}  // namespace hostapi::contract
