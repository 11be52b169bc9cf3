// Conversions between the values backends return or take and the field types of the
// dataset layer. SQLite is loosely typed (dates as text, numbers as text or real), the
// PostgreSQL driver returns numerics as text and fixed texts padded: everything read is
// brought to the declared field's type so that packets are the same on every backend.

#include "platform/db/DbValue.h"

#include "platform/Error.h"
#include "platform/db/Query.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QTimeZone>

#include <cmath>

namespace platform::db {

namespace {

int digits(QStringView s, int at, int count, bool& ok)
{
    if (at + count > s.size()) {
        ok = false;
        return 0;
    }
    int v = 0;
    for (int i = at; i < at + count; ++i) {
        const QChar c = s[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            ok = false;
            return 0;
        }
        v = v * 10 + (c.unicode() - '0');
    }
    return v;
}

// "HH:mm[:ss[.fff...]]" at `at`; the rest after it may be a zone (Z, +hh[:mm]).
QTime parseTime(QStringView s, int at, bool& ok, int& end)
{
    int h = digits(s, at, 2, ok);
    if (!ok || at + 2 >= s.size() || s[at + 2] != QLatin1Char(':'))
        return ok = false, QTime();
    int m = digits(s, at + 3, 2, ok);
    int sec = 0, ms = 0;
    end = at + 5;
    if (ok && end < s.size() && s[end] == QLatin1Char(':')) {
        sec = digits(s, end + 1, 2, ok);
        end += 3;
        if (ok && end < s.size() && (s[end] == QLatin1Char('.') || s[end] == QLatin1Char(','))) {
            ++end;
            int scale = 100;
            while (end < s.size() && s[end].isDigit()) {
                ms += (s[end].unicode() - '0') * scale;
                scale /= 10;
                ++end;
            }
        }
    }
    if (!ok)
        return QTime();
    QTime t(h, m, sec, ms);
    ok = t.isValid();
    return t;
}

// Whether a zone follows (Z, +hh, +hh:mm, -hhmm); its offset in seconds.
bool parseZone(QStringView s, int at, int& offsetSeconds)
{
    offsetSeconds = 0;
    if (at >= s.size())
        return false;
    if (s[at] == QLatin1Char('Z'))
        return true;
    if (s[at] != QLatin1Char('+') && s[at] != QLatin1Char('-'))
        return false;
    const int sign = s[at] == QLatin1Char('-') ? -1 : 1;
    bool ok = true;
    int h = digits(s, at + 1, 2, ok);
    int m = 0;
    int p = at + 3;
    if (p < s.size() && s[p] == QLatin1Char(':'))
        ++p;
    if (p + 2 <= s.size()) {
        bool ok2 = true;
        int mm = digits(s, p, 2, ok2);
        if (ok2)
            m = mm;
    }
    if (!ok)
        return false;
    offsetSeconds = sign * (h * 3600 + m * 60);
    return true;
}

}  // namespace

QDateTime parseDbDateTime(QStringView text, bool* hasTime)
{
    QStringView s = text.trimmed();
    bool ok = true;
    if (hasTime)
        *hasTime = false;
    if (s.size() < 10 || s[4] != QLatin1Char('-') || s[7] != QLatin1Char('-'))
        return {};
    const int y = digits(s, 0, 4, ok), mo = digits(s, 5, 2, ok), d = digits(s, 8, 2, ok);
    if (!ok)
        return {};
    const QDate date(y, mo, d);
    if (!date.isValid())
        return {};
    if (s.size() == 10)
        return QDateTime(date, QTime(0, 0));
    if (s[10] != QLatin1Char(' ') && s[10] != QLatin1Char('T'))
        return {};
    int end = 0;
    const QTime time = parseTime(s, 11, ok, end);
    if (!ok)
        return {};
    if (hasTime)
        *hasTime = true;
    int offset = 0;
    if (parseZone(s, end, offset))
        return QDateTime(date, time, QTimeZone(offset)).toLocalTime();
    return QDateTime(date, time);
}

QString dbDateTimeText(const QDateTime& dt)
{
    const QTime t = dt.time();
    return dt.toString(t.msec() ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz") : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

namespace {

[[noreturn]] void cannot(const FieldDef& f, const QVariant& v, const char* what)
{
    throw DatabaseError(QStringLiteral("Field '%1': cannot convert '%2' to %3")
                            .arg(f.name, v.toString().left(60), QLatin1String(what)));
}

double textToDouble(const FieldDef& f, const QVariant& v)
{
    QString s = v.toString().trimmed();
    bool ok = false;
    double d = s.toDouble(&ok);  // QString::toDouble uses the C locale
    if (!ok) {
        s.replace(QLatin1Char(','), QLatin1Char('.'));
        d = s.toDouble(&ok);
    }
    if (!ok)
        cannot(f, v, "a number");
    return d;
}

qint64 toInteger(const FieldDef& f, const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::LongLong: case QMetaType::UInt: case QMetaType::ULongLong:
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Long: case QMetaType::ULong:
        return v.toLongLong();
    case QMetaType::Bool:
        return v.toBool() ? 1 : 0;
    case QMetaType::Double: case QMetaType::Float: {
        double d = v.toDouble();
        if (d != std::floor(d) || !std::isfinite(d))
            cannot(f, v, "an integer");
        return qint64(d);
    }
    default: break;
    }
    bool ok = false;
    const QString s = v.toString().trimmed();
    qint64 n = s.toLongLong(&ok);
    if (ok)
        return n;
    double d = textToDouble(f, v);
    if (d != std::floor(d) || !std::isfinite(d))
        cannot(f, v, "an integer");
    return qint64(d);
}

bool toBoolean(const FieldDef& f, const QVariant& v)
{
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Double)
        return v.toDouble() != 0;
    const QString s = v.toString().trimmed().toUpper();
    if (s == QLatin1String("1") || s == QLatin1String("S") || s == QLatin1String("T") || s == QLatin1String("Y")
        || s == QLatin1String("TRUE") || s == QLatin1String("SIM") || s == QLatin1String("YES"))
        return true;
    if (s.isEmpty() || s == QLatin1String("0") || s == QLatin1String("N") || s == QLatin1String("F")
        || s == QLatin1String("FALSE") || s == QLatin1String("NAO") || s == QLatin1String("NO"))
        return false;
    cannot(f, v, "a boolean");
}

QDateTime toDateTime(const FieldDef& f, const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::QDateTime: {
        QDateTime dt = v.toDateTime();
        if (dt.timeSpec() != Qt::LocalTime)
            dt = dt.toLocalTime();
        return QDateTime(dt.date(), dt.time());
    }
    case QMetaType::QDate:
        return QDateTime(v.toDate(), QTime(0, 0));
    default: break;
    }
    const QString s = v.toString();
    if (s.trimmed().isEmpty())
        return {};
    QDateTime dt = parseDbDateTime(s);
    if (!dt.isValid())
        cannot(f, v, "a date");
    return dt;
}

QVariant textFromDb(const FieldDef& f, const QVariant& v)
{
    if (f.type == FieldType::FixedChar) {
        const QString s = v.toString();
        return f.size > 0 ? s.leftJustified(f.size, QLatin1Char(' '), true) : s;
    }
    QString s = v.typeId() == QMetaType::QByteArray ? QString::fromUtf8(v.toByteArray()) : v.toString();
    if (traitsOf(f.type).sizeLimits && f.size > 0 && s.size() > f.size)
        s.truncate(f.size);
    return s;
}

QVariant integerFromDb(const FieldDef& f, const QVariant& v)
{
    const qint64 n = toInteger(f, v);
    if (isWideInteger(f.type))
        return n;
    if (n < INT_MIN || n > INT_MAX)
        cannot(f, v, "a 32-bit integer");
    return int(n);
}

QVariant floatFromDb(const FieldDef& f, const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Double: case QMetaType::Float: case QMetaType::Int: case QMetaType::LongLong:
    case QMetaType::UInt: case QMetaType::ULongLong: case QMetaType::Bool:
        return v.toDouble();
    default:
        return textToDouble(f, v);
    }
}

