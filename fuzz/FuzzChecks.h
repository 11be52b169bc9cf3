#pragma once
// Checks shared by the packet fuzz targets: a packet that was read must be writable
// (or refused with a PacketError) and what we write must read back with the same rows.

#include "platform/Error.h"
#include "platform/dataset/DataPacket.h"

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
    for (PacketFormat format : {PacketFormat::Binary, PacketFormat::Xml, PacketFormat::XmlUtf8}) {
        QByteArray written;
        try {
            written = platform::writePacket(packet, format);
        } catch (const platform::PacketError&) {
            return;  // a value the field cannot hold (e.g. a decimal beyond its precision)
        }
        try {
            const platform::DataPacket again = platform::readPacket(written, QStringLiteral("rewritten"));
            if (again.fields.size() != packet.fields.size() || again.rows.size() != packet.rows.size())
                failCheck("re-read changed the shape", QString::number(int(format)));
        } catch (const platform::PacketError& e) {
            failCheck("our own output does not read back", e.text());
        }
    }
}

}  // namespace fuzzcheck
