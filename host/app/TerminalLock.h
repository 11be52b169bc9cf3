#pragma once
// One host per terminal. A terminal is its fiscal identity (branch and register, read from
// its parameter file); while pdvhost runs a terminal it holds, for the life of the process:
//
// - the terminal folder's lock file (pdvhost.lock): an flock on the open file, which the
//   system releases when the process ends however it ends; the file holds the holder's
//   pid, start time and machine, so that the next one can say who it is;
// - a lock in the shop database keyed by branch and register, so that two machines (two
//   copies of one terminal folder) cannot both run the register (TerminalLockDb.cpp).
//
// A second host on the same terminal is refused with the holder's process and machine.
// Start-up recovery runs only under both locks: a redemption in flight on the terminal
// is never settled by another host.
//
// Not thread-safe; one per process.

#include "platform/db/Connection.h"

#include <QString>

#include <memory>
#include <optional>

namespace pdvhost {

// Branch and register codes of the terminal whose folder is the host directory.
struct TerminalId {
    QString branch, cashRegister;
    bool known() const { return !branch.isEmpty() && !cashRegister.isEmpty(); }
    QString text() const;  // "filial 01, caixa 003"
};
// Read from the host directory's parameter file; empty when it cannot be read (the
// screen's opening then reports the file).
TerminalId readTerminalId();

// The process holding a lock: its pid, its machine, and where the lock is.
struct LockHolder {
    qint64 pid = 0;
    QString machine;
    QString where;  // the lock file, or the database lock
    QString text() const;  // "process 1234 on machine caixa03 (DIR/pdvhost.lock)"
};

// This process as a lock holder: pid, start time (which tells a reused pid apart) and
// machine name.
struct ProcessMark {
    qint64 pid = 0;
    qint64 started = 0;
    QString machine;
    static ProcessMark self();
    // Whether the process this mark names still runs on this machine.
    bool alive() const;
};

class TerminalLockDb;

class TerminalLock {
public:
    ~TerminalLock();
    TerminalLock(const TerminalLock&) = delete;
    TerminalLock& operator=(const TerminalLock&) = delete;

    // Takes the terminal folder's lock file, then the database lock of `id` on the
    // database `connectionString` names (not when `id` is unknown, nor when the database
    // cannot be reached: the screen's opening reports that). Null when another process
    // holds either; `holder` then says which.
    static std::unique_ptr<TerminalLock> take(const QString& terminalDir, const TerminalId& id,
                                              const QString& connectionString, LockHolder* holder);

    // Who holds the terminal folder's lock now, without taking it: nothing when no host
    // runs the terminal.
    static std::optional<LockHolder> holderOf(const QString& terminalDir);

    static QString lockFilePath(const QString& terminalDir);

private:
    TerminalLock() = default;
    int fd_ = -1;
    std::unique_ptr<TerminalLockDb> db_;
};

// The database part (TerminalLockDb.cpp). PostgreSQL: a session advisory lock; SQLite: a
// row of TERMINALHOST naming the live holder. Other backends: none (the lock file alone).
class TerminalLockDb {
public:
    explicit TerminalLockDb(const QString& connectionString);
    ~TerminalLockDb();
    // Takes the lock of `id`; false with `holder` filled when another process holds it.
    // Throws platform::DatabaseError when the database cannot be reached.
    bool take(const TerminalId& id, LockHolder* holder);

private:
    bool takeAdvisory(const TerminalId& id, LockHolder* holder);
    bool takeRow(const TerminalId& id, LockHolder* holder);
    void releaseRow();
    platform::db::Connection db_;
    TerminalId held_;
    bool row_ = false;
    ProcessMark self_;
};

}  // namespace pdvhost
