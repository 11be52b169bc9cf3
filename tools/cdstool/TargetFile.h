#pragma once
// The file that a command writing TARGET really replaces, and what the replacement keeps
// of it. A symbolic link is followed to its file, which is replaced while the link stays
// a link; the replacement gets the replaced file's owner, group and mode, so that the
// host that reads the file still may. Throws platform::PacketError naming TARGET.

#include <QString>

namespace cdstool {

// TARGET, or the file its symbolic links lead to. Refused: a link to nothing, a link
// loop, and anything but a regular file (a FIFO, a device, a directory).
QString replacedFile(const QString& target);

// Gives the open file `fd`, written to replace `replaced`, that file's owner, group and
// mode; nothing when `replaced` does not exist yet. Refused when the owner cannot be kept
// (only its owner's rights, or root's, may give a file away).
void keepOwnerAndMode(int fd, const QString& replaced, const QString& target);

}  // namespace cdstool
