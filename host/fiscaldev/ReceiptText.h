#pragma once
// The simulated printer's paper: the lines of a 48-column receipt, as a fiscal printer
// prints them. Pure functions of their arguments (no state, no files); amounts are
// written the Brazilian way (comma, two decimals) whatever the system locale.

#include "FiscaldevExport.h"
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace fiscaldev::sim::text {

inline constexpr int kWidth = 48;

// "25,90"; quantities with three decimals ("1,000") through `decimals`.
FISCALDEV_EXPORT QString money(double value, int decimals = 2);
// `left` and `right` on one line of `width`, the gap filled with blanks; a `left` too
// long is cut so that `right` always shows whole.
FISCALDEV_EXPORT QString spread(const QString& left, const QString& right, int width = kWidth);
FISCALDEV_EXPORT QString centred(const QString& text, int width = kWidth);
// Word-wrapped lines of at most `width` characters (long words are cut).
FISCALDEV_EXPORT QStringList wrapped(const QString& text, int width = kWidth);
FISCALDEV_EXPORT QString rule(QChar c = QLatin1Char('-'));
FISCALDEV_EXPORT QString number6(int n);  // "000123"

struct Opening {
    QString serial;
    QDateTime when;
    int coo = 0;
    int ccf = 0;
    QString cpf, name, address;
};
FISCALDEV_EXPORT QStringList openingLines(const Opening& o);

struct FISCALDEV_EXPORT Item {
    int number = 0;
    QString code, description, unit;
    QString taxCode, taxType, rate;  // printer's code, tax type, rate text
    double quantity = 0, unitPrice = 0, discount = 0, surcharge = 0;
    double total() const;            // quantity * unit price - discount + surcharge, to the cent
};
FISCALDEV_EXPORT QStringList itemLines(const Item& item);

struct Closing {
    double subtotal = 0;
    double discount = 0;
    double total = 0;
    QString operatorCode, operatorName, password, footnote, md5;
    QDateTime when;
    int coo = 0;
};
FISCALDEV_EXPORT QStringList closingLines(const Closing& c);

struct Cancellation {
    QDateTime when;
    int coo = 0;            // the cancellation's own document number (0: cancelled while open)
    int cancelledCoo = 0;
    double total = 0;
    QString reason;
};
FISCALDEV_EXPORT QStringList cancellationLines(const Cancellation& c);

}  // namespace fiscaldev::sim::text
