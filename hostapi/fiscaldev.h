#pragma once
// fiscaldev: the fiscal-device library, as the module uses it. Drives the fiscal printer.
//
// Every printer command is a procedure variable (hostapi::ProcVar) defined in the shared
// library `fiscaldev` and assigned by the host; the module calls through its current
// value. Calling one the host left unassigned throws platform::HostError
// "fiscaldev: operation NAME is not assigned". The three parameter builders are ordinary
// functions of the library.
//
// Argument blocks are QVariantList passed together with their highest index (not their
// length); ArgumentBlocks.h names their positions and sizes. `voRetorno` is the caller's
// result array (a QVariant holding a QVariantList of 10 values) passed by reference;
// the library leaves its results in it.

#include "FiscaldevExport.h"
#include "hostapi/ParamRecord.h"
#include "hostapi/ProcVar.h"

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVariantList>

namespace fiscaldev {

using hostapi::ParamRecord;

// The library's registry: its procedure variables, call observer and fault plan.
FISCALDEV_EXPORT hostapi::ProcLib& library();

// ---- parameter builders (ordinary functions) --------------------------------------------

// Record of the receipt opening. `itemTrabalho` is the operation's item work value (0
// before the opening); the consumer's CPF, name and address identify the buyer; the
// receipt number and counter variables are those the caller keeps them in (the printer
// reports the new ones in the record after AbreCupom, under "CUPNR" and "CONTCUPOM").
FISCALDEV_EXPORT ParamRecord Params_AbreCupom_Kdx00000(const QString& idEsquema, int& itemTrabalho, QString& nrCpf,
                                                       QString& nmConsumidor, QString& dsEndereco, QString& cupNr,
                                                       QString& contCupom, const QString& reservado8,
                                                       const QString& reservado9, const QString& reservado10,
                                                       const QString& reservado11, const QString& reservado12,
                                                       const QString& reservado13, const QString& reservado14,
                                                       bool reservado15);

// Record of one item. `tipoDescAcre` is "D" (discount) or "A" (surcharge) for the two
// adjustment values; `cdAliquota` is the printer's code of the tax rate, `idAliquota` the
// tax type, `aliquota` the rate as text.
FISCALDEV_EXPORT ParamRecord Params_VendaItem_Kdx00000(const QString& idEsquema, const QString& reservado2,
                                                       const QString& tipoDescAcre, const QString& codigo,
                                                       const QString& descricao, const QString& cdAliquota,
                                                       const QString& idAliquota, const QString& unidade,
                                                       const QString& reservado9, const QString& aliquota,
                                                       const QString& reservado11, int itemTrabalho, double quantidade,
                                                       double precoUnitario, double desconto, double acrescimo,
                                                       bool reservado17);

// Record of the register's totals update.
FISCALDEV_EXPORT ParamRecord Params_Atu_TotGeral_Kdx00000(const QString& cdFilial, const QString& cdCaixa,
                                                          const QString& nrSerieImp, const QString& idEsquema,
                                                          const QString& idReducao, bool reservado6,
                                                          const QString& reservado7, const QString& reservado8,
                                                          const QString& reservado9, const QString& reservado10,
                                                          double valor11, double valor12);

// ---- printer commands (procedure variables) ---------------------------------------------

// Opens a receipt; true on success. Leaves "CUPNR" and "CONTCUPOM" in the record.
extern FISCALDEV_EXPORT hostapi::ProcVar<bool(ParamRecord& record)> AbreCupom;
// Registers one item on the open receipt; true on success.
extern FISCALDEV_EXPORT hostapi::ProcVar<bool(ParamRecord& record)> VendaItem;
// Closes the open receipt with the closing block (59 values, highest index 58); the third
// argument is always 0. True on success; the closing result text is element 2 of voRetorno.
extern FISCALDEV_EXPORT hostapi::ProcVar<bool(const QVariantList& bloco, int maiorIndice, int valor, QVariant& voRetorno)> FechaCupom;
// Updates the register's totals from the record. The module does not read the result.
extern FISCALDEV_EXPORT hostapi::ProcVar<bool(ParamRecord& record)> Atu_TotGeral;
// Cancels the open or the last receipt (block of 7 values, highest index 6). True when the
// receipt was cancelled.
extern FISCALDEV_EXPORT hostapi::ProcVar<bool(const QVariantList& bloco, int maiorIndice, QVariant& voRetorno)> Cancela_Cupom_Imp;
// The printer's fiscal movement date.
extern FISCALDEV_EXPORT hostapi::ProcVar<QDateTime(const QString& idEsquema)> DataMoviFiscal;

}  // namespace fiscaldev
