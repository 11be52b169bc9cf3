#pragma once
// Recording fakes in place of the host libraries for the screen's tests: the search list
// and the price lookup of possvc answer from queues, the wait indicator is recorded, and
// hostkit's message presenter records what would be shown. Everything the screen calls
// is recorded in order.

#include "host/hostkit/HostHooks.h"
#include "hostapi/hostkit.h"
#include "hostapi/possvc.h"

#include <QApplication>
#include <QList>
#include <QString>
#include <QStringList>

#include <deque>

namespace testsupport {

struct SearchCall {
    QString dataSet;
    QStringList visibleFields;  // the fields the list would show
    int rows = 0;
    QVariantList args;          // arguments after the dataset
};

struct PriceCall {
    QVariantList block;
    int highest = -1;
    bool freshRetorno = false;  // voRetorno was a new array of 10 nulls
};

class HostFakes {
public:
    HostFakes();
    ~HostFakes();

    // Answers of the next search lists: a 1-based row, or 0 for giving up. With nothing
    // queued the list gives up.
    std::deque<int> picks;
    // Answers of the next price lookups. With nothing queued: "10,00" in the locale's form.
    std::deque<QString> prices;

    QList<SearchCall> searches;
    QList<PriceCall> priceCalls;
    int indicators = 0;  // wait indicators shown (AtivaProcesso)
    QList<hostkit::MessageRequest> messages;
    QStringList messageTexts() const;  // as shown, reason lines included
    QStringList messageHeads() const;  // without their reason lines

    // A message's text without its reason line ("\nMotivo: ..."), and that reason ("" when
    // it has none).
    static QString headOf(const QString& text);
    static QString reasonOf(const QString& text);
    QStringList errors;  // what reached the application's error display
};

}  // namespace testsupport
