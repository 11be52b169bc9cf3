#include "platform/dataset/PacketCodec.h"

#include "platform/Error.h"

#include <QtEndian>

#include <charconv>
#include <cmath>
#include <cstring>

namespace platform::packet {

// ---- Windows-1252 -----------------------------------------------------------------

namespace {

// 0x80..0x9F; the undefined bytes keep their C1 code point.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char cp1252Byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return char(c);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c)
            return char(0x80 + i);
    return '?';
}

}  // namespace

bool isCp1252(char16_t c)
{
    return c == '?' || cp1252Byte(c) != '?';
}

qsizetype firstNotCp1252(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i].unicode() >= 0x80 && !isCp1252(text[i].unicode()))
            return i;
    return -1;
}

QString fromCp1252(const char* data, qsizetype size)
{
    // Latin-1 agrees with 1252 everywhere except 0x80..0x9F: take Qt's fast path
    // when none of those bytes occur.
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    qsizetype i = 0;
    while (i < size && (p[i] < 0x80 || p[i] >= 0xA0))
        ++i;
    if (i == size)
        return QString::fromLatin1(data, size);
    QString out(size, Qt::Uninitialized);
    char16_t* o = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype k = 0; k < size; ++k)
        o[k] = (p[k] >= 0x80 && p[k] < 0xA0) ? kCp1252High[p[k] - 0x80] : char16_t(p[k]);
    return out;
}

void appendCp1252(QByteArray& out, QStringView text)
{
    const qsizetype start = out.size();
    const char16_t* in = text.utf16();
    qsizetype i = 0;
    while (i < text.size() && in[i] < 0x80)
        ++i;
    if (i == text.size()) {  // plain ASCII, the usual case
        out.resize(start + text.size());
        char* o = out.data() + start;
        for (qsizetype k = 0; k < text.size(); ++k)
            o[k] = char(in[k]);
        return;
    }
    out.resize(start + text.size());
    char* o = out.data() + start;
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode()))
            ++i;  // one character, one '?'
        o[n++] = cp1252Byte(c);
    }
    out.resize(start + n);
}

QByteArray toCp1252(const QString& text)
{
    QByteArray out;
    appendCp1252(out, text);
    return out;
}

