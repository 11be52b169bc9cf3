#pragma once
// Texts as the cashier's locale writes them. The suites that run the screen or the host
// run once in pt_BR.UTF-8 and once in C.UTF-8; a price lookup answers in the system's
// locale (12,50 or 12.50), so a script's scripted answer must be written the same way.

#include <QLocale>
#include <QString>

namespace testsupport {

// `value` with two decimals and the system locale's separator, no grouping.
inline QString localMoney(double value)
{
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', 2);
}

}  // namespace testsupport
