#include "Output.h"

#include "platform/Error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace cdstool {

namespace {

constexpr size_t kBufferBytes = 256 * 1024;

[[noreturn]] void writeFailed(int error)
{
    if (error == 0)
        error = EIO;
    throw platform::Error(
        QStringLiteral("standard output: cannot write (%1)").arg(QString::fromLocal8Bit(std::strerror(error))));
}

}  // namespace

StandardOutput::StandardOutput()
{
    // Full buffering, on a terminal too: a large dump in few large writes.
    std::setvbuf(stdout, nullptr, _IOFBF, kBufferBytes);
}

void StandardOutput::write(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    if (std::fwrite(bytes.data(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()))
        writeFailed(errno);
}

platform::TextSink StandardOutput::sink()
{
    return [this](QByteArrayView bytes) { write(bytes); };
}

void StandardOutput::finish()
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        writeFailed(errno);
}

}  // namespace cdstool
