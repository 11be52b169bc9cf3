#include "platform/db/SqliteBusy.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QThread>

#include <sqlite3.h>

#include <memory>

namespace platform::db::sqlitebusy {

namespace {

struct Wait {
    QString file;
    int timeoutMs = 0;
    QElapsedTimer started;  // of the current wait
    qint64 waitedMs = 0;    // of the last wait that gave up
    bool skipped = false;   // the last wait was not made: the file was found busy just before
};

QMutex mutex;
QHash<sqlite3*, std::shared_ptr<Wait>> waits;
QHash<QString, qint64> foundBusyAt;  // file -> clock() when a wait last ran out

qint64 clock()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

// SQLite's busy handler: true (1) to try again after a short sleep, 0 to give up.
int onBusy(void* context, int count)
{
    auto* w = static_cast<Wait*>(context);
    if (count == 0) {
        QMutexLocker lock(&mutex);
        const auto found = foundBusyAt.constFind(w->file);
        w->skipped = found != foundBusyAt.constEnd() && clock() - *found < w->timeoutMs;
        w->waitedMs = 0;
        if (w->skipped)
            return 0;
        w->started.start();
    }
    const qint64 elapsed = w->started.elapsed();
    if (elapsed >= w->timeoutMs) {
        w->waitedMs = elapsed;
        QMutexLocker lock(&mutex);
        foundBusyAt.insert(w->file, clock());
        return 0;
    }
    QThread::msleep(quint64(qMin<qint64>(count < 10 ? 5 : 50, w->timeoutMs - elapsed)));
    return 1;
}

}  // namespace

void install(sqlite3* handle, const QString& file, int timeoutMs)
{
    auto w = std::make_shared<Wait>();
    w->file = file;
    w->timeoutMs = qMax(0, timeoutMs);
    {
        QMutexLocker lock(&mutex);
        waits.insert(handle, w);
    }
    sqlite3_busy_handler(handle, &onBusy, w.get());
}

void remove(sqlite3* handle)
{
    sqlite3_busy_handler(handle, nullptr, nullptr);
    QMutexLocker lock(&mutex);
    waits.remove(handle);
}

QString message(sqlite3* handle)
{
    std::shared_ptr<Wait> w;
    {
        QMutexLocker lock(&mutex);
        w = waits.value(handle);
    }
    if (!w)
        return QStringLiteral("the database is busy: another connection holds its lock");
    if (w->skipped)
        return QStringLiteral("the database %1 is busy: another connection holds its lock (it was found busy "
                              "less than %2 s ago after a full wait, so this operation did not wait again)")
            .arg(w->file)
            .arg(w->timeoutMs / 1000.0, 0, 'g', 3);
    return QStringLiteral("the database %1 is busy: another connection holds its lock (waited %2 s)")
        .arg(w->file)
        .arg(w->waitedMs / 1000.0, 0, 'f', 1);
}

bool isBusyCode(int code)
{
    return (code & 0xFF) == SQLITE_BUSY || (code & 0xFF) == SQLITE_LOCKED;
}

}  // namespace platform::db::sqlitebusy
