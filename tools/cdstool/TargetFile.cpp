#include "TargetFile.h"

#include "platform/Error.h"
#include "platform/dataset/RegularFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace cdstool {

using platform::PacketError;

namespace {

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace

QString replacedFile(const QString& target)
{
    const QByteArray name = QFile::encodeName(target);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0)
        return target;  // a new file
    if (S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (!::realpath(name.constData(), resolved)) {
            const int error = errno;
            if (error == ELOOP)
                throw PacketError(QStringLiteral("%1: is a symbolic link loop; nothing written").arg(target));
            throw PacketError(QStringLiteral("%1: is a symbolic link to %2, which %3; nothing written")
                                  .arg(target, QFileInfo(target).symLinkTarget(),
                                       error == ENOENT ? QStringLiteral("does not exist") : errnoText(error)));
        }
        return replacedFile(QFile::decodeName(resolved));
    }
    if (const QString kind = platform::nonRegularKind(target); !kind.isEmpty())
        throw PacketError(QStringLiteral("%1: %2, not a file to replace; nothing written").arg(target, kind));
    return target;
}

void keepOwnerAndMode(int fd, const QString& replaced, const QString& target)
{
    struct stat st {};
    if (::stat(QFile::encodeName(replaced).constData(), &st) != 0)
        return;  // nothing to keep
    struct stat mine {};
    if (::fstat(fd, &mine) != 0)
        throw PacketError(QStringLiteral("%1: cannot examine the new file (%2)").arg(target, errnoText(errno)));
    if ((mine.st_uid != st.st_uid || mine.st_gid != st.st_gid) && ::fchown(fd, st.st_uid, st.st_gid) != 0)
        throw PacketError(QStringLiteral("%1: cannot keep its owner %2:%3 (%4); nothing written")
                              .arg(target)
                              .arg(st.st_uid)
                              .arg(st.st_gid)
                              .arg(errnoText(errno)));
    // After the owner: changing it clears the set-user and set-group bits.
    if (::fchmod(fd, st.st_mode & 07777) != 0)
        throw PacketError(QStringLiteral("%1: cannot keep its mode %2 (%3); nothing written")
                              .arg(target)
                              .arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'))
                              .arg(errnoText(errno)));
}

}  // namespace cdstool
