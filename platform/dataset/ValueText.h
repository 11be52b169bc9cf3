#pragma once
// Text <-> value conversions of dataset fields, in the system locale (QLocale(), which is
// the system locale unless the program sets a default): numbers with the locale's decimal
// separator, dates in its short date format. Internal to the dataset library; the two
// functions marked for export are reached by the tests too.

#include "PlatformDatasetExport.h"
#include "platform/dataset/FieldDef.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>
#include <QVariant>

#include <optional>

namespace platform::detail {

// The locale numbers and dates are read and written in, without group separators.
QLocale valueLocale();

// Each returns nothing when the (trimmed) text is not a value of that kind.
// Numbers: the locale's form first ("12,5" under pt_BR), then the C form ("12.5").
std::optional<double> parseNumber(const QString& text);
std::optional<qint64> parseInteger(const QString& text);
std::optional<bool> parseBoolean(const QString& text);
// Dates: the locale's short date format, dd/MM/yyyy, then ISO yyyy-MM-dd.
std::optional<QDate> parseDate(const QString& text);
std::optional<QTime> parseTime(const QString& text);
std::optional<QDateTime> parseDateTime(const QString& text);

// A value as Field::asString shows it: "" for null, numbers without group separators,
// dates in the short date format, "True"/"False".
PLATFORM_DATASET_EXPORT QString valueToText(FieldType type, const QVariant& value);

// A value formatted with a display format: numeric masks ("#,##0.00", "R$ #,##0.00"),
// date/time formats ("dd/MM/yyyy HH:mm"), booleans "yes-text;no-text". An empty format
// gives valueToText().
QString formatValue(FieldType type, const QVariant& value, const QString& format);

// The number formatted with a numeric mask as above, in the locale.
PLATFORM_DATASET_EXPORT QString formatNumber(double value, const QString& mask);

}  // namespace platform::detail
