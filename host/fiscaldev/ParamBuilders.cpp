// The parameter builders: each returns the record of one printer command, its values
// under the names the simulated printer reads (ParamRecord.h). Calls are shown to the
// library's observer like the procedure variables' calls, so the host's transcript sees
// the whole conversation with the printer.

#include "hostapi/fiscaldev.h"

namespace fiscaldev {

namespace {

using hostapi::Observed;

ParamRecord buildAbreCupom(const QString& idEsquema, int& itemTrabalho, QString& nrCpf,
                           QString& nmConsumidor, QString& dsEndereco, QString& cupNr,
                           QString& contCupom, const QString& r8, const QString& r9,
                           const QString& r10, const QString& r11, const QString& r12,
                           const QString& r13, const QString& r14, bool r15)
{
    return ParamRecord{
        {QStringLiteral("COMANDO"), QStringLiteral("AbreCupom")},
        {QStringLiteral("IDESQUEMA"), idEsquema},
        {QStringLiteral("ITEMTRABALHO"), itemTrabalho},
        {QStringLiteral("NRCPF"), nrCpf},
        {QStringLiteral("NMCONSUMIDOR"), nmConsumidor},
        {QStringLiteral("DSENDERECO"), dsEndereco},
        {QStringLiteral("CUPNR"), cupNr},
        {QStringLiteral("CONTCUPOM"), contCupom},
        {QStringLiteral("RESERVADO8"), r8},
        {QStringLiteral("RESERVADO9"), r9},
        {QStringLiteral("RESERVADO10"), r10},
        {QStringLiteral("RESERVADO11"), r11},
        {QStringLiteral("RESERVADO12"), r12},
        {QStringLiteral("RESERVADO13"), r13},
        {QStringLiteral("RESERVADO14"), r14},
        {QStringLiteral("RESERVADO15"), r15},
    };
}

ParamRecord buildVendaItem(const QString& idEsquema, const QString& r2, const QString& tipoDescAcre,
                           const QString& codigo, const QString& descricao, const QString& cdAliquota,
                           const QString& idAliquota, const QString& unidade, const QString& r9,
                           const QString& aliquota, const QString& r11, int itemTrabalho,
                           double quantidade, double precoUnitario, double desconto, double acrescimo,
                           bool r17)
{
    return ParamRecord{
        {QStringLiteral("COMANDO"), QStringLiteral("VendaItem")},
        {QStringLiteral("IDESQUEMA"), idEsquema},
        {QStringLiteral("RESERVADO2"), r2},
        {QStringLiteral("TIPODESCACRE"), tipoDescAcre},
        {QStringLiteral("CODIGO"), codigo},
        {QStringLiteral("DESCRICAO"), descricao},
        {QStringLiteral("CDALIQUOTA"), cdAliquota},
        {QStringLiteral("IDALIQUOTA"), idAliquota},
        {QStringLiteral("UNIDADE"), unidade},
        {QStringLiteral("RESERVADO9"), r9},
        {QStringLiteral("ALIQUOTA"), aliquota},
        {QStringLiteral("RESERVADO11"), r11},
        {QStringLiteral("ITEMTRABALHO"), itemTrabalho},
        {QStringLiteral("QUANTIDADE"), quantidade},
        {QStringLiteral("PRECOUNITARIO"), precoUnitario},
        {QStringLiteral("DESCONTO"), desconto},
        {QStringLiteral("ACRESCIMO"), acrescimo},
        {QStringLiteral("RESERVADO17"), r17},
    };
}

ParamRecord buildAtuTotGeral(const QString& cdFilial, const QString& cdCaixa, const QString& nrSerieImp,
                             const QString& idEsquema, const QString& idReducao, bool r6,
                             const QString& r7, const QString& r8, const QString& r9, const QString& r10,
                             double valor11, double valor12)
{
    return ParamRecord{
        {QStringLiteral("COMANDO"), QStringLiteral("Atu_TotGeral")},
        {QStringLiteral("CDFILIAL"), cdFilial},
        {QStringLiteral("CDCAIXA"), cdCaixa},
        {QStringLiteral("NRSERIEIMP"), nrSerieImp},
        {QStringLiteral("IDESQUEMA"), idEsquema},
        {QStringLiteral("IDREDUCAO"), idReducao},
        {QStringLiteral("RESERVADO6"), r6},
        {QStringLiteral("RESERVADO7"), r7},
        {QStringLiteral("RESERVADO8"), r8},
        {QStringLiteral("RESERVADO9"), r9},
        {QStringLiteral("RESERVADO10"), r10},
        {QStringLiteral("VALOR11"), valor11},
        {QStringLiteral("VALOR12"), valor12},
    };
}

}  // namespace

ParamRecord Params_AbreCupom_Kdx00000(const QString& idEsquema, int& itemTrabalho, QString& nrCpf,
                                      QString& nmConsumidor, QString& dsEndereco, QString& cupNr,
                                      QString& contCupom, const QString& r8, const QString& r9,
                                      const QString& r10, const QString& r11, const QString& r12,
                                      const QString& r13, const QString& r14, bool r15)
{
    return Observed<decltype(buildAbreCupom)>::call(library(), "Params_AbreCupom_Kdx00000", buildAbreCupom,
                                                    idEsquema, itemTrabalho, nrCpf, nmConsumidor, dsEndereco,
                                                    cupNr, contCupom, r8, r9, r10, r11, r12, r13, r14, r15);
}

ParamRecord Params_VendaItem_Kdx00000(const QString& idEsquema, const QString& r2, const QString& tipoDescAcre,
                                      const QString& codigo, const QString& descricao,
                                      const QString& cdAliquota, const QString& idAliquota,
                                      const QString& unidade, const QString& r9, const QString& aliquota,
                                      const QString& r11, int itemTrabalho, double quantidade,
                                      double precoUnitario, double desconto, double acrescimo, bool r17)
{
    return Observed<decltype(buildVendaItem)>::call(library(), "Params_VendaItem_Kdx00000", buildVendaItem,
                                                    idEsquema, r2, tipoDescAcre, codigo, descricao, cdAliquota,
                                                    idAliquota, unidade, r9, aliquota, r11, itemTrabalho,
                                                    quantidade, precoUnitario, desconto, acrescimo, r17);
}

ParamRecord Params_Atu_TotGeral_Kdx00000(const QString& cdFilial, const QString& cdCaixa,
                                         const QString& nrSerieImp, const QString& idEsquema,
                                         const QString& idReducao, bool r6, const QString& r7,
                                         const QString& r8, const QString& r9, const QString& r10,
                                         double valor11, double valor12)
{
    return Observed<decltype(buildAtuTotGeral)>::call(library(), "Params_Atu_TotGeral_Kdx00000",
                                                      buildAtuTotGeral, cdFilial, cdCaixa, nrSerieImp,
                                                      idEsquema, idReducao, r6, r7, r8, r9, r10, valor11,
                                                      valor12);
}

}  // namespace fiscaldev
