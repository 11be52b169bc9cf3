#pragma once
// The reference host's screen operations of possvc: the search list (Pesquisa), the wait
// indicator (AtivaProcesso / DesativaProcesso), the price lookup on the shop's price
// tables (ChamaFuncaoRetornaPreco) and the product's fiscal codes (getProdCodCestNcm),
// with the hooks of the host's scripted mode.
//
// Not thread-safe: called on the screen's thread only.

#include <QString>
#include <QVariant>

#include <functional>

class QWidget;

namespace possvc::sim {

// Assigns Pesquisa, AtivaProcesso, DesativaProcesso, ChamaFuncaoRetornaPreco and
// getProdCodCestNcm.
void installScreenOps();

// Scripted mode: the search list never opens a dialog; it answers from the queue and
// gives up when nothing is queued. Outside scripted mode a queued answer is still used
// first, and the dialog opens when the queue is empty.
void setScripted(bool on);
bool scripted();

// A queued answer of the next search list.
struct PickAnswer {
    enum class Kind { Row, Match, Cancel };
    Kind kind = Kind::Cancel;
    int row = 0;     // Row: 1-based, of the rows the list shows
    QString field;   // Match: the first row whose FIELD shows VALUE
    QString value;
};
void queuePick(const PickAnswer& answer);
// The text of a script's pick line after "pick ": "N", "FIELD=VALUE" or "cancel".
// Throws HostError on any other text.
void queuePick(const QString& text);
// The answer of the next price lookup (a price as decimal text or a refusal code),
// given instead of the price tables' answer.
void queuePrice(const QString& answer);
void clearQueues();
int pendingPicks();
int pendingPrices();

// The n-th next call (n >= 1) of the possvc operation `op` fails (Pesquisa gives up,
// operations without a boolean result throw HostError). Throws HostError for an
// operation possvc does not have.
void failNext(const QString& op, int n = 1);

// The database the price lookup and the fiscal codes read. By default the text that
// hostkit's GetStringConexQvn returns; a host or a test may supply its own. The
// connection is opened at the first lookup and kept until the source changes.
void setConnectionSource(std::function<QString()> source);
void closeConnection();

// The wait indicator currently shown, or nullptr.
QWidget* activeIndicator();

}  // namespace possvc::sim
