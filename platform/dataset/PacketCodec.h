#pragma once
// Building blocks shared by the binary and XML packet readers and writers: the
// Windows-1252 text codec, the binary type word and its field types, the optional
// parameters (WIDTH, SUBTYPE, LCID, ...) and the date numbering of the packets.
// Internal to platform/dataset; other code uses DataPacket.h.

#include "PlatformDatasetExport.h"
#include "platform/dataset/DataPacket.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <optional>

namespace platform::packet {

// ---- text -------------------------------------------------------------------------

// Windows-1252 as the host writes it. The five bytes the code page leaves undefined
// decode to the C1 control of the same number so that they survive a round trip.
PLATFORM_DATASET_EXPORT QString fromCp1252(const char* data, qsizetype size);
inline QString fromCp1252(const QByteArray& bytes) { return fromCp1252(bytes.constData(), bytes.size()); }
// Characters the code page cannot represent become '?' (one per character).
PLATFORM_DATASET_EXPORT QByteArray toCp1252(const QString& text);
void appendCp1252(QByteArray& out, QStringView text);
// Whether Windows-1252 holds the character; the first character of text it cannot hold, or -1.
bool isCp1252(char16_t c);
qsizetype firstNotCp1252(QStringView text);
bool isValidUtf8(const char* data, qsizetype size);
// Field names: UTF-8 when the bytes are valid UTF-8, otherwise Windows-1252.
QString decodeName(const char* data, qsizetype size);
// UTF-16LE, the encoding of wide texts and wide memos; an odd last byte is dropped.
QByteArray toUtf16Le(QStringView text);
QString fromUtf16Le(QByteArrayView bytes, bool stopAtNul = false);

// ---- type words -------------------------------------------------------------------

// The type codes (TcInt, TcZString, ...) are with the field types (FieldType.h).
constexpr quint32 kVarying = 0x00400000;
constexpr quint32 kArrayParam = 0x00800000;
constexpr quint32 kPseudo = 0x01000000;
constexpr quint32 kEmbeddedTable = 0x04000000;

inline quint32 typeCode(quint32 word) { return (word >> 16) & 0x3F; }
inline quint32 typeUnits(quint32 word) { return word & 0xFFFF; }
inline quint32 makeTypeWord(quint32 code, quint32 units, quint32 flags = 0)
{
    return (code << 16) | (units & 0xFFFF) | flags;
}

// Field attribute bits of the binary descriptor.
constexpr quint16 kAttrHidden = 0x01, kAttrReadOnly = 0x02, kAttrRequired = 0x04, kAttrLink = 0x08;

// The field type a descriptor stands for, given its type word and SUBTYPE ("" when
// none). Throws PacketError (text without the source; callers add it) for types that
// cannot be represented.
FieldType fieldTypeFor(quint32 word, const QByteArray& subtype, const QString& fieldName);
// The type word our writer uses for a definition.
quint32 typeWordFor(const FieldDef& def);
// The SUBTYPE a type requires ("" when none). A stored SUBTYPE that reads back as the
// same type is kept instead (e.g. "HMemo" for a memo).
QByteArray defaultSubtype(FieldType type);
// The XML field-type name ("string", "i4", "bin.hex", ...).
QByteArray xmlTypeNameOf(FieldType type);
// The field type for an XML field-type name and its SUBTYPE/WIDTH; nullopt if unknown.
std::optional<FieldType> fieldTypeForXml(QByteArray name, const QByteArray& subtype, bool hasWidth);
// Bytes of a BCD value of the given precision (0 = 32).
int bcdByteSize(int precision);
// Whether blob values of this subtype are plain text in XML (memos) rather than Base64.
bool isTextSubtype(const QByteArray& subtype);
// The WIDTH our writer gives a definition (chars; bytes for UTF-16 text); -1 for none.
int widthParamFor(const FieldDef& def);

// ---- parameters -------------------------------------------------------------------

PacketParam makeIntParam(const QByteArray& name, quint32 typeWord, qint64 value, int field = -1);
PacketParam makeStringParam(const QByteArray& name, const QByteArray& text, int field = -1);
std::optional<qint64> paramInt(const PacketParam& p);        // scalar integer params
QByteArray paramString(const PacketParam& p);                // string params, without the NUL
QList<qint64> paramIntArray(const PacketParam& p);           // array params
// The type word a well-known parameter has; 0 for names we do not know.
quint32 knownParamType(const QByteArray& name, bool tableLevel);
// Conversions between a parameter and its XML text.
QString paramToText(const PacketParam& p);
PacketParam paramFromText(const QByteArray& name, quint32 typeWord, const QString& text, int field);
// The type word for an XML <PARAM Type="..."> name; 0 when unknown.
quint32 paramTypeForXml(const QByteArray& xmlType);
QByteArray xmlNameOfParamType(quint32 typeWord);

// The stored field parameters grouped by field, in one pass (index = field).
QList<QList<PacketParam>> fieldParamGroups(const QList<PacketParam>& params, int fieldCount);
// The params our writer emits for field `index` given its stored ones: SUBTYPE, WIDTH,
// DECIMALS and FIELDNAME once each, from the definition and in the host's plain types
// (a stored form of another type is normalised), then the other stored ones as they were.
QList<PacketParam> paramsForField(const FieldDef& def, int index, const QList<PacketParam>& stored);

// What the parameters of field `index` say about it.
struct FieldParams {
    QByteArray subtype;
    int width = -1;     // -1: no WIDTH
    int decimals = 0;
    QString fullName;   // FIELDNAME, empty when absent
};
// The parameters of every field, gathered in one pass. Throws PacketError (text without
// the source) for a WIDTH or DECIMALS outside 0..65535.
QList<FieldParams> fieldParamsOf(const QList<PacketParam>& params, int fieldCount);
// Fills type, size and decimals of a definition from its type and parameters (the
// size of UTF-16 texts is in characters, WIDTH in bytes).
void applyFieldParams(FieldDef& def, FieldType type, const FieldParams& params);
QList<PacketParam> tableParams(const DataPacket& packet);

// Throws PacketError (text without the source) when a value read for `def` would not be
// written back whole: a text longer than the field's size (or than its length prefix
// holds), bytes longer than their field. A short fixed-size byte value is padded here
// with zeros, as the binary encoding holds it.
void checkValueFits(const FieldDef& def, QVariant& value);

// ---- dates ------------------------------------------------------------------------

// Day numbers: 0001-01-01 = 1 (proleptic Gregorian).
constexpr qint64 kJulianDayOfDayZero = 1721425;
inline QDate dateFromDayNumber(qint64 day) { return QDate::fromJulianDay(day + kJulianDayOfDayZero); }
inline qint64 dayNumberOf(const QDate& d) { return d.toJulianDay() - kJulianDayOfDayZero; }
constexpr qint64 kMsPerDay = 86400000;

// ---- values -----------------------------------------------------------------------

// Shortest text that reads back as the same double (C locale, '.' point); NAN, INF, -INF.
PLATFORM_DATASET_EXPORT QByteArray formatDouble(double v, bool single = false);
// Reads what formatDouble writes, and any other C-locale number form.
std::optional<double> parseDouble(QByteArrayView text);
// BCD bytes of `value` for precision/scale; throws PacketError when it does not fit.
QByteArray encodeBcd(double value, int precision, int scale, int byteSize, const QString& fieldName);
// The value of BCD bytes; nullopt when malformed.
std::optional<double> decodeBcd(const char* data, int size);
// A date, time or date-time cell as the writers take it: a date-time gives its date or
// time, a date a date-time at midnight. Invalid when the value is none of these.
QDate dateOfValue(const QVariant& v);
QTime timeOfValue(const QVariant& v);
QDateTime dateTimeOfValue(const QVariant& v);
// Fixed-point text for BCD values in XML: "123.45", "-0.5".
QByteArray formatDecimal(double value, int scale);

}  // namespace platform::packet
