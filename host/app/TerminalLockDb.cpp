// The database half of the terminal's lock (TerminalLock.h): what keeps two machines from
// running one register at once, which the lock file in one machine's folder cannot.
#include "host/app/TerminalLock.h"

#include "platform/Error.h"
#include "platform/db/Query.h"
#include "platform/db/Transaction.h"

namespace pdvhost {

using platform::db::Backend;
using platform::db::Command;
using platform::db::Query;

namespace {

// The advisory lock's first key: the terminals' own class ("VAKT"). The consumer lock of
// the close-out uses the single-key form, a key space that never meets the two-key one.
constexpr qint64 kTerminalClass = 0x56414B54;

// The second key: FNV-1a of branch and register, kept positive (pg_locks shows the keys
// as unsigned oids). Two registers of one shop meeting on one hash would only make the
// second wait for a host of the first to end.
qint64 terminalKey(const TerminalId& id)
{
    quint32 hash = 2166136261u;
    for (const char c : (id.branch + QLatin1Char('/') + id.cashRegister).toUtf8()) {
        hash ^= quint8(c);
        hash *= 16777619u;
    }
    return qint64(hash & 0x7fffffffu);
}

// How this process names itself to the server, and how a holder is read back from it.
QString applicationName(const ProcessMark& self)
{
    return QStringLiteral("pdvhost pid=%1 machine=%2").arg(self.pid).arg(self.machine.left(30));
}

LockHolder holderFromName(const QString& name, qint64 backendPid, const QString& where)
{
    LockHolder h{0, QString(), where};
    for (const QString& part : name.split(QLatin1Char(' '))) {
        if (part.startsWith(QLatin1String("pid=")))
            h.pid = part.mid(4).toLongLong();
        else if (part.startsWith(QLatin1String("machine=")))
            h.machine = part.mid(8);
    }
    if (h.pid == 0)
        h.machine = QStringLiteral("%1 (server process %2)").arg(name.isEmpty() ? QStringLiteral("?") : name).arg(backendPid);
    return h;
}

QString whereInDatabase(const TerminalId& id)
{
    return QStringLiteral("database lock of %1").arg(id.text());
}

}  // namespace

TerminalLockDb::TerminalLockDb(const QString& connectionString) : db_(connectionString), self_(ProcessMark::self()) {}

TerminalLockDb::~TerminalLockDb()
{
    try {
        if (row_)
            releaseRow();
        // PostgreSQL's advisory lock ends with the session.
        db_.close();
    } catch (const platform::Error&) {
        // A row left behind names a process that no longer runs: the next host takes over.
    }
}

bool TerminalLockDb::take(const TerminalId& id, LockHolder* holder)
{
    db_.open();
    switch (db_.backend()) {
    case Backend::PostgreSQL: return takeAdvisory(id, holder);
    case Backend::SQLite: return takeRow(id, holder);
    default: return true;  // no lock of the database's own here: the lock file alone
    }
}

// A session advisory lock: held by the server for this connection, given back when the
// connection ends however the process ends, on whatever machine the other host runs.
bool TerminalLockDb::takeAdvisory(const TerminalId& id, LockHolder* holder)
{
    Query name(&db_);
    name.setSql(QStringLiteral("SELECT set_config('application_name', :P_NOME, false)"));
    name.setParam(QStringLiteral("P_NOME"), applicationName(self_));
    name.open();
    name.close();
    Query lock(&db_);
    lock.setSql(QStringLiteral("SELECT pg_try_advisory_lock(:P_CLASSE, :P_CHAVE)"));
    lock.setParam(QStringLiteral("P_CLASSE"), int(kTerminalClass));
    lock.setParam(QStringLiteral("P_CHAVE"), int(terminalKey(id)));
    lock.open();
    if (lock.value(0).toBool()) {
        held_ = id;
        return true;
    }
    lock.close();
    Query who(&db_);
    who.setSql(QStringLiteral("SELECT a.application_name, a.pid FROM pg_locks l JOIN pg_stat_activity a ON a.pid = l.pid "
                              "WHERE l.locktype = 'advisory' AND l.granted AND l.objsubid = 2 "
                              "AND l.classid = CAST(:P_CLASSE AS oid) AND l.objid = CAST(:P_CHAVE AS oid)"));
    who.setParam(QStringLiteral("P_CLASSE"), QString::number(kTerminalClass));
    who.setParam(QStringLiteral("P_CHAVE"), QString::number(terminalKey(id)));
    who.open();
    *holder = who.eof() ? LockHolder{0, QString(), whereInDatabase(id)}
                        : holderFromName(who.value(0).toString(), who.value(1).toLongLong(), whereInDatabase(id));
    return false;
}

// SQLite has no session to hold a lock for: a row names the holder (pid, start time,
// machine) and the write lock of the database makes reading and claiming it one step. A
// row whose process no longer runs on this machine is taken over (a host that died); one
// of another machine is taken as running, since its process cannot be seen from here.
bool TerminalLockDb::takeRow(const TerminalId& id, LockHolder* holder)
{
    // Made at first use, so that a shop database made before this lock existed needs no
    // migration; the table holds only the hosts running now.
    db_.execute(QStringLiteral("CREATE TABLE IF NOT EXISTS TERMINALHOST (CDFILIAL VARCHAR(4) NOT NULL, "
                               "CDCAIXA VARCHAR(3) NOT NULL, NRPID INTEGER NOT NULL, NRINICIO INTEGER NOT NULL, "
                               "NMMAQUINA VARCHAR(255) NOT NULL, PRIMARY KEY (CDFILIAL, CDCAIXA))"));
    platform::db::Transaction transaction(db_, /*writeLock=*/true);
    Query row(&db_);
    row.setSql(QStringLiteral("SELECT NRPID, NRINICIO, NMMAQUINA FROM TERMINALHOST WHERE CDFILIAL = :P_CDFILIAL "
                              "AND CDCAIXA = :P_CDCAIXA"));
    row.setParam(QStringLiteral("P_CDFILIAL"), id.branch);
    row.setParam(QStringLiteral("P_CDCAIXA"), id.cashRegister);
    row.open();
    if (!row.eof()) {
        const ProcessMark other{row.value(0).toLongLong(), row.value(1).toLongLong(), row.value(2).toString()};
        if (other.alive() && !(other.pid == self_.pid && other.machine == self_.machine)) {
            *holder = LockHolder{other.pid, other.machine, whereInDatabase(id)};
            return false;
        }
    }
    row.close();
    Command claim(&db_);
    claim.setSql(QStringLiteral("DELETE FROM TERMINALHOST WHERE CDFILIAL = :P_CDFILIAL AND CDCAIXA = :P_CDCAIXA"));
    claim.setParam(QStringLiteral("P_CDFILIAL"), id.branch);
    claim.setParam(QStringLiteral("P_CDCAIXA"), id.cashRegister);
    claim.execute();
    Command insert(&db_);
    insert.setSql(QStringLiteral("INSERT INTO TERMINALHOST (CDFILIAL, CDCAIXA, NRPID, NRINICIO, NMMAQUINA) "
                                 "VALUES (:P_CDFILIAL, :P_CDCAIXA, :P_PID, :P_INICIO, :P_MAQUINA)"));
    insert.setParam(QStringLiteral("P_CDFILIAL"), id.branch);
    insert.setParam(QStringLiteral("P_CDCAIXA"), id.cashRegister);
    insert.setParam(QStringLiteral("P_PID"), self_.pid);
    insert.setParam(QStringLiteral("P_INICIO"), self_.started);
    insert.setParam(QStringLiteral("P_MAQUINA"), self_.machine);
    insert.execute();
    transaction.commit();
    held_ = id;
    row_ = true;
    return true;
}

void TerminalLockDb::releaseRow()
{
    Command release(&db_);
    release.setSql(QStringLiteral("DELETE FROM TERMINALHOST WHERE CDFILIAL = :P_CDFILIAL AND CDCAIXA = :P_CDCAIXA "
                                  "AND NRPID = :P_PID AND NRINICIO = :P_INICIO"));
    release.setParam(QStringLiteral("P_CDFILIAL"), held_.branch);
    release.setParam(QStringLiteral("P_CDCAIXA"), held_.cashRegister);
    release.setParam(QStringLiteral("P_PID"), self_.pid);
    release.setParam(QStringLiteral("P_INICIO"), self_.started);
    release.execute();
    row_ = false;
}

}  // namespace pdvhost
