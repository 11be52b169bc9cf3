#pragma once
// The oracle shared by the packet fuzz targets: a packet that was read must be
// writable (or refused with a PacketError) and read back. Written in the encoding it
// came from (and, for XML, as UTF-8 XML) it must read back equal, as `cdstool dump
// --json` shows it; the other encodings may lack a form (a character outside
// Windows-1252 in a binary text, variable-length bytes in XML) but must read back with
// the same shape.

#include "platform/Error.h"
#include "platform/dataset/DataPacket.h"
#include "platform/dataset/PacketJson.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzzcheck {

[[noreturn]] inline void failCheck(const char* what, const QString& detail)
{
    std::fprintf(stderr, "fuzz check failed: %s: %s\n", what, detail.toUtf8().constData());
    std::abort();
}

inline void rewriteAndReread(const platform::DataPacket& packet)
{
    using platform::PacketFormat;
    const QByteArray before = platform::packetToJsonText(packet);
    for (PacketFormat format : {PacketFormat::Binary, PacketFormat::Xml, PacketFormat::XmlUtf8}) {
        QByteArray written;
        try {
            written = platform::writePacket(packet, format);
        } catch (const platform::PacketError&) {
            continue;  // a value the field cannot hold (e.g. a decimal beyond its precision)
        }
        platform::DataPacket again;
        try {
            again = platform::readPacket(written, QStringLiteral("rewritten"));
        } catch (const platform::PacketError& e) {
            failCheck("our own output does not read back", e.text());
        }
        const bool exact = format == packet.sourceFormat
                           || (format == PacketFormat::XmlUtf8 && packet.sourceFormat != PacketFormat::Binary);
        if (!exact) {
            if (again.fields.size() != packet.fields.size() || again.rows.size() != packet.rows.size())
                failCheck("re-read changed the shape", QString::number(int(format)));
            continue;
        }
        const QByteArray after = platform::packetToJsonText(again);
        if (after != before)
            failCheck("the re-read packet differs",
                      QStringLiteral("format %1\nbefore: %2\nafter:  %3")
                          .arg(int(format))
                          .arg(QString::fromUtf8(before.left(2000)), QString::fromUtf8(after.left(2000))));
    }
}

// The body of a packet reader's fuzz target: the input read by `read` (a PacketError is
// a fine answer), and what it accepts rewritten and read back.
inline int readAndRewrite(const uint8_t* data, size_t size,
                          platform::DataPacket (*read)(const QByteArray&, const QString&), const QString& source)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        rewriteAndReread(read(bytes, source));
    } catch (const platform::PacketError&) {
    }
    return 0;
}

}  // namespace fuzzcheck
