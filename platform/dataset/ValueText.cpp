#include "platform/dataset/ValueText.h"

#include <QStringList>

#include <cmath>
#include <limits>

namespace platform::detail {

namespace {

// The date the time-only values of a date-time field stand on.
const QDate kZeroDate(1899, 12, 30);

// Longest texts tried as a date, a time, a date and time. Qt's date parser takes time
// that grows steeply with the length of what it is given (a filter literal of a few
// hundred characters took seconds); no real date is longer than these.
constexpr qsizetype kMaxDateText = 32, kMaxTimeText = 24, kMaxDateTimeText = 48;

QString shortDateFormat()
{
    return QLocale().dateFormat(QLocale::ShortFormat);
}

// Two-digit years fall within 50 years either side of today, as the platform reads them.
QDate applyCenturyWindow(QDate d)
{
    const int pivot = QDate::currentDate().year() - 50;
    while (d.isValid() && d.year() < pivot)
        d = d.addYears(100);
    return d;
}

QDate tryDateFormat(const QString& text, const QString& format)
{
    QDate d = QLocale().toDate(text, format);
    if (!d.isValid())
        return {};
    if (format.contains(QLatin1String("yy")) && !format.contains(QLatin1String("yyyy")))
        d = applyCenturyWindow(d);
    return d;
}

}  // namespace

QLocale valueLocale()
{
    QLocale loc;
    loc.setNumberOptions(loc.numberOptions() | QLocale::OmitGroupSeparator);
    return loc;
}

std::optional<double> parseNumber(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    double v = QLocale().toDouble(t, &ok);
    if (!ok) {
        // A point-decimal text ("12.5") typed under a comma locale still means 12.5.
        QLocale c = QLocale::c();
        c.setNumberOptions(QLocale::RejectGroupSeparator);
        v = c.toDouble(t, &ok);
    }
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<qint64> parseInteger(const QString& text)
{
    const QString t = text.trimmed();
    bool ok = false;
    qint64 v = QLocale().toLongLong(t, &ok);
    if (!ok)
        v = QLocale::c().toLongLong(t, &ok);
    if (ok)
        return v;
    // "12,0" is an integer written as a number.
    const auto d = parseNumber(t);
    if (d && std::floor(*d) == *d && std::fabs(*d) < 9.2e18)
        return static_cast<qint64>(*d);
    return std::nullopt;
}

std::optional<bool> parseBoolean(const QString& text)
{
    const QString t = text.trimmed().toLower();
    static const QStringList yes = {"true", "t", "1", "s", "sim", "y", "yes"};
    static const QStringList no = {"false", "f", "0", "n", "não", "nao", "no"};
    if (yes.contains(t))
        return true;
    if (no.contains(t))
        return false;
    return std::nullopt;
}

namespace {

// The first valid value `read` makes of the trimmed text with one of `formats`; nothing
// for an empty text or one longer than any such value (`maxSize`).
template <typename T, typename Read>
std::optional<T> readFirstFormat(const QString& text, qsizetype maxSize, const QStringList& formats, Read read)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > maxSize)
        return std::nullopt;
    for (const QString& f : formats) {
        const T v = read(t, f);
        if (v.isValid())
            return v;
    }
    return std::nullopt;
}

}  // namespace

std::optional<QDate> parseDate(const QString& text)
{
    return readFirstFormat<QDate>(text, kMaxDateText,
                                  {shortDateFormat(), QStringLiteral("d/M/yyyy"), QStringLiteral("d/M/yy"),
                                   QStringLiteral("yyyy-MM-dd")},
                                  tryDateFormat);
}

std::optional<QTime> parseTime(const QString& text)
{
    // The empty format, tried last, is the locale's short time format.
    return readFirstFormat<QTime>(text, kMaxTimeText,
                                  {QStringLiteral("H:mm:ss.zzz"), QStringLiteral("H:mm:ss"), QStringLiteral("H:mm"),
                                   QString()},
                                  [](const QString& t, const QString& f) {
                                      return f.isEmpty() ? QLocale().toTime(t, QLocale::ShortFormat)
                                                         : QTime::fromString(t, f);
                                  });
}

std::optional<QDateTime> parseDateTime(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > kMaxDateTimeText)
        return std::nullopt;
    QDateTime iso = QDateTime::fromString(t, Qt::ISODateWithMs);
    if (iso.isValid())
        return iso.timeSpec() == Qt::LocalTime ? iso : iso.toLocalTime();
    if (const auto d = parseDate(t))
        return QDateTime(*d, QTime(0, 0));
    // Date formats may hold blanks ("7 Dec 2026"): try every split from the right.
    for (qsizetype i = t.lastIndexOf(QLatin1Char(' ')); i > 0; i = t.lastIndexOf(QLatin1Char(' '), i - 1)) {
        const auto d = parseDate(t.left(i));
        const auto tm = parseTime(t.mid(i + 1));
        if (d && tm)
            return QDateTime(*d, *tm);
    }
    if (const auto tm = parseTime(t))
        return QDateTime(kZeroDate, *tm);
    return std::nullopt;
}

