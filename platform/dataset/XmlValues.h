#pragma once
// Field values as text in XML packets: dates as YYYYMMDD, times as HH:MM:SSmmm,
// booleans as TRUE/FALSE, binary values in Base64, memos as plain text.

#include "platform/dataset/FieldDef.h"

#include <QByteArray>
#include <QDateTime>

namespace platform::packet {

class XmlScanner;

// The value of a ROW attribute (raw bytes, entities not yet expanded). An empty text is
// null for every type but texts. Throws PacketError (naming the field) on a bad value.
QVariant xmlTextToValue(const FieldDef& def, const QByteArray& subtype, QByteArrayView raw,
                        const XmlScanner& scanner);

QByteArray formatXmlDate(const QDate& d);
QByteArray formatXmlTime(const QTime& t);
QByteArray formatXmlDateTime(const QDateTime& dt);  // date only when the time is midnight

// Readers of the same forms; also accept ISO forms (2024-05-01, 10:30:00.250).
QDate parseXmlDate(QByteArrayView text);
QTime parseXmlTime(QByteArrayView text);
QDateTime parseXmlDateTime(QByteArrayView text);

}  // namespace platform::packet
