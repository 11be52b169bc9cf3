#pragma once
// Field definitions shared by client datasets and data packets.

#include <QList>
#include <QString>
#include <QVariant>

namespace platform {

// The logical field types of a client dataset. Each maps to one binary type word and
// one XML field-type name (see DataPacket.cpp for the table).
//
// Values travel in QVariant as follows; a null value is an invalid QVariant():
//   String, FixedChar, WideString, Memo, WideMemo  -> QString
//   ShortInt, SmallInt, Integer, Byte, Word        -> int
//   LongWord, LargeInt                             -> qint64
//   Boolean -> bool;  Single, Float, Currency, Bcd, FmtBcd -> double
//   Date -> QDate;  Time -> QTime;  DateTime, TimeStamp -> QDateTime (local, no zone)
//   Bytes, VarBytes, Blob, Graphic                 -> QByteArray
//   DataSet (nested)                               -> QVariant holding a platform::DataPacket
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

struct FieldDef {
    QString name;
    FieldType type = FieldType::String;
    int size = 0;          // characters for texts, bytes for Bytes/VarBytes, precision for Bcd
    int decimals = 0;      // Bcd/FmtBcd scale
    bool required = false;
    bool readOnly = false;
    bool hidden = false;
    QList<FieldDef> children;  // for DataSet fields

    // Presentation, used by grids and the search list; not stored in packets.
    QString displayLabel;  // empty: the field name
    int displayWidth = 0;  // characters; 0: derived from the size
    bool visible = true;
    QString displayFormat; // e.g. "#,##0.00" for floats, "dd/MM/yyyy" for dates

    // Written out (FieldDef.cpp): a defaulted comparison cannot see through the
    // recursive `children` list.
    friend bool operator==(const FieldDef& a, const FieldDef& b);
};

using FieldDefs = QList<FieldDef>;

// True for the types whose values are QString.
bool isTextType(FieldType t);
// True for the integer, float and decimal types.
bool isNumericType(FieldType t);
// The field's value converted to its type's QVariant representation (see above);
// an empty text becomes null for non-text types. Throws DataSetError naming the
// field when the value cannot be converted.
QVariant convertToFieldType(const FieldDef& def, const QVariant& value);

}  // namespace platform
