#include "platform/dataset/FieldDef.h"

#include "platform/Error.h"
#include "platform/dataset/DataPacket.h"
#include "platform/dataset/ValueText.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <cmath>
#include <limits>

namespace platform {

namespace {

[[noreturn]] void cannotConvert(const FieldDef& def, const QVariant& value, const char* what)
{
    if (value.typeId() == QMetaType::QString)
        throw DataSetError(QStringLiteral("Field '%1': '%2' is not a valid %3")
                               .arg(def.name, value.toString(), QLatin1String(what)));
    throw DataSetError(QStringLiteral("Field '%1': a value of type %2 cannot be converted to %3")
                           .arg(def.name, QLatin1String(value.metaType().name()), QLatin1String(what)));
}

bool isNumberVariant(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Long: case QMetaType::ULong: case QMetaType::Short: case QMetaType::UShort:
    case QMetaType::Char: case QMetaType::SChar: case QMetaType::UChar:
    case QMetaType::Double: case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

bool isFloatVariant(const QVariant& v)
{
    return v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float;
}

QVariant toText(const FieldDef& def, const QVariant& value)
{
    QString s;
    switch (value.typeId()) {
    case QMetaType::QString: s = value.toString(); break;
    case QMetaType::QByteArray: s = QString::fromUtf8(value.toByteArray()); break;
    case QMetaType::QChar: s = value.toChar(); break;
    case QMetaType::Bool: s = detail::valueToText(FieldType::Boolean, value); break;
    case QMetaType::QDate: s = detail::valueToText(FieldType::Date, value); break;
    case QMetaType::QTime: s = detail::valueToText(FieldType::Time, value); break;
    case QMetaType::QDateTime: s = detail::valueToText(FieldType::DateTime, value); break;
    default:
        if (!isNumberVariant(value))
            cannotConvert(def, value, "text");
        s = detail::valueToText(isFloatVariant(value) ? FieldType::Float : FieldType::LargeInt, value);
    }
    if (traitsOf(def.type).sizeLimits && def.size > 0 && s.size() > def.size)
        s.truncate(def.size);  // a fixed-capacity string keeps its first `size` characters
    if (def.type == FieldType::FixedChar && def.size > 0 && s.size() < def.size)
        s = s.leftJustified(def.size, QLatin1Char(' '));
    return s;
}

// A text value read by `parse`; refused, naming `what` it should be, when it does not read.
template <typename T>
T parsedText(const FieldDef& def, const QVariant& value, std::optional<T> (*parse)(const QString&), const char* what)
{
    const std::optional<T> parsed = parse(value.toString());
    if (!parsed)
        cannotConvert(def, value, what);
    return *parsed;
}

QVariant toInteger(const FieldDef& def, const QVariant& value)
{
    qint64 v = 0;
    if (value.typeId() == QMetaType::QString) {
        v = parsedText(def, value, detail::parseInteger, "integer");
    } else if (isFloatVariant(value)) {
        const double d = value.toDouble();
        if (!std::isfinite(d) || std::fabs(d) >= 9.2e18)
            cannotConvert(def, value, "integer");
        v = std::llround(d);
    } else if (isNumberVariant(value) || value.typeId() == QMetaType::Bool) {
        v = value.toLongLong();
        if (value.typeId() == QMetaType::ULongLong && value.toULongLong() > quint64(std::numeric_limits<qint64>::max()))
            cannotConvert(def, value, "integer");
    } else {
        cannotConvert(def, value, "integer");
    }
    const FieldTypeTraits& traits = traitsOf(def.type);
    if (v < traits.low || v > traits.high)
        throw DataSetError(QStringLiteral("Field '%1': %2 is out of range (%3 to %4)")
                               .arg(def.name).arg(v).arg(traits.low).arg(traits.high));
    if (isWideInteger(def.type))
        return QVariant::fromValue<qint64>(v);
    return QVariant::fromValue<int>(static_cast<int>(v));
}

QVariant toFloat(const FieldDef& def, const QVariant& value)
{
    double v = 0;
    if (value.typeId() == QMetaType::QString) {
        v = parsedText(def, value, detail::parseNumber, "number");
    } else if (isNumberVariant(value)) {
        v = value.toDouble();
    } else {
        cannotConvert(def, value, "number");
    }
    if (def.type == FieldType::Single)
        v = static_cast<double>(static_cast<float>(v));  // what a 4-byte float field holds
    return v;
}

QVariant toBoolean(const FieldDef& def, const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return value;
    if (value.typeId() == QMetaType::QString)
        return parsedText(def, value, detail::parseBoolean, "boolean");
    if (isNumberVariant(value))
        return value.toDouble() != 0;
    cannotConvert(def, value, "boolean");
}

// A date or a time: from a value of its own type, the part of a date-time, or a text.
template <typename T>
QVariant toDateOrTime(const FieldDef& def, const QVariant& value, T (QDateTime::*part)() const,
                      std::optional<T> (*parse)(const QString&), const char* what)
{
    T v;
    if (value.metaType() == QMetaType::fromType<T>())
        v = value.value<T>();
    else if (value.typeId() == QMetaType::QDateTime)
        v = (value.toDateTime().*part)();
    else if (value.typeId() == QMetaType::QString)
        v = parse(value.toString()).value_or(T());
    if (!v.isValid())
        cannotConvert(def, value, what);
    return v;
}

QVariant toDateTime(const FieldDef& def, const QVariant& value)
{
    QDateTime dt;
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        dt = value.toDateTime();
        if (dt.isValid() && dt.timeSpec() != Qt::LocalTime)
            dt = dt.toLocalTime();  // the same instant, as the local wall-clock time fields hold
        break;
    case QMetaType::QDate: dt = QDateTime(value.toDate(), QTime(0, 0)); break;
    case QMetaType::QTime: dt = QDateTime(QDate(1899, 12, 30), value.toTime()); break;
    case QMetaType::QString: dt = detail::parseDateTime(value.toString()).value_or(QDateTime()); break;
    default: break;
    }
    if (!dt.isValid())
        cannotConvert(def, value, "date and time");
    return dt;
}

QVariant toBytes(const FieldDef& def, const QVariant& value)
{
    QByteArray b;
    if (value.typeId() == QMetaType::QByteArray)
        b = value.toByteArray();
    else if (value.typeId() == QMetaType::QString)
        b = value.toString().toUtf8();
    else
        cannotConvert(def, value, "binary data");
    if (traitsOf(def.type).sizeLimits && def.size > 0 && b.size() > def.size)
        b.truncate(def.size);
    if (def.type == FieldType::Bytes && def.size > 0 && b.size() < def.size)
        b.append(def.size - b.size(), '\0');  // fixed-size bytes are zero-filled
    return b;
}

}  // namespace

QVariant convertToFieldType(const FieldDef& def, const QVariant& value)
{
    if (!value.isValid() || value.typeId() == QMetaType::Nullptr)
        return {};
    const ValueKind kind = kindOf(def.type);
    if (kind == ValueKind::Text)
        return toText(def, value);
    if (value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty())
        return {};
    switch (kind) {
    case ValueKind::Integer: return toInteger(def, value);
    case ValueKind::Float: return toFloat(def, value);
    case ValueKind::Boolean: return toBoolean(def, value);
    case ValueKind::Date: return toDateOrTime(def, value, &QDateTime::date, detail::parseDate, "date");
    case ValueKind::Time: return toDateOrTime(def, value, &QDateTime::time, detail::parseTime, "time");
    case ValueKind::DateTime: return toDateTime(def, value);
    case ValueKind::Bytes: return toBytes(def, value);
    case ValueKind::DataSet:
        if (value.userType() == qMetaTypeId<DataPacket>() || value.typeId() == QMetaType::QByteArray)
            return value;
        cannotConvert(def, value, "a nested dataset");
    default:
        cannotConvert(def, value, "this field's type");
    }
}

}  // namespace platform

namespace platform {

bool operator==(const FieldDef& a, const FieldDef& b)
{
    return a.name == b.name && a.type == b.type && a.size == b.size && a.decimals == b.decimals
        && a.required == b.required && a.readOnly == b.readOnly && a.hidden == b.hidden
        && a.children == b.children && a.displayLabel == b.displayLabel
        && a.displayWidth == b.displayWidth && a.visible == b.visible
        && a.displayFormat == b.displayFormat;
}

}  // namespace platform
