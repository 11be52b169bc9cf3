#pragma once
// A data packet: field definitions, table parameters and rows, in memory, and its two
// encodings (binary and XML). A packet that travels in a QVariant is its binary
// encoding as a QByteArray.

#include "platform/dataset/FieldDef.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>

namespace platform {

// An optional parameter of the packet or of a field (LCID, DEFAULT_ORDER, WIDTH,
// SUBTYPE, ...), kept as read so that a packet read and written again is unchanged.
// Field parameters are also reflected in the FieldDef (WIDTH -> size, DECIMALS ->
// decimals, SUBTYPE -> type); on writing, the FieldDef wins: WIDTH/DECIMALS/SUBTYPE
// are brought in line with it and the ones the host always writes are added (WIDTH
// for texts, SUBTYPE for memos/blobs/money/fixed-char, table LCID). A packet built in
// memory needs no params at all. CHANGE_LOG is dropped on writing (rows are merged).
struct PacketParam {
    QByteArray name;
    quint32 typeWord = 0;  // binary type word; decides the encoding
    QByteArray raw;        // the value's bytes as in the binary encoding
    int field = -1;        // index into DataPacket::fields, or -1 for a table parameter

    friend bool operator==(const PacketParam&, const PacketParam&) = default;
};

enum class PacketFormat {
    Binary,   // the .cds binary encoding
    Xml,      // XML, 8-bit text in Windows-1252, no encoding declaration
    XmlUtf8,  // XML with encoding="UTF-8"
};

struct DataPacket {
    FieldDefs fields;
    QList<PacketParam> params;  // table and field parameters, in file order
    // Current rows only (the change log is resolved on reading), one value per field,
    // in the representation documented in FieldDef.h.
    QList<QVariantList> rows;
    PacketFormat sourceFormat = PacketFormat::Binary;  // what it was read from

    bool isNull() const { return fields.isEmpty(); }
    // Index of the field of that name (case-insensitive), or -1.
    int indexOf(const QString& name) const;
    friend bool operator==(const DataPacket&, const DataPacket&) = default;
};

// Reading detects the encoding from the content. `source` names the file or origin in
// error texts. Throws PacketError on malformed input; never trusts a length in it.
DataPacket readPacket(const QByteArray& bytes, const QString& source = QStringLiteral("data packet"));
DataPacket readPacketFile(const QString& path);

// The largest packet the readers take, in bytes: a larger one is refused with a clear
// error before it is read. The default (256 MiB, or VAK_PACKET_LIMIT_MB from the
// environment) is far above any terminal file.
qint64 packetSizeLimit();
void setPacketSizeLimit(qint64 bytes);

QByteArray writePacket(const DataPacket& packet, PacketFormat format = PacketFormat::Binary);
void writePacketFile(const DataPacket& packet, const QString& path, PacketFormat format = PacketFormat::Binary);

// A packet in a variant: its binary bytes. Null or empty variant -> null packet.
QVariant packetToVariant(const DataPacket& packet);
DataPacket packetFromVariant(const QVariant& value, const QString& source = QStringLiteral("data packet"));

// The XML field-type name of a type: "string", "string.uni", "i4", "r8", "boolean",
// "date", "time", "dateTime", "SQLdateTime", "fixed", "bin.hex", "nested", ...
QString xmlTypeName(FieldType type);
// The SUBTYPE of a field as the packet gives it ("Text", "Money", ...), else the one
// its type implies ("" for most types).
QByteArray fieldSubtype(const DataPacket& packet, int field);
// The same for every field at once (one pass over the parameters).
QList<QByteArray> fieldSubtypes(const DataPacket& packet);

}  // namespace platform

Q_DECLARE_METATYPE(platform::DataPacket)
