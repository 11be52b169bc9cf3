// The parameter builders: each returns the record of one printer command, its values
// under the names the simulated printer reads (ParamRecord.h). Calls are shown to the
// library's observer like the procedure variables' calls, so the host's transcript sees
// the whole conversation with the printer.

#include "hostapi/fiscaldev.h"

#include <initializer_list>

namespace fiscaldev {

namespace {

using hostapi::Observed;

// A printer command's record: the command under "COMANDO", then each value under its
// name, in order.
ParamRecord record(const char* command, std::initializer_list<const char*> names, const QVariantList& values)
{
    Q_ASSERT(qsizetype(names.size()) == values.size());
    ParamRecord r{{QString::fromLatin1(hostapi::param::Comando), QString::fromLatin1(command)}};
    auto value = values.cbegin();
    for (const char* name : names)
        r.insert(QString::fromLatin1(name), *value++);
    return r;
}

ParamRecord buildAbreCupom(const QString& idEsquema, int& itemTrabalho, QString& nrCpf,
                           QString& nmConsumidor, QString& dsEndereco, QString& cupNr,
                           QString& contCupom, const QString& r8, const QString& r9,
                           const QString& r10, const QString& r11, const QString& r12,
                           const QString& r13, const QString& r14, bool r15)
{
    return record("AbreCupom",
                  {"IDESQUEMA", "ITEMTRABALHO", "NRCPF", "NMCONSUMIDOR", "DSENDERECO", "CUPNR", "CONTCUPOM",
                   "RESERVADO8", "RESERVADO9", "RESERVADO10", "RESERVADO11", "RESERVADO12", "RESERVADO13",
                   "RESERVADO14", "RESERVADO15"},
                  {idEsquema, itemTrabalho, nrCpf, nmConsumidor, dsEndereco, cupNr, contCupom, r8, r9, r10, r11, r12,
                   r13, r14, r15});
}

ParamRecord buildVendaItem(const QString& idEsquema, const QString& r2, const QString& tipoDescAcre,
                           const QString& codigo, const QString& descricao, const QString& cdAliquota,
                           const QString& idAliquota, const QString& unidade, const QString& r9,
                           const QString& aliquota, const QString& r11, int itemTrabalho,
                           double quantidade, double precoUnitario, double desconto, double acrescimo,
                           bool r17)
{
    return record("VendaItem",
                  {"IDESQUEMA", "RESERVADO2", "TIPODESCACRE", "CODIGO", "DESCRICAO", "CDALIQUOTA", "IDALIQUOTA",
                   "UNIDADE", "RESERVADO9", "ALIQUOTA", "RESERVADO11", "ITEMTRABALHO", "QUANTIDADE",
                   "PRECOUNITARIO", "DESCONTO", "ACRESCIMO", "RESERVADO17"},
                  {idEsquema, r2, tipoDescAcre, codigo, descricao, cdAliquota, idAliquota, unidade, r9, aliquota, r11,
                   itemTrabalho, quantidade, precoUnitario, desconto, acrescimo, r17});
}

ParamRecord buildAtuTotGeral(const QString& cdFilial, const QString& cdCaixa, const QString& nrSerieImp,
                             const QString& idEsquema, const QString& idReducao, bool r6,
                             const QString& r7, const QString& r8, const QString& r9, const QString& r10,
                             double valor11, double valor12)
{
    return record("Atu_TotGeral",
                  {"CDFILIAL", "CDCAIXA", "NRSERIEIMP", "IDESQUEMA", "IDREDUCAO", "RESERVADO6", "RESERVADO7",
                   "RESERVADO8", "RESERVADO9", "RESERVADO10", "VALOR11", "VALOR12"},
                  {cdFilial, cdCaixa, nrSerieImp, idEsquema, idReducao, r6, r7, r8, r9, r10, valor11, valor12});
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