QVariant dateFromDb(const FieldDef& f, const QVariant& v)
{
    if (v.typeId() == QMetaType::QDate)
        return v.toDate();
    const QDateTime dt = toDateTime(f, v);
    return dt.isValid() ? QVariant(dt.date()) : QVariant();
}

QVariant timeFromDb(const FieldDef& f, const QVariant& v)
{
    if (v.typeId() == QMetaType::QTime)
        return v.toTime();
    if (v.typeId() == QMetaType::QDateTime)
        return toDateTime(f, v).time();
    const QString s = v.toString().trimmed();
    if (s.isEmpty())
        return {};
    bool ok = true;
    int end = 0;
    QTime t = s.size() >= 10 && s[4] == QLatin1Char('-') ? toDateTime(f, v).time() : parseTime(s, 0, ok, end);
    if (!ok || !t.isValid())
        cannot(f, v, "a time");
    return t;
}

}  // namespace

QVariant convertDbValue(const FieldDef& f, const QVariant& v)
{
    if (v.isNull() || !v.isValid())
        return {};
    switch (kindOf(f.type)) {
    case ValueKind::Text: return textFromDb(f, v);
    case ValueKind::Integer: return integerFromDb(f, v);
    case ValueKind::Boolean: return toBoolean(f, v);
    case ValueKind::Float: return floatFromDb(f, v);
    case ValueKind::Date: return dateFromDb(f, v);
    case ValueKind::Time: return timeFromDb(f, v);
    case ValueKind::DateTime: {
        const QDateTime dt = toDateTime(f, v);
        return dt.isValid() ? QVariant(dt) : QVariant();
    }
    case ValueKind::Bytes: return v.toByteArray();
    case ValueKind::DataSet:
        throw DatabaseError(QStringLiteral("Field '%1': a nested dataset cannot come from a query").arg(f.name));
    }
    return v;
}

