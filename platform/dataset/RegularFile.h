#pragma once
// Reading a file given from outside (a terminal file, a device's memory, a stored
// connection string) whole, only when it is a regular file of bounded size. A FIFO would
// block the reader forever, a device such as /dev/zero never ends, a socket or a
// symbolic-link loop cannot be read at all: each is refused before anything is read, and
// so is a file larger than the caller's ceiling. A symbolic link to a regular file is
// read as that file.
//
// Never throws: the outcome says what was found.

#include "PlatformDatasetExport.h"

#include <QByteArray>
#include <QString>

namespace platform {

struct RegularFile {
    enum class Outcome {
        Read,        // `bytes` holds the whole file
        Missing,     // nothing by that name (or a symbolic link to nothing)
        NotRegular,  // a directory, FIFO, device, socket or symbolic-link loop; `why` says which
        TooLarge,    // larger than the ceiling; `size` says how large
        Unreadable,  // it exists but cannot be opened or read; `why` says why
    };
    Outcome outcome = Outcome::Missing;
    QByteArray bytes;
    qint64 size = 0;
    QString why;

    bool read() const { return outcome == Outcome::Read; }
};

// Reads `path` whole when it is a regular file of at most `ceiling` bytes.
PLATFORM_DATASET_EXPORT RegularFile readRegularFile(const QString& path, qint64 ceiling);

// "is a FIFO", "is a character device", ...: what a path that is no regular file is;
// empty for a regular file or one that cannot be examined.
PLATFORM_DATASET_EXPORT QString nonRegularKind(const QString& path);

}  // namespace platform
