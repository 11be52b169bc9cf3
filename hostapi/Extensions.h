#pragma once
// Operations a host may offer beyond the host libraries' published contract. The module
// never links against them: it looks each one up by its C name while it runs (the way a
// host finds the module's entries) and uses it only when the host offers it. A host that
// implements the contract alone still loads the module, which then does what the
// contract allows and tells the cashier only what that makes true.
//
// Each extension is a C variable holding a function pointer, exported by the library that
// implements it: null while the host does not offer the operation.

#include <QString>
#include <QVariant>

namespace hostapi::ext {

// possvc: settles now, as the terminal's next start would, the sale that the terminal's
// last close-out may have kept when its answer was lost — that sale alone, so that the
// answer is of the attempt that lost it and never of another sale left pending. A SAT
// sale with no CF-e, or an NFC-e sale whose NFC-e was not authorised, is cancelled and its
// points given back; one whose CF-e the device issued or whose NFC-e was authorised
// stands. `voRetorno` (answer::VendaCancelada): at Venda the sale's number when the
// close-out kept one (empty: it kept none); at DocumentoMantido its CF-e or NFC-e number
// when it stands; at Registro the cancelled-sale log's entry and at NfceCancelada its
// NFC-e number when it was cancelled. `resposta` receives empty text, or the error's text
// (the sale then stays to be settled).
using ResolveVendasPendentes = void (*)(QVariant& voRetorno, QString& resposta);
inline constexpr char kResolveVendasPendentes[] = "possvc_ResolveVendasPendentes";

}  // namespace hostapi::ext