namespace {

// A null of the parameter's type, so the driver binds the matching SQL type. Dates and
// times go to SQLite as text, and date-times to PostgreSQL too (see dateParameter).
QVariant typedNull(FieldType type, Backend backend)
{
    const ValueKind kind = kindOf(type);
    const bool textDates = backend == Backend::SQLite;
    const bool textDateTimes = textDates || backend == Backend::PostgreSQL;
    if (kind == ValueKind::DataSet || ((kind == ValueKind::Date || kind == ValueKind::Time) && textDates)
        || (kind == ValueKind::DateTime && textDateTimes))
        return QVariant(QMetaType::fromType<QString>());
    return QVariant(QMetaType(traitsOf(type).variantType));
}

// Dates and times go to SQLite as text, date-times to PostgreSQL too: its driver would
// send a zoned literal otherwise.
QVariant dateParameter(const FieldDef& def, const QVariant& v, Backend backend)
{
    const QVariant c = convertDbValue(def, v);
    if (c.isNull())
        return typedNull(def.type, backend);
    const bool textDates = backend == Backend::SQLite;
    switch (kindOf(def.type)) {
    case ValueKind::Date: return textDates ? QVariant(c.toDate().toString(QStringLiteral("yyyy-MM-dd"))) : c;
    case ValueKind::Time: return textDates ? QVariant(c.toTime().toString(QStringLiteral("HH:mm:ss"))) : c;
    default: return textDates || backend == Backend::PostgreSQL ? QVariant(dbDateTimeText(c.toDateTime())) : c;
    }
}

}  // namespace

QVariant bindValue(FieldType type, const QVariant& v, Backend backend)
{
    FieldDef def;
    def.name = QStringLiteral("parameter");
    def.type = type;
    if (v.isNull() || !v.isValid())
        return typedNull(type, backend);
    switch (kindOf(type)) {
    case ValueKind::Date:
    case ValueKind::Time:
    case ValueKind::DateTime:
        return dateParameter(def, v, backend);
    case ValueKind::Text:
        if (v.typeId() == QMetaType::QDate)
            return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
        if (v.typeId() == QMetaType::QDateTime)
            return dbDateTimeText(v.toDateTime());
        return v.toString();
    case ValueKind::Boolean:
        return toBoolean(def, v);
    default:
        return convertDbValue(def, v);
    }
}

}  // namespace platform::db
