#pragma once
// possvc: the point-of-sale services library, as the module uses it: wait indicator,
// search list, price lookup, fiscal product codes, NFC-e numbering, sale close-out, SAT,
// non-fiscal print and the cancelled-sale log.
//
// Every operation is a procedure variable (hostapi::ProcVar) defined in the shared
// library `possvc` and assigned by the host; the module calls through its current value.
// Calling one the host left unassigned throws platform::HostError
// "possvc: operation NAME is not assigned".
//
// Argument blocks are QVariantList passed together with their highest index (not their
// length); ArgumentBlocks.h names their positions and sizes. `voRetorno` is the caller's
// result array (a QVariant holding a QVariantList of 10 values) passed by reference;
// answer texts are QString passed by reference.

#include "PossvcExport.h"
#include "hostapi/ProcVar.h"
#include "platform/dataset/ClientDataSet.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QWidget>

namespace possvc {

using platform::ClientDataSet;

// The library's registry: its procedure variables, call observer and fault plan.
POSSVC_EXPORT hostapi::ProcLib& library();

// ---- screen operations ------------------------------------------------------------------

// Shows a wait indicator with `texto` over `form` until DesativaProcesso; the colours are
// the terminal's (inCor1, inCor2).
extern POSSVC_EXPORT hostapi::ProcVar<void(QWidget* form, const QString& texto, int cor1, int cor2)> AtivaProcesso;
// Removes the wait indicator (nothing happens when none is shown).
extern POSSVC_EXPORT hostapi::ProcVar<void()> DesativaProcesso;
// Modal search list over the dataset's visible fields. The module passes a null second
// argument, "N", the terminal's colours inCor1, inCor2, inCor3, inCor5, and 0. True when
// a row was chosen, which is then the dataset's current row; false when the operator
// gave up.
extern POSSVC_EXPORT hostapi::ProcVar<bool(ClientDataSet* dataSet, const QVariant& campos, const QString& flag,
                                           int cor1, int cor2, int cor3, int cor5, int opcao)> Pesquisa;
// Price of a product. Block (6 values, highest index 5): branch, client, product, shop,
// consumer, "B". The answer is the price as decimal text (system decimal separator) or
// one of the refusal codes PRECNCAD, TABENCAD, DTCLI, DTPAR, DTLOJ, PRECZERO, BLOQUEADO.
extern POSSVC_EXPORT hostapi::ProcVar<void(const QVariantList& bloco, int maiorIndice, QVariant& voRetorno,
                                           QString& resposta)> ChamaFuncaoRetornaPreco;
// Fills `codigos` (a QVariant holding a QVariantList of 2) with the product's two fiscal
// codes: element 0 the CEST, element 1 the NCM (texts, empty when the product has none).
extern POSSVC_EXPORT hostapi::ProcVar<void(const QString& cdProduto, QVariant& codigos)> getProdCodCestNcm;

// ---- sale services ----------------------------------------------------------------------

// NFC-e series of the register, as text.
extern POSSVC_EXPORT hostapi::ProcVar<QString(const QString& cdFilial, const QString& cdCaixa)> getNumeroSerieNFCe;
// NFC-e emission date, as text.
extern POSSVC_EXPORT hostapi::ProcVar<QString()> getDataEmissNFCe;
// Concludes the sale: 12 datasets (highest index 11) and the value block (42 values,
// highest index 41). Returns the sale's sequence number; for NFC-e leaves the access key,
// QR-code text and authorisation protocol at indices 1 to 3 of voRetorno.
extern POSSVC_EXPORT hostapi::ProcVar<QVariant(const QList<ClientDataSet*>& dataSets, int maiorIndiceDataSets,
                                               const QVariantList& bloco, int maiorIndice, QVariant& voRetorno)> SetConcluiFechamento;
// Sends the sale to the SAT device. True when the CF-e was issued; in both cases leaves
// the device's answer in `retorno` as name=value lines.
extern POSSVC_EXPORT hostapi::ProcVar<bool(const QString& cdFilial, const QString& cdCaixa, const QString& nrSeqVenda,
                                           const QString& idUtilSatComp, const QString& cdAtivacaoSat,
                                           const QString& reservado6, const QString& reservado7,
                                           const QString& reservado8, QStringList& retorno)> SATOnline;
// Records the SAT result with the sale; returns a service result (payload or error text,
// for hostkit's MensagemMetodo).
extern POSSVC_EXPORT hostapi::ProcVar<QVariant(const QString& cdFilial, const QString& cdCaixa, const QString& nrSeqVenda,
                                               const QString& nrCfe, const QString& qrCode,
                                               const QStringList& retornoSat)> AtualizaVendaSat;
// Prints the customer copy of an NFC-e or SAT document (block of 7 values, highest
// index 6). The module does not read the result.
extern POSSVC_EXPORT hostapi::ProcVar<bool(const QVariantList& bloco, int maiorIndice, QVariant& voRetorno)> DisparaImpressaoNaoFiscal;
// Records a cancelled sale (block of 14 values, highest index 13); `resposta` receives the
// service's answer text.
extern POSSVC_EXPORT hostapi::ProcVar<void(const QVariantList& bloco, int maiorIndice, QVariant& voRetorno,
                                           QString& resposta)> IncluiVendaCan;
// Updates a cancelled-sale entry (block of 8 values, highest index 7); `resposta`
// receives the service's answer text (a service result for MensagemMetodo). `voRetorno`
// holds the CF-e number at answer::VendaCancelada::DocumentoMantido when the device had
// issued the sale's CF-e: the sale then stands and nothing was cancelled.
extern POSSVC_EXPORT hostapi::ProcVar<void(const QVariantList& bloco, int maiorIndice, QVariant& voRetorno,
                                           QString& resposta)> AlteraVendaCan;

}  // namespace possvc
