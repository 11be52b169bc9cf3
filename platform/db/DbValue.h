#pragma once
// Value conversions between database drivers and dataset field types.

#include "PlatformDbExport.h"
#include "platform/dataset/FieldDef.h"
#include "platform/db/ConnectionString.h"

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <QVariant>

namespace platform::db {

// Conversion of a value read from any backend to a field's type (texts from SQLite for
// dates and numbers, numerics as text from PostgreSQL, fixed texts padded to their size,
// texts longer than a String field's size cut). Null stays null (an invalid QVariant).
// Throws DatabaseError naming the field when the value cannot be converted.
PLATFORM_DB_EXPORT QVariant convertDbValue(const FieldDef& field, const QVariant& value);

// The value to bind for a parameter of `type` on `backend`: converted to the type, dates
// as text on SQLite (and date-times as text on PostgreSQL), a null as a null of the type.
// Throws DatabaseError when the value cannot be converted.
PLATFORM_DB_EXPORT QVariant bindValue(FieldType type, const QVariant& value, Backend backend);

// "yyyy-MM-dd", "yyyy-MM-dd HH:mm[:ss[.fff]]" or with 'T', optionally followed by a zone
// (Z, +hh:mm; converted to local time). Invalid QDateTime for anything else.
PLATFORM_DB_EXPORT QDateTime parseDbDateTime(QStringView text, bool* hasTime = nullptr);
// "yyyy-MM-dd HH:mm:ss", with ".zzz" when there are milliseconds.
PLATFORM_DB_EXPORT QString dbDateTimeText(const QDateTime& dt);

}  // namespace platform::db
