#include "platform/dataset/PacketJson.h"

#include "platform/dataset/PacketCodec.h"
#include "platform/dataset/PacketEncodings.h"
#include "platform/dataset/XmlValues.h"

#include "platform/Error.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtEndian>

#include <cmath>

namespace platform {

namespace {

// Memos are bin.hex like blobs, but their JSON values are text: the subtype says so.
bool isMemo(FieldType t)
{
    return t == FieldType::Memo || t == FieldType::WideMemo;
}

// Decimal fields carry their scale beside the precision ("size").
bool isDecimal(FieldType t)
{
    return t == FieldType::Bcd || t == FieldType::FmtBcd;
}

QString dateText(const QDate& d)
{
    return d.toString(QStringLiteral("yyyy-MM-dd"));
}

QString timeText(const QTime& t)
{
    return t.toString(QStringLiteral("HH:mm:ss.zzz"));
}

[[noreturn]] void badValue(const FieldDef& def, const QJsonValue& v)
{
    const QString shown = v.isString() ? v.toString() : v.isDouble() ? QString::number(v.toDouble())
                          : v.isBool() ? QString::fromLatin1(v.toBool() ? "true" : "false")
                                       : QStringLiteral("(object)");
    throw PacketError(QStringLiteral("field '%1': '%2' is not a valid %3")
                          .arg(def.name, shown.left(60), xmlTypeName(def.type)));
}

QDate parseDate(const QString& s)
{
    const QDate d = QDate::fromString(s, Qt::ISODate);
    return d.isValid() ? d : packet::parseXmlDate(s.toLatin1());
}

QTime parseTime(const QString& s)
{
    return packet::parseXmlTime(s.toLatin1());
}

QDateTime parseDateTime(const QString& s)
{
    QDateTime dt = QDateTime::fromString(s, Qt::ISODateWithMs);
    if (dt.isValid())
        return QDateTime(dt.date(), dt.time());  // wall-clock time as written
    return packet::parseXmlDateTime(s.toLatin1());
}

qint64 integerFrom(const QJsonValue& v, const FieldDef& def)
{
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (d != std::trunc(d) || std::fabs(d) > 9.2e18)
            badValue(def, v);
        return v.toInteger(qint64(d));
    }
    bool ok = false;
    const qint64 n = v.toString().trimmed().toLongLong(&ok);
    if (!v.isString() || !ok)
        badValue(def, v);
    return n;
}

}  // namespace

QJsonValue valueToJson(const QVariant& value, FieldType type)
{
    if (!value.isValid() || value.metaType().id() == QMetaType::Nullptr)
        return QJsonValue::Null;
    switch (kindOf(type)) {
    case ValueKind::Integer:
        return QJsonValue(value.toLongLong());
    case ValueKind::Boolean:
        return value.toBool();
    case ValueKind::Float: {
        const double d = value.toDouble();
        if (std::isnan(d))
            return QStringLiteral("NaN");
        if (std::isinf(d))
            return d > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
        return d;
    }
    case ValueKind::Date:
        return dateText(packet::dateOfValue(value));
    case ValueKind::Time:
        return timeText(packet::timeOfValue(value));
    case ValueKind::DateTime: {
        const QDateTime dt = value.toDateTime();
        return dateText(dt.date()) + QLatin1Char('T') + timeText(dt.time());
    }
    case ValueKind::Bytes:
        return QString::fromLatin1(value.toByteArray().toBase64());
    case ValueKind::DataSet:
        return value.canConvert<DataPacket>() ? QJsonValue(packetToJson(value.value<DataPacket>()))
                                               : QJsonValue(QJsonValue::Null);
    default:
        return value.toString();
    }
}

QJsonObject packetToJson(const DataPacket& packet)
{
    QJsonArray fields;
    const QList<QByteArray> subtypes = fieldSubtypes(packet);
    for (int f = 0; f < packet.fields.size(); ++f) {
        const FieldDef& def = packet.fields[f];
        QJsonObject field{{QStringLiteral("name"), def.name},
                          {QStringLiteral("type"), xmlTypeName(def.type)},
                          {QStringLiteral("size"), def.size}};
        if (isMemo(def.type))
            field.insert(QStringLiteral("subtype"), QString::fromLatin1(subtypes[f]));
        if (isDecimal(def.type))
            field.insert(QStringLiteral("decimals"), def.decimals);
        fields.append(field);
    }
    QJsonArray rows;
    for (const QVariantList& row : packet.rows) {
        QJsonArray values;
        for (qsizetype f = 0; f < packet.fields.size(); ++f)
            values.append(valueToJson(f < row.size() ? row[f] : QVariant(), packet.fields[f].type));
        rows.append(values);
    }
    return QJsonObject{{QStringLiteral("fields"), fields}, {QStringLiteral("rows"), rows}};
}

