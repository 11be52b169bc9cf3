#include "platform/dataset/XmlValues.h"

#include "platform/dataset/PacketCodec.h"
#include "platform/dataset/XmlScanner.h"

#include "platform/Error.h"

#include <QtEndian>

namespace platform::packet {

namespace {

// Digits at text[pos..pos+n) as a number, or -1.
int digitsAt(QByteArrayView text, qsizetype pos, int n)
{
    if (pos < 0 || pos + n > text.size())
        return -1;
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const char c = text[pos + i];
        if (c < '0' || c > '9')
            return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

[[noreturn]] void badText(const FieldDef& def, QByteArrayView text)
{
    throw PacketError(QStringLiteral("field '%1': '%2' is not a valid %3")
                          .arg(def.name, QString::fromLatin1(text.first(qMin<qsizetype>(text.size(), 40))),
                               QString::fromLatin1(xmlTypeNameOf(def.type))));
}

QByteArray fromBase64(const FieldDef& def, QByteArrayView text)
{
    QByteArray compact;
    compact.reserve(text.size());
    for (char c : text)
        if (c != ' ' && c != '\r' && c != '\n' && c != '\t')
            compact.append(c);
    auto result = QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        badText(def, text);
    return *result;
}

}  // namespace

QDate parseXmlDate(QByteArrayView t)
{
    if (t.size() == 10 && t[4] == '-' && t[7] == '-')
        return QDate(digitsAt(t, 0, 4), digitsAt(t, 5, 2), digitsAt(t, 8, 2));
    // YYYYMMDD; years beyond 9999 have more digits and years before 1 a sign, as written.
    const bool negative = t.startsWith('-');
    const QByteArrayView body = negative ? t.sliced(1) : t;
    if (body.size() < 8 || body.size() > 13)
        return {};
    const int yearDigits = int(body.size()) - 4;
    const int year = digitsAt(body, 0, yearDigits);
    if (year < 0)
        return {};
    return QDate(negative ? -year : year, digitsAt(body, yearDigits, 2), digitsAt(body, yearDigits + 2, 2));
}

QTime parseXmlTime(QByteArrayView t)
{
    if (t.size() < 8 || t[2] != ':' || t[5] != ':')
        return {};
    const int h = digitsAt(t, 0, 2), m = digitsAt(t, 3, 2);
    if (t.size() == 11) {  // HH:MM:SSmmm
        const int ms = digitsAt(t, 6, 5);
        return ms < 0 ? QTime() : QTime(h, m, ms / 1000, ms % 1000);
    }
    const int s = digitsAt(t, 6, 2);
    if (t.size() == 8)
        return QTime(h, m, s);
    if ((t[8] == '.' || t[8] == ',') && t.size() > 9 && t.size() <= 12) {
        const QByteArrayView frac = t.sliced(9);
        int ms = digitsAt(frac, 0, int(frac.size()));
        for (qsizetype i = frac.size(); i < 3; ++i)
            ms *= 10;
        return ms < 0 ? QTime() : QTime(h, m, s, ms);
    }
    return {};
}

QDateTime parseXmlDateTime(QByteArrayView t)
{
    qsizetype sep = t.indexOf('T');
    if (sep < 0)
        sep = t.indexOf(' ');
    if (sep < 0) {
        const QDate d = parseXmlDate(t);
        return d.isValid() ? QDateTime(d, QTime(0, 0)) : QDateTime();
    }
    const QDate d = parseXmlDate(t.first(sep));
    QByteArrayView time = t.sliced(sep + 1);
    // An offset (SQLdateTimeOffset) or a zone letter after the time is not kept.
    for (qsizetype i = 8; i < time.size(); ++i)
        if (time[i] == '+' || time[i] == '-' || time[i] == 'Z') {
            time = time.first(i);
            break;
        }
    const QTime tm = parseXmlTime(time);
    return d.isValid() && tm.isValid() ? QDateTime(d, tm) : QDateTime();
}

namespace {
void appendPadded(QByteArray& out, int value, int width)
{
    if (value < 0) {
        out += '-';
        value = -value;
    }
    const QByteArray digits = QByteArray::number(value);
    out += QByteArray(qMax<qsizetype>(0, width - digits.size()), '0');
    out += digits;
}
}  // namespace

QByteArray formatXmlDate(const QDate& d)
{
    QByteArray out;
    appendPadded(out, d.year(), 4);
    appendPadded(out, d.month(), 2);
    appendPadded(out, d.day(), 2);
    return out;
}

QByteArray formatXmlTime(const QTime& t)
{
    QByteArray out;
    appendPadded(out, t.hour(), 2);
    out += ':';
    appendPadded(out, t.minute(), 2);
    out += ':';
    appendPadded(out, t.second() * 1000 + t.msec(), 5);
    return out;
}

QByteArray formatXmlDateTime(const QDateTime& dt)
{
    const QByteArray date = formatXmlDate(dt.date());
    if (dt.time().msecsSinceStartOfDay() == 0)
        return date;
    return date + 'T' + formatXmlTime(dt.time());
}

namespace {

// Texts are the attribute's text; memos stored as bin.hex are Base64 of their encoding.
QVariant textFromXml(const FieldDef& def, const QByteArray& subtype, QByteArrayView raw, const XmlScanner& scanner)
{
    if (!(def.type == FieldType::Memo || def.type == FieldType::WideMemo) || isTextSubtype(subtype))
        return scanner.decodeValue(raw);
    const QByteArray bytes = fromBase64(def, scanner.decode(raw).toLatin1());
    return def.type == FieldType::Memo ? fromCp1252(bytes) : fromUtf16Le(bytes);
}

QVariant integerFromXml(const FieldDef& def, QByteArrayView text)
{
    bool ok = false;
    qint64 v = text.toLongLong(&ok);
    if (def.type == FieldType::LargeInt) {
        if (!ok)
            v = qint64(text.toULongLong(&ok));  // ui8 beyond the signed range
        if (!ok)
            badText(def, text);
        return v;
    }
    // A value beyond the field's range would be cut on writing: refused here.
    const FieldTypeTraits& traits = traitsOf(def.type);
    if (!ok || v < traits.low || v > traits.high)
        badText(def, text);
    return isWideInteger(def.type) ? QVariant(v) : QVariant(int(v));
}

QVariant booleanFromXml(const FieldDef& def, QByteArrayView text)
{
    const char c = text[0];
    if (c == 'T' || c == 't' || c == '1')
        return true;
    if (c == 'F' || c == 'f' || c == '0')
        return false;
    badText(def, text);
}

QVariant floatFromXml(const FieldDef& def, QByteArrayView text)
{
    const auto v = parseDouble(text);
    if (!v)
        badText(def, text);
    // A single holds what a float holds, as the binary encoding keeps it; the shortest
    // text of a float reads back as that float, not as a nearby double.
    return def.type == FieldType::Single ? double(float(*v)) : *v;
}

// The value parsed by `parse`, refused when it is not valid.
template <typename Parse>
QVariant validFromXml(const FieldDef& def, QByteArrayView text, Parse parse)
{
    const auto value = parse(text);
    if (!value.isValid())
        badText(def, text);
    return value;
}

// Numbers, booleans, dates and times, from their trimmed, non-empty text.
QVariant scalarFromXml(const FieldDef& def, QByteArrayView text)
{
    switch (kindOf(def.type)) {
    case ValueKind::Integer: return integerFromXml(def, text);
    case ValueKind::Boolean: return booleanFromXml(def, text);
    case ValueKind::Float: return floatFromXml(def, text);
    case ValueKind::Date: return validFromXml(def, text, parseXmlDate);
    case ValueKind::Time: return validFromXml(def, text, parseXmlTime);
    case ValueKind::DateTime: return validFromXml(def, text, parseXmlDateTime);
    default: return {};
    }
}

}  // namespace

QVariant xmlTextToValue(const FieldDef& def, const QByteArray& subtype, QByteArrayView raw,
                        const XmlScanner& scanner)
{
    switch (kindOf(def.type)) {
    case ValueKind::Text: return textFromXml(def, subtype, raw, scanner);
    case ValueKind::Bytes: return fromBase64(def, scanner.decode(raw).toLatin1());
    case ValueKind::DataSet: return {};
    default: break;
    }
    QByteArray decoded;
    QByteArrayView text = raw;
    if (raw.contains('&')) {
        decoded = scanner.decode(raw).toLatin1();
        text = decoded;
    }
    text = text.trimmed();
    if (text.isEmpty())
        return {};
    return scalarFromXml(def, text);
}

}  // namespace platform::packet
