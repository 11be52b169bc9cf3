#pragma once
// The host's operations beyond the published contract (hostapi/Extensions.h), as this
// module finds them while it runs. Read at each use, as the procedure variables are: the
// host may offer or withdraw one at any time.

#include "hostapi/Extensions.h"

namespace Cli_Vak04100 {

// The host's settling of pending sales, or null when the host does not offer it.
hostapi::ext::ResolveVendasPendentes resolveVendasPendentesDoHost();

}  // namespace Cli_Vak04100
