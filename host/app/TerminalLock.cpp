#include "host/app/TerminalLock.h"

#include "terminal/TerminalFiles.h"

#include "platform/Error.h"
#include "platform/dataset/ClientDataSet.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSysInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace pdvhost {

namespace {

// The start time of a process in clock ticks since boot (field 22 of /proc/PID/stat), 0
// when it does not run. The command name (field 2) may hold blanks and parentheses: the
// fields are counted after its closing parenthesis.
qint64 startTimeOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0)
        return 0;
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    return fields.size() > 19 ? fields[19].toLongLong() : 0;  // field 22 is the 20th after the name
}

QString field(const QByteArray& text, const char* name)
{
    for (const QByteArray& line : text.split('\n'))
        if (line.startsWith(QByteArray(name) + '='))
            return QString::fromUtf8(line.mid(qsizetype(qstrlen(name)) + 1)).trimmed();
    return {};
}

LockHolder holderIn(int fd, const QString& path)
{
    QByteArray text(512, '\0');
    const ssize_t n = pread(fd, text.data(), size_t(text.size()), 0);
    text.truncate(n > 0 ? qsizetype(n) : 0);
    return LockHolder{field(text, "pid").toLongLong(), field(text, "machine"), path};
}

}  // namespace

QString TerminalId::text() const
{
    return QStringLiteral("filial %1, caixa %2").arg(branch, cashRegister);
}

TerminalId readTerminalId()
{
    const QString path = terminal::findHostFile(QString::fromLatin1(terminal::fileDef(terminal::File::Parametros).relative));
    if (path.isEmpty())
        return {};
    try {
        platform::ClientDataSet ds;
        ds.loadFromFile(path);
        if (!ds.active())
            ds.open();
        using terminal::Param;
        return TerminalId{terminal::readValue(ds, terminal::parameterKey(Param::CDFILIAL)).toString().trimmed(),
                          terminal::readValue(ds, terminal::parameterKey(Param::CDCAIXA)).toString().trimmed()};
    } catch (const platform::Error&) {
        return {};
    }
}

QString LockHolder::text() const
{
    QString who = pid > 0 ? QStringLiteral("process %1").arg(pid) : QStringLiteral("another process");
    if (!machine.isEmpty())
        who += QStringLiteral(" on machine %1").arg(machine);
    return where.isEmpty() ? who : QStringLiteral("%1 (%2)").arg(who, where);
}

ProcessMark ProcessMark::self()
{
    const qint64 pid = QCoreApplication::applicationPid();
    return ProcessMark{pid, startTimeOf(pid), QSysInfo::machineHostName()};
}

bool ProcessMark::alive() const
{
    if (machine != QSysInfo::machineHostName())
        return true;  // another machine's process cannot be seen from here: taken as running
    return pid > 0 && startTimeOf(pid) == started;
}

QString TerminalLock::lockFilePath(const QString& terminalDir)
{
    return QDir(terminalDir).absoluteFilePath(QStringLiteral("pdvhost.lock"));
}

TerminalLock::~TerminalLock()
{
    db_.reset();
    if (fd_ >= 0)
        ::close(fd_);  // releases the flock; the file stays, naming the last holder
}

std::unique_ptr<TerminalLock> TerminalLock::take(const QString& terminalDir, const TerminalId& id,
                                                 const QString& connectionString, LockHolder* holder)
{
    const QString path = lockFilePath(terminalDir);
    std::unique_ptr<TerminalLock> lock(new TerminalLock);
    lock->fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (lock->fd_ < 0)
        throw platform::HostError(QStringLiteral("cannot open the terminal's lock file %1: %2")
                                      .arg(path, QString::fromLocal8Bit(strerror(errno))));
    // flock, not a POSIX record lock: it belongs to this open file and is not dropped when
    // some library of the process closes another descriptor of the same file.
    if (flock(lock->fd_, LOCK_EX | LOCK_NB) != 0) {
        *holder = holderIn(lock->fd_, path);
        return nullptr;
    }
    const ProcessMark self = ProcessMark::self();
    const QByteArray text = QStringLiteral("pid=%1\nstarted=%2\nmachine=%3\n")
                                .arg(self.pid)
                                .arg(self.started)
                                .arg(self.machine)
                                .toUtf8();
    if (ftruncate(lock->fd_, 0) != 0 || pwrite(lock->fd_, text.constData(), size_t(text.size()), 0) != text.size())
        throw platform::HostError(QStringLiteral("cannot write the terminal's lock file %1").arg(path));
    if (!id.known() || connectionString.isEmpty())
        return lock;
    auto db = std::make_unique<TerminalLockDb>(connectionString);
    try {
        if (!db->take(id, holder))
            return nullptr;
    } catch (const platform::DatabaseError&) {
        return lock;  // the database is away: the screen's opening reports it
    }
    lock->db_ = std::move(db);
    return lock;
}

std::optional<LockHolder> TerminalLock::holderOf(const QString& terminalDir)
{
    const QString path = lockFilePath(terminalDir);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;  // never locked here
    std::optional<LockHolder> holder;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        holder = holderIn(fd, path);
    ::close(fd);  // a lock taken to look is given back at once
    return holder;
}

}  // namespace pdvhost
