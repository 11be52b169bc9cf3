#pragma once
// The two encodings of a data packet. Internal to platform/dataset; other code calls
// readPacket/writePacket (DataPacket.h), which choose between them; the two readers are
// exported for the fuzz replays, which feed each one directly.

#include "PlatformDatasetExport.h"
#include "platform/dataset/DataPacket.h"

namespace platform::detail {
class RowStore;
}

namespace platform::packet {

// True when the bytes start with a binary packet's signature.
bool hasBinarySignature(const QByteArray& bytes);

// Both readers throw PacketError with texts "<source>: <what> at offset <n>".
PLATFORM_DATASET_EXPORT DataPacket readBinaryPacket(const QByteArray& bytes, const QString& source);
PLATFORM_DATASET_EXPORT DataPacket readXmlPacket(const QByteArray& bytes, const QString& source);
// A binary packet of current rows read straight into a dataset's column storage: its
// fields and parameters into `shape`, its rows into `store`, without a variant per text.
// False when the packet needs the general reader (a change log to resolve, nested
// datasets); `store` is then to be discarded. Throws PacketError as readBinaryPacket.
bool loadBinaryPacket(const QByteArray& bytes, const QString& source, DataPacket& shape, detail::RowStore& store);

// Both writers throw PacketError when a value cannot be represented (a decimal too
// large for its precision, a value of the wrong kind for its field).
QByteArray writeBinaryPacket(const DataPacket& packet);
QByteArray writeXmlPacket(const DataPacket& packet, bool utf8);
// The same text handed to `sink` in pieces of about kTextChunk bytes, a row at a time.
void writeXmlPacket(const DataPacket& packet, bool utf8, const TextSink& sink);

// About how much text the streaming writers gather before they hand it on.
constexpr qsizetype kTextChunk = 64 * 1024;
// Hands `text` on and empties it (keeping its room) once it holds a chunk's worth, or
// whatever it holds when `last`.
inline void passChunk(QByteArray& text, const TextSink& sink, bool last = false)
{
    if (text.size() < (last ? 1 : kTextChunk))
        return;
    sink(text);
    text.resize(0);
}

// Deepest nesting of datasets the readers accept.
constexpr int kMaxNesting = 16;

}  // namespace platform::packet
