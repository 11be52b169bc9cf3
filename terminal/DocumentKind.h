#pragma once
// The fiscal document a terminal issues for a sale, worked out once from its parameter
// file: the fiscal printer's receipt alone, an NFC-e, or a SAT CF-e. A terminal whose file
// sets both the NFC-e and the SAT flag issues NFC-e. The screen's opening and the host's
// installation check both take it from here.

#include "terminal/TerminalFiles.h"

namespace terminal {

enum class DocumentKind { Receipt, Nfce, Sat };

DocumentKind documentKind(bool nfceFlag, bool satFlag);
DocumentKind documentKind(const Parameters& parameters);

}  // namespace terminal