namespace {

QByteArray jsonText(const QJsonValue& v)
{
    const QByteArray text = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2);
}

void appendJsonFields(QByteArray& out, const DataPacket& packet)
{
    out += "{\"fields\":[";
    const QList<QByteArray> subtypes = fieldSubtypes(packet);
    for (qsizetype f = 0; f < packet.fields.size(); ++f) {
        const FieldDef& def = packet.fields[f];
        out += (f ? ",{\"name\":" : "{\"name\":") + jsonText(def.name) + ",\"type\":\""
               + xmlTypeName(def.type).toLatin1() + "\",\"size\":" + QByteArray::number(def.size);
        if (isMemo(def.type))
            out += ",\"subtype\":" + jsonText(QString::fromLatin1(subtypes[f]));
        if (isDecimal(def.type))
            out += ",\"decimals\":" + QByteArray::number(def.decimals);
        out += '}';
    }
    out += "],\"rows\":[";
}

void appendJsonRow(QByteArray& out, const DataPacket& packet, const QVariantList& row)
{
    out += '[';
    for (qsizetype f = 0; f < packet.fields.size(); ++f) {
        const QVariant v = f < row.size() ? row[f] : QVariant();
        if (f)
            out += ',';
        if (packet.fields[f].type == FieldType::DataSet && v.canConvert<DataPacket>())
            out += packetToJsonText(v.value<DataPacket>());
        else
            out += jsonText(valueToJson(v, packet.fields[f].type));
    }
    out += ']';
}

// The whole text into `out`; with a sink, handed on after each row that fills a chunk.
// The rows are walked, not indexed, so that each is made from the columns only while
// it is written.
void writeJsonText(QByteArray& out, const DataPacket& packet, const TextSink* sink)
{
    appendJsonFields(out, packet);
    bool first = true;
    for (const QVariantList& row : packet.rows) {
        if (!first)
            out += ',';
        first = false;
        appendJsonRow(out, packet, row);
        if (sink)
            packet::passChunk(out, *sink);
    }
    out += "]}";
}

}  // namespace

QByteArray packetToJsonText(const DataPacket& packet)
{
    QByteArray out;
    writeJsonText(out, packet, nullptr);
    return out;
}

void writePacketJsonText(const DataPacket& packet, const TextSink& sink)
{
    QByteArray out;
    out.reserve(packet::kTextChunk + 4096);
    writeJsonText(out, packet, &sink);
    packet::passChunk(out, sink, true);
}

namespace {

// Texts take numbers and booleans as their text too.
QVariant textFromJson(const QJsonValue& v, const FieldDef& def)
{
    if (v.isString())
        return v.toString();
    if (v.isDouble())
        return QString::fromLatin1(packet::formatDouble(v.toDouble()));
    if (v.isBool())
        return QString::fromLatin1(v.toBool() ? "true" : "false");
    badValue(def, v);
}

QVariant integerFromJson(const QJsonValue& v, const FieldDef& def)
{
    const qint64 n = integerFrom(v, def);
    if (isWideInteger(def.type))
        return n;
    if (n < INT_MIN || n > INT_MAX)
        badValue(def, v);
    return int(n);
}

QVariant booleanFromJson(const QJsonValue& v, const FieldDef& def)
{
    if (v.isBool())
        return v.toBool();
    const QString s = v.toString().trimmed().toLower();
    if (s == QLatin1String("true") || s == QLatin1String("1") || s == QLatin1String("t"))
        return true;
    if (s == QLatin1String("false") || s == QLatin1String("0") || s == QLatin1String("f"))
        return false;
    badValue(def, v);
}

// Numbers, or their text; JSON has no infinities, so they travel as "Infinity" texts.
QVariant floatFromJson(const QJsonValue& v, const FieldDef& def)
{
    if (v.isDouble())
        return v.toDouble();
    const QString s = v.toString().trimmed();
    const auto d = v.isString() ? packet::parseDouble(s == QLatin1String("Infinity") ? QByteArray("INF")
                                                      : s == QLatin1String("-Infinity") ? QByteArray("-INF")
                                                                                        : s.toLatin1())
                                : std::nullopt;
    if (!d)
        badValue(def, v);
    return *d;
}

// Dates and times are texts that `parse` reads.
template <typename T>
QVariant validFromJson(const QJsonValue& v, const FieldDef& def, T (*parse)(const QString&))
{
    const T value = parse(v.toString().trimmed());
    if (!v.isString() || !value.isValid())
        badValue(def, v);
    return value;
}

QVariant bytesFromJson(const QJsonValue& v, const FieldDef& def)
{
    auto bytes = QByteArray::fromBase64Encoding(v.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!v.isString() || !bytes)
        badValue(def, v);
    return *bytes;
}

}  // namespace

