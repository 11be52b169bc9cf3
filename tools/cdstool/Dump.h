#pragma once
// The forms of cdstool dump, and the one-line text of a value that they share with the
// other commands' messages.

#include <QJsonValue>
#include <QString>

namespace cdstool {

// A JSON value as one line of text; null is empty.
QString cellText(const QJsonValue& v);

}  // namespace cdstool