QString valueToText(FieldType type, const QVariant& value)
{
    if (!value.isValid())
        return {};
    const QLocale loc = valueLocale();
    switch (kindOf(type)) {
    case ValueKind::Boolean:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case ValueKind::Float:
        return loc.toString(value.toDouble(), 'g', 15);
    case ValueKind::Date:
        return loc.toString(value.toDate(), shortDateFormat());
    case ValueKind::Time:
        return value.toTime().toString(QStringLiteral("HH:mm:ss"));
    case ValueKind::DateTime: {
        const QDateTime dt = value.toDateTime();
        const QString time = dt.time().toString(QStringLiteral("HH:mm:ss"));
        if (dt.date() == kZeroDate && dt.time() != QTime(0, 0))
            return time;
        const QString date = loc.toString(dt.date(), shortDateFormat());
        return dt.time() == QTime(0, 0) ? date : date + QLatin1Char(' ') + time;
    }
    case ValueKind::Bytes:
        return QString::fromLatin1(value.toByteArray());
    case ValueKind::DataSet:
        return QStringLiteral("(DataSet)");
    default:
        return value.toString();  // texts and integers
    }
}

namespace {

// A numeric mask split into its parts: literal text around a digit pattern.
struct NumberMask {
    QString prefix, suffix;
    int intZeros = 0, decZeros = 0, decHashes = 0;
    bool grouping = false, started = false;
};

NumberMask parseMask(const QString& mask)
{
    NumberMask m;
    bool inDecimals = false, ended = false;
    QChar quote;
    for (const QChar c : mask) {
        QString& literal = m.started ? m.suffix : m.prefix;
        if (!quote.isNull()) {
            if (c == quote) quote = QChar(); else literal += c;
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) { quote = c; continue; }
        const bool patternChar = QStringLiteral("#0.,").contains(c);
        if (!patternChar || ended) {
            if (m.started) ended = true;
            literal += c;
            continue;
        }
        m.started = true;
        if (c == QLatin1Char('.')) inDecimals = true;
        else if (c == QLatin1Char(',')) m.grouping = m.grouping || !inDecimals;
        else if (inDecimals) (c == QLatin1Char('0') ? m.decZeros : m.decHashes)++;
        else if (c == QLatin1Char('0')) m.intZeros++;
    }
    return m;
}

}  // namespace

QString formatNumber(double value, const QString& maskText)
{
    const QStringList sections = maskText.split(QLatin1Char(';'));
    QString mask = sections.value(0);
    bool sign = value < 0;
    if (value < 0 && !sections.value(1).isEmpty()) { mask = sections[1]; sign = false; }
    if (value == 0 && !sections.value(2).isEmpty()) mask = sections[2];
    const NumberMask m = parseMask(mask);
    if (!m.started)
        return mask;

    QLocale loc = QLocale();
    loc.setNumberOptions(m.grouping ? QLocale::NumberOptions() : QLocale::OmitGroupSeparator);
    QString s = loc.toString(std::fabs(value), 'f', m.decZeros + m.decHashes);
    const QString point = loc.decimalPoint();
    qsizetype dot = s.indexOf(point);
    if (dot >= 0) {
        // Optional decimals ('#') drop their trailing zeros; required ones ('0') stay.
        qsizetype keep = dot + point.size() + m.decZeros;
        while (s.size() > keep && s.endsWith(QLatin1Char('0'))) s.chop(1);
        if (s.endsWith(point)) s.chop(point.size());
    }
    dot = s.indexOf(point);
    qsizetype intLen = dot >= 0 ? dot : s.size();
    if (!m.grouping)
        for (; intLen < m.intZeros; ++intLen) s.prepend(QLatin1Char('0'));
    if (m.intZeros == 0 && s.startsWith(QLatin1Char('0')) && intLen == 1)
        s.remove(0, 1);
    bool allZero = true;
    for (const QChar c : s) allZero = allZero && !(c.isDigit() && c != QLatin1Char('0'));
    return (sign && !allZero ? QStringLiteral("-") : QString()) + m.prefix + s + m.suffix;
}

QString formatValue(FieldType type, const QVariant& value, const QString& format)
{
    if (!value.isValid())
        return {};
    if (format.isEmpty())
        return valueToText(type, value);
    switch (kindOf(type)) {
    case ValueKind::Integer:
    case ValueKind::Float:
        return formatNumber(value.toDouble(), format);
    case ValueKind::Date:
        return QLocale().toString(value.toDate(), format);
    case ValueKind::Time:
        return QLocale().toString(value.toTime(), format);
    case ValueKind::DateTime:
        return QLocale().toString(value.toDateTime(), format);
    case ValueKind::Boolean: {
        const QStringList parts = format.split(QLatin1Char(';'));
        return value.toBool() ? parts.value(0) : parts.value(1);
    }
    default:
        return valueToText(type, value);
    }
}

}  // namespace platform::detail
