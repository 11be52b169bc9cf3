// Fuzz target: the XML packet reader. Whatever it accepts must also survive being
// written in both encodings and read back.

#include "FuzzChecks.h"

#include "platform/dataset/PacketEncodings.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const platform::DataPacket packet = platform::packet::readXmlPacket(bytes, QStringLiteral("fuzz.xml"));
        fuzzcheck::rewriteAndReread(packet);
    } catch (const platform::PacketError&) {
    }
    return 0;
}
