// The procedure variables of possvc. The host assigns them (possvc::sim::installScreenOps
// and the sale services' installer assign the reference implementations); until then a
// call throws HostError naming the operation.

#include "hostapi/possvc.h"

namespace possvc {

hostapi::ProcLib& library()
{
    static hostapi::ProcLib lib("possvc");
    return lib;
}

hostapi::ProcVar<void(QWidget*, const QString&, int, int)> AtivaProcesso(library(), "AtivaProcesso");
hostapi::ProcVar<void()> DesativaProcesso(library(), "DesativaProcesso");
hostapi::ProcVar<bool(ClientDataSet*, const QVariant&, const QString&, int, int, int, int, int)> Pesquisa(library(), "Pesquisa");
hostapi::ProcVar<void(const QVariantList&, int, QVariant&, QString&)> ChamaFuncaoRetornaPreco(library(), "ChamaFuncaoRetornaPreco");
hostapi::ProcVar<void(const QString&, QVariant&)> getProdCodCestNcm(library(), "getProdCodCestNcm");

hostapi::ProcVar<QString(const QString&, const QString&)> getNumeroSerieNFCe(library(), "getNumeroSerieNFCe");
hostapi::ProcVar<QString()> getDataEmissNFCe(library(), "getDataEmissNFCe");
hostapi::ProcVar<QVariant(const QList<ClientDataSet*>&, int, const QVariantList&, int, QVariant&)> SetConcluiFechamento(library(), "SetConcluiFechamento");
hostapi::ProcVar<bool(const QString&, const QString&, const QString&, const QString&, const QString&,
                      const QString&, const QString&, const QString&, QStringList&)> SATOnline(library(), "SATOnline");
hostapi::ProcVar<QVariant(const QString&, const QString&, const QString&, const QString&, const QString&,
                          const QStringList&)> AtualizaVendaSat(library(), "AtualizaVendaSat");
hostapi::ProcVar<bool(const QVariantList&, int, QVariant&)> DisparaImpressaoNaoFiscal(library(), "DisparaImpressaoNaoFiscal");
hostapi::ProcVar<void(const QVariantList&, int, QVariant&, QString&)> IncluiVendaCan(library(), "IncluiVendaCan");
hostapi::ProcVar<void(const QVariantList&, int, QVariant&, QString&)> AlteraVendaCan(library(), "AlteraVendaCan");

}  // namespace possvc