bool isValidUtf8(const char* data, qsizetype size)
{
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    qsizetype i = 0;
    while (i < size) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra;
        char32_t cp;
        if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
        else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
        else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
        else return false;
        if (i + extra >= size)
            return false;
        for (int k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        static constexpr char32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

QString decodeName(const char* data, qsizetype size)
{
    return isValidUtf8(data, size) ? QString::fromUtf8(data, size) : fromCp1252(data, size);
}

QByteArray toUtf16Le(QStringView text)
{
    QByteArray b(text.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        qToLittleEndian<quint16>(text[i].unicode(), b.data() + 2 * i);
    return b;
}

QString fromUtf16Le(QByteArrayView bytes, bool stopAtNul)
{
    QString s(bytes.size() / 2, Qt::Uninitialized);
    qsizetype n = 0;
    for (; n < s.size(); ++n) {
        const char16_t c = qFromLittleEndian<quint16>(bytes.data() + 2 * n);
        if (stopAtNul && c == 0)
            break;
        s[n] = QChar(c);
    }
    s.truncate(n);
    return s;
}

// ---- types ------------------------------------------------------------------------

namespace {

PacketError typeError(const QString& fieldName, quint32 word)
{
    return PacketError(QStringLiteral("field '%1' has an unsupported type (code %2, size %3)")
                           .arg(fieldName).arg(typeCode(word)).arg(typeUnits(word)));
}

FieldType blobTypeFor(const QByteArray& subtype)
{
    if (subtype == "Text" || subtype == "HMemo" || subtype == "Formatted")
        return FieldType::Memo;
    if (subtype == "WideText")
        return FieldType::WideMemo;
    if (subtype == "Graphics")
        return FieldType::Graphic;
    return FieldType::Blob;
}

}  // namespace

namespace {

using MaybeType = std::optional<FieldType>;

MaybeType integerTypeFor(quint32 code, quint32 units)
{
    const bool hasSign = code == TcInt;
    switch (units) {
    case 1: return hasSign ? FieldType::ShortInt : FieldType::Byte;
    case 2: return hasSign ? FieldType::SmallInt : FieldType::Word;
    case 4: return hasSign ? FieldType::Integer : FieldType::LongWord;
    case 8: return FieldType::LargeInt;
    default: return std::nullopt;
    }
}

// Texts and bytes: a varying one has a length prefix of 1, 2 or 4 bytes (blobs 4).
MaybeType textOrBytesTypeFor(quint32 code, quint32 units, bool varying, const QByteArray& subtype)
{
    const bool prefixed = units == 1 || units == 2 || units == 4;
    if (code == TcZString && (!varying || prefixed))
        return subtype == "FixedChar" ? FieldType::FixedChar : FieldType::String;
    if (code == TcUnicode && (!varying || prefixed))
        return FieldType::WideString;
    if (code != TcBytes)
        return std::nullopt;
    if (!varying)
        return FieldType::Bytes;
    if (units == 4)
        return blobTypeFor(subtype);
    if (units == 1 || units == 2)
        return FieldType::VarBytes;
    return std::nullopt;
}

// Booleans, numbers, dates and times, each of its own sizes.
MaybeType scalarTypeFor(quint32 code, quint32 units, bool varying, const QByteArray& subtype)
{
    switch (code) {
    case TcBool: return units == 1 || units == 2 || units == 4 ? MaybeType(FieldType::Boolean) : std::nullopt;
    case TcFloat:
        if (units != 8 && units != 10)
            return std::nullopt;
        return subtype == "Money" ? FieldType::Currency : FieldType::Float;
    case TcSingle: return units == 4 ? MaybeType(FieldType::Single) : std::nullopt;
    case TcBcd:
    case TcFmtBcd:
        if (units < 2 || units > 66 || varying)
            return std::nullopt;
        return code == TcBcd ? FieldType::Bcd : FieldType::FmtBcd;
    case TcDate: return units == 4 ? MaybeType(FieldType::Date) : std::nullopt;
    case TcTime: return units == 4 ? MaybeType(FieldType::Time) : std::nullopt;
    case TcTimeStamp: return units == 8 ? MaybeType(FieldType::DateTime) : std::nullopt;
    case TcDateTime: return units == 16 ? MaybeType(FieldType::TimeStamp) : std::nullopt;
    case TcDateTimeOffset: return units == 20 ? MaybeType(FieldType::TimeStamp) : std::nullopt;
    default: return std::nullopt;
    }
}

}  // namespace

FieldType fieldTypeFor(quint32 word, const QByteArray& subtype, const QString& name)
{
    const quint32 code = typeCode(word);
    const quint32 units = typeUnits(word);
    const bool varying = word & kVarying;
    MaybeType type;
    if (code == TcEmbedded)
        type = FieldType::DataSet;
    else if (code == TcInt || code == TcUInt)
        type = integerTypeFor(code, units);
    else if (code == TcZString || code == TcUnicode || code == TcBytes)
        type = textOrBytesTypeFor(code, units, varying, subtype);
    else
        type = scalarTypeFor(code, units, varying, subtype);
    if (!type)
        throw typeError(name, word);
    return *type;
}

quint32 typeWordFor(const FieldDef& def)
{
    const FieldTypeTraits& traits = traitsOf(def.type);
    if (traits.binaryUnits > 0)
        return makeTypeWord(traits.binaryCode, traits.binaryUnits, traits.varying ? kVarying : 0);
    // The rest take their size from the definition.
    const int size = def.size;
    switch (def.type) {
    case FieldType::String:
    case FieldType::FixedChar:
        return makeTypeWord(TcZString, size > 0 && size < 255 ? 1 : 2, kVarying);
    case FieldType::WideString:
        return makeTypeWord(TcUnicode, size > 0 && 2 * size < 255 ? 1 : 2, kVarying);
    case FieldType::Bcd:
    case FieldType::FmtBcd: return makeTypeWord(traits.binaryCode, bcdByteSize(size));
    case FieldType::Bytes: return makeTypeWord(TcBytes, quint32(qBound(0, size, 0xFFFF)));
    case FieldType::DataSet:
        return makeTypeWord(TcEmbedded, quint32(def.children.size()), kPseudo | kEmbeddedTable);
    default: return 0;
    }
}

QByteArray defaultSubtype(FieldType type)
{
    const char* subtype = traitsOf(type).subtype;
    return *subtype ? QByteArray(subtype) : QByteArray();
}

QByteArray xmlTypeNameOf(FieldType type)
{
    return traitsOf(type).xmlType;
}

std::optional<FieldType> fieldTypeForXml(QByteArray name, const QByteArray& subtype, bool hasWidth)
{
    name = name.toLower();
    if (name == "string") return subtype == "FixedChar" ? FieldType::FixedChar : FieldType::String;
    if (name == "string.uni") return FieldType::WideString;
    if (name == "i1") return FieldType::ShortInt;
    if (name == "i2") return FieldType::SmallInt;
    if (name == "i4" || name == "i" || name == "int") return FieldType::Integer;
    if (name == "i8" || name == "ui8") return FieldType::LargeInt;
    if (name == "ui1") return FieldType::Byte;
    if (name == "ui2") return FieldType::Word;
    if (name == "ui4" || name == "ui" || name == "uint") return FieldType::LongWord;
    if (name == "boolean") return FieldType::Boolean;
    if (name == "r4") return FieldType::Single;
    if (name == "r8" || name == "r10") return subtype == "Money" ? FieldType::Currency : FieldType::Float;
    if (name == "fixed") return FieldType::Bcd;
    if (name == "fixedfmt") return FieldType::FmtBcd;
    if (name == "date") return FieldType::Date;
    if (name == "time") return FieldType::Time;
    if (name == "datetime") return FieldType::DateTime;
    if (name == "sqldatetime" || name == "sqldatetimeoffset") return FieldType::TimeStamp;
    if (name == "bin.hex") {
        if (subtype.isEmpty() && hasWidth)
            return FieldType::Bytes;
        return blobTypeFor(subtype);
    }
    if (name == "nested") return FieldType::DataSet;
    return std::nullopt;
}

int bcdByteSize(int precision)
{
    if (precision <= 0 || precision > 64)
        precision = 32;
    int m = (precision + 1) / 2;
    if (m % 2)
        ++m;
    return 2 + m;
}

bool isTextSubtype(const QByteArray& subtype)
{
    return subtype == "Text" || subtype == "WideText";
}

int widthParamFor(const FieldDef& def)
{
    if (def.type == FieldType::Bcd || def.type == FieldType::FmtBcd)
        return def.size;  // the precision, always written
    const ValueKind kind = kindOf(def.type);
    if ((kind != ValueKind::Text && kind != ValueKind::Bytes) || def.size <= 0)
        return -1;
    return def.type == FieldType::WideString ? 2 * def.size : def.size;  // UTF-16: bytes
}

void checkValueFits(const FieldDef& def, QVariant& value)
{
    auto tooLong = [&def](qsizetype n, qsizetype max, const char* unit) {
        throw PacketError(QStringLiteral("field '%1': a value of %2 %3 does not fit its size of %4")
                              .arg(def.name).arg(n).arg(QLatin1String(unit)).arg(max));
    };
    switch (def.type) {
    case FieldType::String:
    case FieldType::FixedChar:
    case FieldType::WideString: {
        if (value.typeId() != QMetaType::QString)
            return;
        const qsizetype n = static_cast<const QString*>(value.constData())->size();
        const qsizetype max = def.size > 0 ? def.size : def.type == FieldType::WideString ? 0x7FFF : 0xFFFF;
        if (n > max)
            tooLong(n, max, "characters");
        return;
    }
    case FieldType::Bcd:
    case FieldType::FmtBcd: {
        // More decimals than the field's scale would be rounded away on writing.
        if (value.typeId() != QMetaType::Double)
            return;
        const double v = value.toDouble();
        if (v == 0) {
            value = 0.0;  // a negative zero is written as zero
            return;
        }
        const int precision = qMin(def.size > 0 ? def.size : 32, 2 * (bcdByteSize(def.size) - 2));
        const int scale = qBound(0, def.decimals, qMin(precision, 63));
        const auto back = parseDouble(formatDecimal(v, scale));
        if (std::isfinite(v) && (!back || *back != v))
            throw PacketError(QStringLiteral("field '%1': the value %2 has more decimals than its %3")
                                  .arg(def.name, QString::fromLatin1(formatDouble(v)))
                                  .arg(scale));
        return;
    }
    case FieldType::Bytes:
    case FieldType::VarBytes: {
        if (value.typeId() != QMetaType::QByteArray)
            return;
        QByteArray* bytes = static_cast<QByteArray*>(value.data());
        const qsizetype max = def.type == FieldType::Bytes ? qBound(0, def.size, 0xFFFF) : 0xFFFF;
        if (bytes->size() > max)
            tooLong(bytes->size(), max, "bytes");
        if (def.type == FieldType::Bytes && bytes->size() < max)
            bytes->resize(max, '\0');
        return;
    }
    default:
        return;
    }
}

}  // namespace platform::packet
