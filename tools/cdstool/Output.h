#pragma once
// cdstool's standard output. Text goes through one large buffer that is handed on as it
// fills, so that a dump of any size needs no more memory for its text than the buffer;
// a write that fails (a full disk) is an error, not a short output and exit code 0.

#include "platform/dataset/DataPacket.h"

#include <QByteArrayView>
#include <QString>

namespace cdstool {

class StandardOutput {
public:
    // Gives standard output its buffer: made before anything is written to it.
    StandardOutput();

    // Throws platform::Error when standard output can no longer be written.
    void write(QByteArrayView bytes);
    void writeText(const QString& text) { write(text.toUtf8()); }
    // The streaming writers' way in.
    platform::TextSink sink();
    // Writes out what is buffered; throws platform::Error when that, or an earlier
    // write, failed.
    void finish();
};

}  // namespace cdstool
