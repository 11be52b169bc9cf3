#include "client/ExtensoesHost.h"

#include "platform/system/RuntimeEntry.h"

namespace Cli_Vak04100 {

hostapi::ext::ResolveVendasPendentes resolveVendasPendentesDoHost()
{
    void* entrada = platform::findRuntimeEntry(hostapi::ext::kResolveVendasPendentes);
    return entrada ? *static_cast<hostapi::ext::ResolveVendasPendentes*>(entrada) : nullptr;
}

}  // namespace Cli_Vak04100
