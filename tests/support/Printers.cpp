#include "Printers.h"

#include "platform/dataset/DataPacket.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>

#include <ostream>

namespace {

void printHex(unsigned value, int digits, std::ostream* os)
{
    static const char kDigits[] = "0123456789ABCDEF";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        *os << kDigits[(value >> shift) & 0xF];
}

// The escape of an ASCII character that needs one inside double quotes, or nullptr.
const char* escapeOf(char16_t c)
{
    switch (c) {
    case '"': return "\\\"";
    case '\\': return "\\\\";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: return nullptr;
    }
}

// Whether the value has a text to show beside its type (a dataset has none).
bool hasText(const QVariant& value)
{
    return value.metaType().id() != QMetaType::Nullptr
           && (value.metaType().id() == QMetaType::QVariantList || value.canConvert<QString>());
}

void printVariantValue(const QVariant& value, std::ostream* os)
{
    switch (value.metaType().id()) {
    case QMetaType::QString: return PrintTo(value.toString(), os);
    case QMetaType::QByteArray: return PrintTo(value.toByteArray(), os);
    case QMetaType::QDate: return PrintTo(value.toDate(), os);
    case QMetaType::QTime: return PrintTo(value.toTime(), os);
    case QMetaType::QDateTime: return PrintTo(value.toDateTime(), os);
    case QMetaType::QVariantList: {
        *os << "{";
        const QVariantList list = value.toList();
        for (qsizetype i = 0; i < list.size(); ++i) {
            *os << (i ? ", " : " ");
            PrintTo(list[i], os);
        }
        *os << (list.isEmpty() ? "}" : " }");
        return;
    }
    default: *os << value.toString().toStdString();
    }
}

}  // namespace

void PrintTo(const QString& text, std::ostream* os)
{
    QString shown;
    for (const QChar c : text) {
        if (const char* escape = escapeOf(c.unicode()))
            shown += QLatin1String(escape);
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.isSurrogate())
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    // Lone surrogates were escaped above: the UTF-8 is whole.
    *os << '"' << shown.toStdString() << '"';
}

void PrintTo(QChar c, std::ostream* os)
{
    PrintTo(QString(c), os);
}

void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << '"';
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (const char* escape = escapeOf(b)) {
            *os << escape;
        } else if (b >= 0x20 && b < 0x7F) {
            *os << ch;
        } else {
            *os << "\\x";
            printHex(b, 2, os);
        }
    }
    *os << '"';
}

void PrintTo(const QVariant& value, std::ostream* os)
{
    if (!value.isValid()) {
        *os << "QVariant()";
        return;
    }
    *os << "QVariant(" << value.typeName();
    if (hasText(value)) {
        *os << ", ";
        printVariantValue(value, os);
    }
    *os << ")";
}

void PrintTo(const QDate& date, std::ostream* os)
{
    *os << (date.isValid() ? date.toString(Qt::ISODate).toStdString() : std::string("QDate()"));
}

void PrintTo(const QTime& time, std::ostream* os)
{
    *os << (time.isValid() ? time.toString(Qt::ISODateWithMs).toStdString() : std::string("QTime()"));
}

void PrintTo(const QDateTime& dateTime, std::ostream* os)
{
    *os << (dateTime.isValid() ? dateTime.toString(Qt::ISODateWithMs).toStdString() : std::string("QDateTime()"));
}

namespace platform {

void PrintTo(PacketFormat format, std::ostream* os)
{
    switch (format) {
    case PacketFormat::Binary: *os << "binary"; return;
    case PacketFormat::Xml: *os << "xml"; return;
    case PacketFormat::XmlUtf8: *os << "xml-utf8"; return;
    }
    *os << "PacketFormat(" << int(format) << ")";
}

}  // namespace platform
