// Fuzz target: the XML packet reader. Whatever it accepts must also survive being
// written in both encodings and read back.

#include "FuzzChecks.h"

#include "platform/dataset/PacketEncodings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzzcheck::readAndRewrite(data, size, platform::packet::readXmlPacket, QStringLiteral("fuzz.xml"));
}
