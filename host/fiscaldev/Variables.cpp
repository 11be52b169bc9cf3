// The procedure variables of fiscaldev. The host assigns them (fiscaldev::sim::installAll
// assigns the simulated printer); until then a call throws HostError naming the operation.

#include "hostapi/fiscaldev.h"

namespace fiscaldev {

hostapi::ProcLib& library()
{
    static hostapi::ProcLib lib("fiscaldev");
    return lib;
}

hostapi::ProcVar<bool(ParamRecord&)> AbreCupom(library(), "AbreCupom");
hostapi::ProcVar<bool(ParamRecord&)> VendaItem(library(), "VendaItem");
hostapi::ProcVar<bool(const QVariantList&, int, int, QVariant&)> FechaCupom(library(), "FechaCupom");
hostapi::ProcVar<bool(ParamRecord&)> Atu_TotGeral(library(), "Atu_TotGeral");
hostapi::ProcVar<bool(const QVariantList&, int, QVariant&)> Cancela_Cupom_Imp(library(), "Cancela_Cupom_Imp");
hostapi::ProcVar<QDateTime(const QString&)> DataMoviFiscal(library(), "DataMoviFiscal");

}  // namespace fiscaldev
