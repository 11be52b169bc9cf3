#pragma once
// The JSON form of a data packet, shared by cdstool and the reference host's
// transcript:
//   {"fields":[{"name":"CODE","type":"i4","size":0},...],"rows":[[1,"text",null],...]}
// "type" is the XML field-type name (string, string.uni, i4, r8, boolean, date,
// dateTime, bin.hex, nested, ...), "size" the field's width (characters for texts,
// bytes for fixed binary, precision for decimals; 0 where the type has none). Values:
// texts and memos as strings, numbers, booleans, null, dates "YYYY-MM-DD", date-times
// "YYYY-MM-DDTHH:MM:SS.zzz", times "HH:MM:SS.zzz", binary values in Base64, nested
// datasets as an object of the same shape. Only current rows, in order. Memo fields
// (bin.hex like blobs, but with text values) also carry "subtype" ("Text", "WideText")
// and decimal fields (fixed, fixedFMT) "decimals", so that the JSON reads back as the
// same packet.

#include "PlatformDatasetExport.h"
#include "platform/dataset/DataPacket.h"

#include <QJsonObject>
#include <QJsonValue>

namespace platform {

PLATFORM_DATASET_EXPORT QJsonObject packetToJson(const DataPacket& packet);
PLATFORM_DATASET_EXPORT QJsonValue valueToJson(const QVariant& value, FieldType type);
// The same as compact JSON text (no line break), with the keys in the order shown
// above ("fields" then "rows"; "name", "type", "size"), which QJsonDocument would sort.
PLATFORM_DATASET_EXPORT QByteArray packetToJsonText(const DataPacket& packet);
// The same text handed to `sink` a few rows at a time (each row made from the packet's
// columns only while it is written), so that a large packet's text is never whole in
// memory.
PLATFORM_DATASET_EXPORT void writePacketJsonText(const DataPacket& packet, const TextSink& sink);

// Builds a packet from the same shape. Field objects may also carry "subtype" (Text,
// WideText, Money, FixedChar, Binary, Graphics: memo, wide memo, currency, fixed-length
// text, blob, picture), "decimals", "required", "readonly", "hidden" and, for nested
// fields, "fields". Throws PacketError saying what is wrong ("row 2, field 'X': ...").
PLATFORM_DATASET_EXPORT DataPacket packetFromJson(const QJsonObject& json);
// A field value from JSON; strings are also accepted for numbers, booleans, dates and
// times (C-locale forms as written above; YYYYMMDD too). Null or an empty string for a
// non-text field gives null. Throws PacketError naming the field.
PLATFORM_DATASET_EXPORT QVariant valueFromJson(const QJsonValue& value, const FieldDef& def);

}  // namespace platform
