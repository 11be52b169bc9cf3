// Optional parameters of packets and fields: their binary bytes, their XML text, and
// the set our writers emit.

#include "platform/dataset/PacketCodec.h"

#include "platform/Error.h"

#include <QSet>
#include <QtEndian>

namespace platform::packet {

namespace {

constexpr quint32 kStringParam = 0x00490002;  // ZSTRING, varying, 2-byte length
constexpr quint32 kUInt16Param = 0x00020002;
constexpr quint32 kInt32Param = 0x00010004;
constexpr quint32 kUInt16Array = 0x00820002;
constexpr quint32 kUInt32Array = 0x00820004;
constexpr quint32 kBoolParam = 0x00030002;
constexpr int kMaxShortName = 31;  // bytes of a name in a binary descriptor

void appendLE(QByteArray& out, quint64 v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

quint64 readLE(const char* p, int bytes)
{
    quint64 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | quint8(p[i]);
    return v;
}

qint64 signExtend(quint64 v, int bytes)
{
    if (bytes >= 8)
        return qint64(v);
    const quint64 sign = quint64(1) << (8 * bytes - 1);
    return qint64((v ^ sign) - sign);
}

bool scalarIntType(quint32 word)
{
    const quint32 code = typeCode(word), units = typeUnits(word);
    return (code == TcInt || code == TcUInt || code == TcBool)
           && (units == 1 || units == 2 || units == 4 || units == 8);
}

// Whether v is representable in `units` bytes, signed or unsigned (a negative WIDTH
// must not wrap around to 65531).
bool fitsInteger(qint64 v, bool isSigned, int units)
{
    if (units >= 8)
        return isSigned || v >= 0;
    const qint64 range = qint64(1) << (8 * units);
    return isSigned ? (v >= -range / 2 && v < range / 2) : (v >= 0 && v < range);
}

PacketError badParam(const QByteArray& name, const QString& text)
{
    return PacketError(QStringLiteral("parameter %1: '%2' is not a valid value")
                           .arg(QString::fromLatin1(name), text.left(40)));
}

}  // namespace

PacketParam makeIntParam(const QByteArray& name, quint32 typeWord, qint64 value, int field)
{
    PacketParam p{name, typeWord, {}, field};
    appendLE(p.raw, quint64(value), int(typeUnits(typeWord)));
    return p;
}

PacketParam makeStringParam(const QByteArray& name, const QByteArray& text, int field)
{
    PacketParam p{name, kStringParam, {}, field};
    const QByteArray body = text.left(0xFFFE);
    appendLE(p.raw, quint64(body.size() + 1), 2);
    p.raw += body;
    p.raw.append('\0');
    return p;
}

std::optional<qint64> paramInt(const PacketParam& p)
{
    if ((p.typeWord & (kVarying | kArrayParam)) || !scalarIntType(p.typeWord))
        return std::nullopt;
    const int units = int(typeUnits(p.typeWord));
    if (p.raw.size() != units)
        return std::nullopt;
    const quint64 v = readLE(p.raw.constData(), units);
    return typeCode(p.typeWord) == TcInt ? signExtend(v, units) : qint64(v);
}

QByteArray paramString(const PacketParam& p)
{
    if (!(p.typeWord & kVarying))
        return {};
    const int prefix = int(typeUnits(p.typeWord));
    if (prefix != 1 && prefix != 2 && prefix != 4)
        return {};
    if (p.raw.size() < prefix)
        return {};
    QByteArray body = p.raw.mid(prefix);
    while (body.endsWith('\0'))
        body.chop(1);
    return body;
}

QList<qint64> paramIntArray(const PacketParam& p)
{
    QList<qint64> out;
    const int units = int(typeUnits(p.typeWord));
    if (!(p.typeWord & kArrayParam) || !scalarIntType(p.typeWord) || p.raw.size() < 4)
        return out;
    const quint64 count = readLE(p.raw.constData(), 4);
    if (count > quint64((p.raw.size() - 4) / units))
        return out;
    for (quint64 i = 0; i < count; ++i) {
        const quint64 v = readLE(p.raw.constData() + 4 + i * units, units);
        out.append(typeCode(p.typeWord) == TcInt ? signExtend(v, units) : qint64(v));
    }
    return out;
}

quint32 knownParamType(const QByteArray& name, bool tableLevel)
{
    if (!tableLevel) {
        if (name == "WIDTH" || name == "DECIMALS")
            return kUInt16Param;
        if (name == "SUBTYPE")
            return kStringParam;
        return 0;
    }
    if (name == "LCID" || name == "AUTOINCVALUE" || name == "DATASET_DELTA" || name == "MD_SEMANTICS"
        || name == "UPDATEMODE")
        return kInt32Param;
    if (name == "DEFAULT_ORDER" || name == "PRIMARY_KEY" || name == "UNIQUE_KEY")
        return kUInt16Array;
    if (name == "CHANGE_LOG")
        return kUInt32Array;
    if (name == "READONLY")
        return kBoolParam;
    if (name == "SERVER_COL" || name == "TYPENAME")
        return kStringParam;
    return 0;
}

QString paramToText(const PacketParam& p)
{
    const quint32 code = typeCode(p.typeWord);
    if (p.typeWord & kArrayParam) {
        QStringList parts;
        for (qint64 v : paramIntArray(p))
            parts.append(QString::number(v));
        return parts.join(QLatin1Char(' '));
    }
    if (p.typeWord & kVarying) {
        const QByteArray body = paramString(p);
        if (code == TcZString)
            return decodeName(body.constData(), body.size());
        return QString::fromLatin1(body.toBase64());
    }
    if (code == TcBool)
        return paramInt(p).value_or(0) ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    if (auto v = paramInt(p))
        return QString::number(*v);
    if (code == TcFloat && p.raw.size() == 8)
        return QString::fromLatin1(formatDouble(qFromLittleEndian<double>(p.raw.constData())));
    return QString::fromLatin1(p.raw.toBase64());
}

PacketParam paramFromText(const QByteArray& name, quint32 typeWord, const QString& text, int field)
{
    PacketParam p{name, typeWord, {}, field};
    const quint32 code = typeCode(typeWord);
    const int units = int(typeUnits(typeWord));
    if (typeWord & kArrayParam) {
        if (!scalarIntType(typeWord))
            throw badParam(name, text);
        const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        appendLE(p.raw, quint64(parts.size()), 4);
        for (const QString& part : parts) {
            bool ok = false;
            const qint64 v = part.toLongLong(&ok);
            if (!ok || !fitsInteger(v, code == TcInt, units))
                throw badParam(name, text);
            appendLE(p.raw, quint64(v), units);
        }
        return p;
    }
    if (typeWord & kVarying) {
        if (units != 1 && units != 2 && units != 4)
            throw badParam(name, text);
        QByteArray body = code == TcZString ? text.toUtf8() : QByteArray::fromBase64(text.toLatin1());
        if (code == TcZString)
            body.append('\0');
        const qint64 max = units == 4 ? 0x7FFFFFFF : (qint64(1) << (8 * units)) - 1;
        body = body.left(max);
        appendLE(p.raw, quint64(body.size()), units);
        p.raw += body;
        return p;
    }
    if (code == TcBool) {
        const QChar c = text.isEmpty() ? QChar() : text.at(0).toUpper();
        appendLE(p.raw, (c == QLatin1Char('T') || c == QLatin1Char('1')) ? 1 : 0, units);
        return p;
    }
    if (scalarIntType(typeWord)) {
        bool ok = false;
        const qint64 v = text.trimmed().toLongLong(&ok);
        if (!ok || !fitsInteger(v, code == TcInt, units))
            throw badParam(name, text);
        appendLE(p.raw, quint64(v), units);
        return p;
    }
    if (code == TcFloat && units == 8) {
        const auto v = parseDouble(text.toLatin1());
        if (!v)
            throw badParam(name, text);
        p.raw.resize(8);
        qToLittleEndian(*v, p.raw.data());
        return p;
    }
    throw badParam(name, text);
}

namespace {
struct XmlParamType {
    const char* name;
    quint32 word;
};
constexpr XmlParamType kXmlParamTypes[] = {
    {"i1", 0x00010001}, {"i2", 0x00010002}, {"i4", 0x00010004}, {"i8", 0x00010008},
    {"ui1", 0x00020001}, {"ui2", 0x00020002}, {"ui4", 0x00020004}, {"ui8", 0x00020008},
    {"boolean", kBoolParam}, {"r8", 0x00040008}, {"string", kStringParam},
    {"bin.hex", 0x004B0002}, {"IntArray", 0x00810004}, {"UIntArray", kUInt32Array},
};
}  // namespace

quint32 paramTypeForXml(const QByteArray& xmlType)
{
    for (const auto& t : kXmlParamTypes)
        if (xmlType.compare(t.name, Qt::CaseInsensitive) == 0)
            return t.word;
    return 0;
}

QByteArray xmlNameOfParamType(quint32 typeWord)
{
    for (const auto& t : kXmlParamTypes)
        if (t.word == (typeWord & 0x7FFFFFFF))
            return t.name;
    if (typeWord & kArrayParam)
        return typeCode(typeWord) == TcUInt ? "UIntArray" : "IntArray";
    if ((typeWord & kVarying) && typeCode(typeWord) == TcZString)
        return "string";
    return "bin.hex";  // anything else travels as its bytes in Base64
}

// ---- what the writers emit --------------------------------------------------------

namespace {

// WIDTH and DECIMALS are written as the plain integer types the host uses; a stored one
// of another form (a byte string, an array, a varying word) is replaced, and a stored
// integer too narrow for the value is widened.
quint32 sizeParamType(const PacketParam* stored, qint64 value)
{
    if (!stored)
        return kUInt16Param;
    const quint32 word = stored->typeWord & ~0x80000000u;
    for (const quint32 plain : {kUInt16Param, quint32(0x00010002), kInt32Param, quint32(0x00020004)})
        if (word == plain && (typeUnits(word) >= 4 || value <= 0x7FFF))
            return word;  // a plain integer type, wide enough: kept
    return kUInt16Param;
}

bool isSizeParam(const QByteArray& name)
{
    return name == "WIDTH" || name == "DECIMALS" || name == "SUBTYPE" || name == "FIELDNAME";
}

}  // namespace

QList<QList<PacketParam>> fieldParamGroups(const QList<PacketParam>& params, int fieldCount)
{
    QList<QList<PacketParam>> groups(fieldCount);
    for (const PacketParam& p : params)
        if (p.field >= 0 && p.field < fieldCount)
            groups[p.field].append(p);
    return groups;
}

QList<PacketParam> paramsForField(const FieldDef& def, int index, const QList<PacketParam>& stored)
{
    const int width = widthParamFor(def);
    const bool decimal = def.type == FieldType::Bcd || def.type == FieldType::FmtBcd;
    const QByteArray wantedSubtype = defaultSubtype(def.type);
    const QByteArray nameBytes = def.name.toUtf8();
    const PacketParam *storedWidth = nullptr, *storedDecimals = nullptr, *storedSubtype = nullptr;

    // The parameters that describe the field are written once each, from the definition;
    // every other parameter is kept as it was stored.
    QList<PacketParam> out;
    for (const PacketParam& p : stored) {
        if (p.name == "WIDTH" && !storedWidth)
            storedWidth = &p;
        else if (p.name == "DECIMALS" && !storedDecimals)
            storedDecimals = &p;
        else if (p.name == "SUBTYPE" && !storedSubtype)
            storedSubtype = &p;
        else if (!isSizeParam(p.name))
            out.append(p);
    }
    QByteArray subtype = wantedSubtype;
    if (storedSubtype && (storedSubtype->typeWord & kVarying) && typeCode(storedSubtype->typeWord) == TcZString) {
        // Keep a stored subtype that means the same type (e.g. "HMemo" for a memo).
        const QByteArray text = paramString(*storedSubtype);
        try {
            if (!text.isEmpty() && fieldTypeFor(typeWordFor(def), text, def.name) == def.type)
                subtype = text;
        } catch (const PacketError&) {
        }
    }
    QList<PacketParam> own;
    if (!subtype.isEmpty())
        own.append(makeStringParam("SUBTYPE", subtype, index));
    if (width >= 0)
        own.append(makeIntParam("WIDTH", sizeParamType(storedWidth, width), width, index));
    if (decimal)
        own.append(makeIntParam("DECIMALS", sizeParamType(storedDecimals, def.decimals), def.decimals, index));
    if (nameBytes.size() > kMaxShortName)
        own.append(makeStringParam("FIELDNAME", nameBytes, index));
    return own + out;
}

QList<FieldParams> fieldParamsOf(const QList<PacketParam>& params, int fieldCount)
{
    // One pass over the parameters, whatever the number of fields.
    QList<FieldParams> out(fieldCount);
    for (const PacketParam& p : params) {
        if (p.field < 0 || p.field >= fieldCount)
            continue;
        FieldParams& f = out[p.field];
        if (p.name == "SUBTYPE") {
            f.subtype = paramString(p);
        } else if (p.name == "WIDTH" || p.name == "DECIMALS") {
            const std::optional<qint64> v = paramInt(p);
            if (v && (*v < 0 || *v > 0xFFFF))
                throw PacketError(QStringLiteral("%1 %2 is out of range (0 to 65535)")
                                      .arg(QString::fromLatin1(p.name)).arg(*v));
            if (p.name == "WIDTH")
                f.width = int(v.value_or(-1));
            else
                f.decimals = int(v.value_or(0));
        } else if (p.name == "FIELDNAME") {
            const QByteArray full = paramString(p);
            f.fullName = decodeName(full.constData(), full.size());
        }
    }
    return out;
}

void applyFieldParams(FieldDef& def, FieldType type, const FieldParams& params)
{
    // WIDTH is a 16-bit value in the host's packets; a larger one is not trusted.
    const int width = qBound(-1, params.width, 0xFFFF);
    def.type = type;
    // WIDTH and DECIMALS mean something for sized and decimal types only; elsewhere they
    // are not kept (the writers do not write them either).
    FieldDef sized;
    sized.type = type;
    sized.size = 1;
    const bool decimal = type == FieldType::Bcd || type == FieldType::FmtBcd;
    def.decimals = decimal ? qBound(0, params.decimals, 0xFFFF) : 0;
    if (width >= 0 && widthParamFor(sized) >= 0)
        def.size = type == FieldType::WideString ? width / 2 : width;
}

QList<PacketParam> tableParams(const DataPacket& packet)
{
    // Rows are written merged, so a stored change log no longer applies.
    // A name stored twice is written once (the first): XML holds each as one attribute.
    QList<PacketParam> out;
    QSet<QByteArray> names;
    for (const PacketParam& p : packet.params) {
        if (p.field != -1 || p.name == "CHANGE_LOG" || names.contains(p.name))
            continue;
        names.insert(p.name);
        out.append(p);
    }
    const bool haveLcid = names.contains("LCID");
    if (!haveLcid)
        out.append(makeIntParam("LCID", kInt32Param, 1033));
    return out;
}

}  // namespace platform::packet
