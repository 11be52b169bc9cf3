#pragma once
// The reference host's screen operations of possvc: the search list (Pesquisa), the wait
// indicator (AtivaProcesso / DesativaProcesso), the price lookup on the shop's price
// tables (ChamaFuncaoRetornaPreco) and the product's fiscal codes (getProdCodCestNcm),
// with the hooks of the host's scripted mode.
//
// Not thread-safe: called on the screen's thread only.

#include "PossvcExport.h"
#include <QString>
#include <QVariant>

#include <functional>

class QWidget;

namespace possvc::sim {

// Assigns Pesquisa, AtivaProcesso, DesativaProcesso, ChamaFuncaoRetornaPreco and
// getProdCodCestNcm.
POSSVC_EXPORT void installScreenOps();

// Scripted mode: the search list never opens a dialog; it answers from the queue and
// gives up when nothing is queued. Outside scripted mode a queued answer is still used
// first, and the dialog opens when the queue is empty.
POSSVC_EXPORT void setScripted(bool on);
POSSVC_EXPORT bool scripted();

// A queued answer of the next search list.
struct PickAnswer {
    enum class Kind { Row, Match, Cancel };
    Kind kind = Kind::Cancel;
    int row = 0;     // Row: 1-based, of the rows the list shows
    QString field;   // Match: the first row whose FIELD shows VALUE
    QString value;
};
POSSVC_EXPORT void queuePick(const PickAnswer& answer);
// The text of a script's pick line after "pick ": "N", "FIELD=VALUE" or "cancel".
// Throws HostError on any other text.
POSSVC_EXPORT void queuePick(const QString& text);
// The answer of the next price lookup (a price as decimal text or a refusal code),
// given instead of the price tables' answer.
POSSVC_EXPORT void queuePrice(const QString& answer);
POSSVC_EXPORT void clearQueues();
POSSVC_EXPORT int pendingPicks();
POSSVC_EXPORT int pendingPrices();

// The n-th next call (n >= 1) of the possvc operation `op` fails (Pesquisa gives up,
// operations without a boolean result throw HostError). Throws HostError for an
// operation possvc does not have.
POSSVC_EXPORT void failNext(const QString& op, int n = 1);

// The database the price lookup and the fiscal codes read. By default the text that
// hostkit's GetStringConexQvn returns; a host or a test may supply its own. The
// connection is opened at the first lookup and kept until the source changes.
POSSVC_EXPORT void setConnectionSource(std::function<QString()> source);
POSSVC_EXPORT void closeConnection();

// The wait indicator currently shown, or nullptr.
POSSVC_EXPORT QWidget* activeIndicator();

}  // namespace possvc::sim
