#include "platform/dataset/RegularFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("is a directory");
    if (S_ISFIFO(mode))
        return QStringLiteral("is a FIFO");
    if (S_ISCHR(mode))
        return QStringLiteral("is a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("is a block device");
    if (S_ISSOCK(mode))
        return QStringLiteral("is a socket");
    return S_ISREG(mode) ? QString() : QStringLiteral("is not a regular file");
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Closes the descriptor on every path.
struct Descriptor {
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

RegularFile failed(RegularFile::Outcome outcome, const QString& why, qint64 size = 0)
{
    RegularFile r;
    r.outcome = outcome;
    r.why = why;
    r.size = size;
    return r;
}

}  // namespace

QString nonRegularKind(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ELOOP ? QStringLiteral("is a symbolic link loop") : QString();
    return kindOf(st.st_mode);
}

RegularFile readRegularFile(const QString& path, qint64 ceiling)
{
    using Outcome = RegularFile::Outcome;
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        const int error = errno;
        if (error == ELOOP)
            return failed(Outcome::NotRegular, QStringLiteral("is a symbolic link loop"));
        if (error == ENOENT || error == ENOTDIR)
            return failed(Outcome::Missing, QStringLiteral("file not found"));
        return failed(Outcome::Unreadable, errnoText(error));
    }
    if (!S_ISREG(st.st_mode))
        return failed(Outcome::NotRegular, kindOf(st.st_mode));
    if (st.st_size > ceiling)
        return failed(Outcome::TooLarge, {}, st.st_size);

    // Opened without blocking and examined again through the descriptor: the name may
    // have been replaced by a FIFO or a device since it was looked at.
    Descriptor file;
    file.fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file.fd < 0)
        return failed(Outcome::Unreadable, errnoText(errno));
    if (::fstat(file.fd, &st) != 0)
        return failed(Outcome::Unreadable, errnoText(errno));
    if (!S_ISREG(st.st_mode))
        return failed(Outcome::NotRegular, kindOf(st.st_mode));
    if (st.st_size > ceiling)
        return failed(Outcome::TooLarge, {}, st.st_size);

    // Never more than the ceiling, even when the file grows while it is read.
    RegularFile r;
    r.bytes.resize(qsizetype(st.st_size));
    qint64 total = 0;
    char more[4096];
    for (;;) {
        const bool expected = total < r.bytes.size();  // what the size promised, then whatever follows
        char* into = expected ? r.bytes.data() + total : more;
        const size_t room = expected ? size_t(r.bytes.size() - total) : sizeof more;
        const ssize_t n = ::read(file.fd, into, room);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failed(Outcome::Unreadable, errnoText(errno));
        if (n == 0)
            break;
        if (!expected) {
            if (total + n > ceiling)
                return failed(Outcome::TooLarge, {}, total + n);
            r.bytes.append(more, qsizetype(n));
        }
        total += n;
    }
    r.bytes.truncate(qsizetype(total));  // a file that shrank meanwhile
    r.size = total;
    r.outcome = Outcome::Read;
    return r;
}

}  // namespace platform
