// Number texts, BCD bytes and date cells shared by the packet encodings.

#include "platform/dataset/PacketCodec.h"

#include "platform/Error.h"

#include <QDateTime>

#include <charconv>
#include <cmath>

namespace platform::packet {

QByteArray formatDouble(double v, bool single)
{
    if (std::isnan(v))
        return "NAN";
    if (std::isinf(v))
        return v > 0 ? "INF" : "-INF";
    char buf[64];
    const auto r = single ? std::to_chars(buf, buf + sizeof buf, float(v))
                          : std::to_chars(buf, buf + sizeof buf, v);
    return QByteArray(buf, r.ptr - buf);
}

std::optional<double> parseDouble(QByteArrayView text)
{
    text = text.trimmed();
    const bool negative = text.startsWith('-');
    const QByteArrayView body = negative || text.startsWith('+') ? text.sliced(1) : text;
    if (body.compare("NAN", Qt::CaseInsensitive) == 0)
        return std::nan("");
    if (body.compare("INF", Qt::CaseInsensitive) == 0 || body.compare("INFINITY", Qt::CaseInsensitive) == 0)
        return negative ? -HUGE_VAL : HUGE_VAL;
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

QByteArray formatDecimal(double value, int scale)
{
    QByteArray text = QByteArray::number(value, 'f', qBound(0, scale, 60));
    if (text.contains('.')) {
        while (text.endsWith('0'))
            text.chop(1);
        if (text.endsWith('.'))
            text.chop(1);
    }
    if (text == "-0")
        text = "0";
    return text;
}

QByteArray encodeBcd(double value, int precision, int scale, int byteSize, const QString& fieldName)
{
    if (precision <= 0)
        precision = 32;
    precision = qMin(precision, 2 * (byteSize - 2));
    scale = qBound(0, scale, qMin(precision, 63));
    if (!std::isfinite(value))
        throw PacketError(QStringLiteral("field '%1': %2 is not a decimal number").arg(fieldName).arg(value));
    QByteArray text = QByteArray::number(std::fabs(value), 'f', scale);
    QByteArray intPart = text, fracPart;
    if (const qsizetype dot = text.indexOf('.'); dot >= 0) {
        intPart = text.left(dot);
        fracPart = text.mid(dot + 1);
    }
    while (intPart.startsWith('0'))
        intPart.remove(0, 1);
    if (intPart.size() > precision - scale)
        throw PacketError(QStringLiteral("field '%1': %2 does not fit %3 digits with %4 decimals")
                              .arg(fieldName).arg(value).arg(precision).arg(scale));
    const QByteArray digits = QByteArray(precision - scale - intPart.size(), '0') + intPart + fracPart;
    const bool negative = value < 0 && digits.count('0') != digits.size();
    QByteArray out(byteSize, '\0');
    out[0] = char(precision);
    out[1] = char((negative ? 0x80 : 0) | scale);
    for (int i = 0; i < precision; ++i) {
        const int d = digits[i] - '0';
        out[2 + i / 2] = char(quint8(out[2 + i / 2]) | (i % 2 ? d : d << 4));
    }
    return out;
}

std::optional<double> decodeBcd(const char* data, int size)
{
    if (size < 2)
        return std::nullopt;
    const int precision = quint8(data[0]);
    const int scale = quint8(data[1]) & 0x3F;
    const bool negative = quint8(data[1]) & 0x80;
    if (precision > 2 * (size - 2) || scale > precision)
        return std::nullopt;
    QByteArray text;
    text.reserve(precision + 2);
    if (negative)
        text.append('-');
    for (int i = 0; i < precision; ++i) {
        if (i == precision - scale)
            text.append(i == 0 ? "0." : ".");
        const quint8 byte = quint8(data[2 + i / 2]);
        const int d = i % 2 ? (byte & 0x0F) : (byte >> 4);
        if (d > 9)
            return std::nullopt;
        text.append(char('0' + d));
    }
    if (precision == 0 || text == "-")
        return 0.0;
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

QDate dateOfValue(const QVariant& v)
{
    return v.metaType().id() == QMetaType::QDateTime ? v.toDateTime().date() : v.toDate();
}

QTime timeOfValue(const QVariant& v)
{
    return v.metaType().id() == QMetaType::QDateTime ? v.toDateTime().time() : v.toTime();
}

QDateTime dateTimeOfValue(const QVariant& v)
{
    const QDateTime dt = v.toDateTime();
    if (!dt.isValid() && v.toDate().isValid())
        return QDateTime(v.toDate(), QTime(0, 0));
    return dt;
}

}  // namespace platform::packet
