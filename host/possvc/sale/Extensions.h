#pragma once
// The reference host's possvc operations beyond the published contract
// (hostapi/Extensions.h). Each is a procedure variable, so that the host's transcript
// and fault plan see it like the published ones, and a C entry that the module looks up
// by name: the entry calls through the variable while the host offers the operation and
// is null otherwise.

#include "PossvcExport.h"
#include "hostapi/Extensions.h"
#include "hostapi/ProcVar.h"

#include <QString>
#include <QVariant>

namespace possvc {

// Settling now the sale of the terminal's last close-out whose answer was lost
// (hostapi::ext::ResolveVendasPendentes); returns empty text, or the error's text.
extern POSSVC_EXPORT hostapi::ProcVar<QString(QVariant& voRetorno)> ResolveVendasPendentes;

// Offers the extensions to the module (their C entries call through the variables
// above), or withdraws them (the entries are null: a host of the published contract).
POSSVC_EXPORT void offerExtensions(bool offered);

}  // namespace possvc

extern "C" {
// The C entry of possvc::ResolveVendasPendentes; null while not offered.
extern POSSVC_EXPORT hostapi::ext::ResolveVendasPendentes possvc_ResolveVendasPendentes;
}