QVariant valueFromJson(const QJsonValue& v, const FieldDef& def)
{
    if (v.isNull() || v.isUndefined())
        return {};
    const ValueKind kind = kindOf(def.type);
    if (kind == ValueKind::Text)
        return textFromJson(v, def);
    if (v.isString() && v.toString().trimmed().isEmpty() && kind != ValueKind::DataSet)
        return {};
    switch (kind) {
    case ValueKind::Integer: return integerFromJson(v, def);
    case ValueKind::Boolean: return booleanFromJson(v, def);
    case ValueKind::Float: return floatFromJson(v, def);
    case ValueKind::Date: return validFromJson(v, def, parseDate);
    case ValueKind::Time: return validFromJson(v, def, parseTime);
    case ValueKind::DateTime: return validFromJson(v, def, parseDateTime);
    case ValueKind::Bytes: return bytesFromJson(v, def);
    case ValueKind::DataSet:
        if (!v.isObject())
            badValue(def, v);
        return QVariant::fromValue(packetFromJson(v.toObject()));
    default:
        badValue(def, v);
    }
}

namespace {

FieldDef fieldFromJson(const QJsonValue& value, int index)
{
    const QJsonObject o = value.toObject();
    const QString where = QStringLiteral("field %1").arg(index + 1);
    if (!value.isObject())
        throw PacketError(QStringLiteral("%1 is not an object").arg(where));
    FieldDef def;
    def.name = o.value(QStringLiteral("name")).toString();
    if (def.name.isEmpty())
        throw PacketError(QStringLiteral("%1 has no name").arg(where));
    const QString type = o.value(QStringLiteral("type")).toString();
    const QByteArray subtype = o.value(QStringLiteral("subtype")).toString().toLatin1();
    def.size = o.value(QStringLiteral("size")).toInt(0);
    if (def.size < 0 || def.size > 0xFFFF)
        throw PacketError(QStringLiteral("field '%1' has an invalid size %2").arg(def.name).arg(def.size));
    const auto fieldType = packet::fieldTypeForXml(type.toLatin1(), subtype, def.size > 0);
    if (!fieldType)
        throw PacketError(QStringLiteral("field '%1' has an unknown type '%2'").arg(def.name, type));
    def.type = *fieldType;
    def.decimals = o.value(QStringLiteral("decimals")).toInt(0);
    def.required = o.value(QStringLiteral("required")).toBool();
    def.readOnly = o.value(QStringLiteral("readonly")).toBool();
    def.hidden = o.value(QStringLiteral("hidden")).toBool();
    if (def.type == FieldType::DataSet) {
        const QJsonArray children = o.value(QStringLiteral("fields")).toArray();
        for (int i = 0; i < children.size(); ++i)
            def.children.append(fieldFromJson(children[i], i));
    }
    return def;
}

}  // namespace

DataPacket packetFromJson(const QJsonObject& json)
{
    if (!json.value(QStringLiteral("fields")).isArray())
        throw PacketError(QStringLiteral("no \"fields\" array"));
    DataPacket packet;
    const QJsonArray fields = json.value(QStringLiteral("fields")).toArray();
    for (int i = 0; i < fields.size(); ++i) {
        packet.fields.append(fieldFromJson(fields[i], i));
        if (const QByteArray subtype = fields[i].toObject().value(QStringLiteral("subtype")).toString().toLatin1();
            !subtype.isEmpty())
            packet.params.append(packet::makeStringParam("SUBTYPE", subtype, i));
    }
    const QJsonValue rows = json.value(QStringLiteral("rows"));
    if (!rows.isUndefined() && !rows.isArray())
        throw PacketError(QStringLiteral("\"rows\" is not an array"));
    const QJsonArray rowArray = rows.toArray();
    for (int r = 0; r < rowArray.size(); ++r) {
        const QJsonArray values = rowArray[r].toArray();
        if (!rowArray[r].isArray() || values.size() != packet.fields.size())
            throw PacketError(QStringLiteral("row %1 has %2 values for %3 fields")
                                  .arg(r + 1).arg(values.size()).arg(packet.fields.size()));
        QVariantList row;
        row.reserve(values.size());
        for (int f = 0; f < values.size(); ++f) {
            try {
                row.append(valueFromJson(values[f], packet.fields[f]));
            } catch (const PacketError& e) {
                throw PacketError(QStringLiteral("row %1, %2").arg(r + 1).arg(e.text()));
            }
        }
        packet.rows.append(row);
    }
    return packet;
}

}  // namespace platform
