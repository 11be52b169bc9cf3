#pragma once
// The field types of a client dataset and one table of what each type is: the family and
// in-memory representation of its values, its names and value size in the two packet
// encodings, its integer range and its default column width. Code that needs a fact
// about a type reads it here; code that does different work per family of values
// dispatches on `kind`.

#include <QMetaType>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <limits>

namespace platform {

// The logical field types. Values travel in QVariant as `variantType` below says; a null
// value is an invalid QVariant(). Date and time values are local, without a zone; a
// nested dataset travels as a QVariant holding a platform::DataPacket.
enum class FieldType {
    String,      // variable text of at most `size` characters (8-bit, Windows-1252 on disk)
    FixedChar,   // fixed-length text, padded with blanks to `size`
    WideString,  // UTF-16 text of at most `size` characters
    ShortInt, SmallInt, Integer, LargeInt,
    Byte, Word, LongWord,
    Boolean,
    Single, Float, Currency,
    Bcd, FmtBcd,
    Date, Time, DateTime, TimeStamp,
    Memo, WideMemo,
    Bytes, VarBytes, Blob, Graphic,
    DataSet,     // nested dataset
};

// The families of values: the types of one family share their conversions.
enum class ValueKind : quint8 { Text, Integer, Float, Boolean, Date, Time, DateTime, Bytes, DataSet };

namespace packet {

// The type code of a binary field descriptor (bits 16..21 of its type word).
enum TypeCode : quint32 {
    TcUnknown = 0, TcInt = 1, TcUInt = 2, TcBool = 3, TcFloat = 4, TcBcd = 5, TcDate = 6,
    TcTime = 7, TcTimeStamp = 8, TcZString = 9, TcUnicode = 10, TcBytes = 11, TcAdt = 12,
    TcArray = 13, TcEmbedded = 14, TcRef = 15, TcBigDecimal = 16, TcDateTime = 17,
    TcFmtBcd = 18, TcSingle = 27, TcDateTimeOffset = 36,
};

}  // namespace packet

struct FieldTypeTraits {
    FieldType type;
    ValueKind kind;
    int variantType;             // QMetaType id of a value in memory; UnknownType for nested datasets
    bool sizeLimits;             // the field's size caps its values (characters, or bytes)
    const char* xmlType;         // the XML field-type name
    const char* subtype;         // the SUBTYPE parameter the type requires; "" for none
    packet::TypeCode binaryCode; // the binary type code
    quint16 binaryUnits;         // bytes of a binary value, or of the length in front of a
                                 // varying one; 0: they follow from the definition
    bool varying;                // the binary value carries its length
    qint64 low, high;            // the range of integer types (0, 0 for the others)
    int displayWidth;            // characters of a grid column; 0: the size, 20 without one
};

namespace detail::fieldtypes {

constexpr qint64 kIntMin = std::numeric_limits<int>::min();
constexpr qint64 kIntMax = std::numeric_limits<int>::max();
constexpr qint64 kInt64Min = std::numeric_limits<qint64>::min();
constexpr qint64 kInt64Max = std::numeric_limits<qint64>::max();

using K = ValueKind;
using T = FieldType;
using namespace platform::packet;

// clang-format off
inline constexpr FieldTypeTraits kFieldTypeTraits[] = {
//   type          kind        variantType            sized  xmlType        subtype      code         units vary   low        high        width
    {T::String,     K::Text,     QMetaType::QString,    true,  "string",      "",          TcZString,   0,   true,  0,         0,          0},
    {T::FixedChar,  K::Text,     QMetaType::QString,    true,  "string",      "FixedChar", TcZString,   0,   true,  0,         0,          0},
    {T::WideString, K::Text,     QMetaType::QString,    true,  "string.uni",  "",          TcUnicode,   0,   true,  0,         0,          0},
    {T::ShortInt,   K::Integer,  QMetaType::Int,        false, "i1",          "",          TcInt,       1,   false, -128,      127,        4},
    {T::SmallInt,   K::Integer,  QMetaType::Int,        false, "i2",          "",          TcInt,       2,   false, -32768,    32767,      6},
    {T::Integer,    K::Integer,  QMetaType::Int,        false, "i4",          "",          TcInt,       4,   false, kIntMin,   kIntMax,    11},
    {T::LargeInt,   K::Integer,  QMetaType::LongLong,   false, "i8",          "",          TcInt,       8,   false, kInt64Min, kInt64Max,  20},
    {T::Byte,       K::Integer,  QMetaType::Int,        false, "ui1",         "",          TcUInt,      1,   false, 0,         255,        3},
    {T::Word,       K::Integer,  QMetaType::Int,        false, "ui2",         "",          TcUInt,      2,   false, 0,         65535,      5},
    {T::LongWord,   K::Integer,  QMetaType::LongLong,   false, "ui4",         "",          TcUInt,      4,   false, 0,         4294967295, 11},
    {T::Boolean,    K::Boolean,  QMetaType::Bool,       false, "boolean",     "",          TcBool,      2,   false, 0,         0,          5},
    {T::Single,     K::Float,    QMetaType::Double,     false, "r4",          "",          TcSingle,    4,   false, 0,         0,          10},
    {T::Float,      K::Float,    QMetaType::Double,     false, "r8",          "",          TcFloat,     8,   false, 0,         0,          10},
    {T::Currency,   K::Float,    QMetaType::Double,     false, "r8",          "Money",     TcFloat,     8,   false, 0,         0,          10},
    {T::Bcd,        K::Float,    QMetaType::Double,     false, "fixed",       "",          TcBcd,       0,   false, 0,         0,          10},
    {T::FmtBcd,     K::Float,    QMetaType::Double,     false, "fixedFMT",    "",          TcFmtBcd,    0,   false, 0,         0,          10},
    {T::Date,       K::Date,     QMetaType::QDate,      false, "date",        "",          TcDate,      4,   false, 0,         0,          10},
    {T::Time,       K::Time,     QMetaType::QTime,      false, "time",        "",          TcTime,      4,   false, 0,         0,          8},
    {T::DateTime,   K::DateTime, QMetaType::QDateTime,  false, "dateTime",    "",          TcTimeStamp, 8,   false, 0,         0,          19},
    {T::TimeStamp,  K::DateTime, QMetaType::QDateTime,  false, "SQLdateTime", "",          TcDateTime,  16,  false, 0,         0,          19},
    {T::Memo,       K::Text,     QMetaType::QString,    false, "bin.hex",     "Text",      TcBytes,     4,   true,  0,         0,          10},
    {T::WideMemo,   K::Text,     QMetaType::QString,    false, "bin.hex",     "WideText",  TcBytes,     4,   true,  0,         0,          10},
    {T::Bytes,      K::Bytes,    QMetaType::QByteArray, true,  "bin.hex",     "",          TcBytes,     0,   false, 0,         0,          10},
    {T::VarBytes,   K::Bytes,    QMetaType::QByteArray, true,  "bin.hex",     "",          TcBytes,     2,   true,  0,         0,          10},
    {T::Blob,       K::Bytes,    QMetaType::QByteArray, false, "bin.hex",     "Binary",    TcBytes,     4,   true,  0,         0,          10},
    {T::Graphic,    K::Bytes,    QMetaType::QByteArray, false, "bin.hex",     "Graphics",  TcBytes,     4,   true,  0,         0,          10},
    {T::DataSet,    K::DataSet,  QMetaType::UnknownType,false, "nested",      "",          TcEmbedded,  0,   false, 0,         0,          10},
};
// clang-format on

constexpr bool tableFollowsEnum()
{
    for (std::size_t i = 0; i < std::size(kFieldTypeTraits); ++i)
        if (static_cast<std::size_t>(kFieldTypeTraits[i].type) != i)
            return false;
    return std::size(kFieldTypeTraits) == static_cast<std::size_t>(FieldType::DataSet) + 1;
}
static_assert(tableFollowsEnum(), "one row per field type, in the order of the enum");

}  // namespace detail::fieldtypes

constexpr const FieldTypeTraits& traitsOf(FieldType type)
{
    return detail::fieldtypes::kFieldTypeTraits[static_cast<std::size_t>(type)];
}

constexpr ValueKind kindOf(FieldType type) { return traitsOf(type).kind; }

// True for the types whose values are QString.
constexpr bool isTextType(FieldType type) { return kindOf(type) == ValueKind::Text; }
// True for the integer, float and decimal types.
constexpr bool isNumericType(FieldType type)
{
    return kindOf(type) == ValueKind::Integer || kindOf(type) == ValueKind::Float;
}
// True for the types whose values are qint64 rather than int.
constexpr bool isWideInteger(FieldType type)
{
    return kindOf(type) == ValueKind::Integer && traitsOf(type).variantType == QMetaType::LongLong;
}

}  // namespace platform
