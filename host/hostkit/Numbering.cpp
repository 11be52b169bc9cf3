// TdtmQvnProxCodigo: counters in NOVOCODIGO advanced atomically.
//
// One transaction per number: the counter row is locked first (SQLite: BEGIN IMMEDIATE
// takes the write lock; elsewhere an UPDATE of the row to itself locks it until commit),
// then read, advanced and written. On PostgreSQL a counter that exists and holds a number
// below its maximum is advanced by one statement instead (see advanceAtOnce). A counter seen for the first time is inserted; when two
// terminals insert the same new key at once, the unique key on CDCONTADOR refuses the
// second insert, which then rolls back and starts again on the now existing row.

#include "HostkitInternal.h"

#include "platform/db/Transaction.h"

#include <limits>
#include <optional>

namespace hostkit {

using platform::FieldType;
using platform::db::Command;
using platform::db::Connection;
using platform::db::Query;
using platform::db::Statement;

namespace {

constexpr int kInsertAttempts = 5;

qint64 storedNumber(const QString& key, const QVariant& value)
{
    const QString text = value.toString().trimmed();
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    if (!ok || n < 0)
        throw platform::HostError(QStringLiteral("Contador %1 em NOVOCODIGO com valor inválido: '%2'").arg(key, text));
    return n;
}

// PostgreSQL: a counter row holding a plain number below `maximum` is advanced and read
// back by one statement outside any transaction, so that its row is locked only while that
// statement runs: terminals drawing from one counter at once (the day's receipt passwords
// are the branch's) then wait for no other terminal's round trips. None when the row is
// missing or holds anything else; the transaction below then deals with it (creates it,
// or reports the bad value or the end of the counter).
std::optional<qint64> advanceAtOnce(Connection& conn, const QString& key, qint64 maximum)
{
    if (conn.backend() != platform::db::Backend::PostgreSQL)
        return std::nullopt;
    Query advance(&conn);
    advance.setSql(QStringLiteral(
        "UPDATE NOVOCODIGO SET NRSEQUENCIAL = CAST(CAST(TRIM(NRSEQUENCIAL) AS BIGINT) + 1 AS VARCHAR(20)) "
        "WHERE CDCONTADOR = :P_CDCONTADOR AND CASE WHEN TRIM(NRSEQUENCIAL) ~ '^[0-9]{1,18}$' "
        "THEN CAST(TRIM(NRSEQUENCIAL) AS BIGINT) < :P_MAXIMO ELSE FALSE END RETURNING NRSEQUENCIAL"));
    advance.setCommandTimeout(0);
    advance.setParam(QStringLiteral("P_CDCONTADOR"), key);
    advance.declareParam(QStringLiteral("P_MAXIMO"), FieldType::LargeInt).setValue(maximum);
    advance.open();
    if (advance.eof())
        return std::nullopt;
    return storedNumber(key, advance.value(0));
}

}  // namespace

namespace {

// The connection a numbering component of this thread left behind, kept for the next one.
// A component lives for one draw (the caller creates and releases it around each call), and
// opening a connection to a database server costs more than the rest of a redemption; so on
// a server engine the own connection outlives the component, one per thread (a connection
// belongs to the thread that made it), for the same connection string. Not on SQLite: a
// connection there is a file opened, cheap, and one kept open would go on writing into a
// database file that has been replaced meanwhile.
struct IdleConnection {
    QString connectionString;
    std::unique_ptr<Connection> connection;
};
thread_local IdleConnection idle;

bool worthKeeping(const Connection& c)
{
    return c.connected() && !c.inTransaction() && c.backend() != platform::db::Backend::SQLite;
}

}  // namespace

TdtmQvnProxCodigo::TdtmQvnProxCodigo(QObject* owner) : QObject(owner) {}

TdtmQvnProxCodigo::~TdtmQvnProxCodigo()
{
    if (own_ && worthKeeping(*own_)) {
        idle.connectionString = ownString_;
        idle.connection = std::move(own_);
    }
}

void TdtmQvnProxCodigo::setConnectionString(const QString& connectionString)
{
    connectionString_ = connectionString;
    own_.reset();
}

void TdtmQvnProxCodigo::setConnection(Connection* connection)
{
    external_ = connection;
}

Connection& TdtmQvnProxCodigo::connection()
{
    if (external_)
        return *external_;
    if (!own_) {
        ownString_ = connectionString_.isEmpty() ? GetStringConexQvn() : connectionString_;
        if (idle.connection && idle.connectionString == ownString_ && worthKeeping(*idle.connection)) {
            own_ = std::move(idle.connection);
            reused_ = true;
            return *own_;
        }
        idle.connection.reset();
        auto c = std::make_unique<Connection>(ownString_);
        c->setAfterConnect([](Connection& conn) { SetADODBSession(&conn); });
        c->open();
        own_ = std::move(c);
        reused_ = false;
    }
    return *own_;
}

namespace {

// The next value of `key` on `conn`, which must be between transactions.
qint64 drawOn(Connection& conn, const QString& key, qint64 maximum)
{
    if (conn.inTransaction())
        throw platform::HostError(QStringLiteral("Numeração: a conexão já está numa transação"));
    if (const std::optional<qint64> advanced = advanceAtOnce(conn, key, maximum))
        return *advanced;
    Command lock(&conn);
    lock.setSql(QStringLiteral("UPDATE NOVOCODIGO SET NRSEQUENCIAL = NRSEQUENCIAL WHERE CDCONTADOR = :P_CDCONTADOR"));
    Query read(&conn);
    read.setSql(QStringLiteral("SELECT NRSEQUENCIAL FROM NOVOCODIGO WHERE CDCONTADOR = :P_CDCONTADOR"));
    Command write(&conn);
    write.setSql(QStringLiteral("UPDATE NOVOCODIGO SET NRSEQUENCIAL = :P_NRSEQUENCIAL WHERE CDCONTADOR = :P_CDCONTADOR"));
    Command insert(&conn);
    insert.setSql(QStringLiteral("INSERT INTO NOVOCODIGO (CDCONTADOR, NRSEQUENCIAL) VALUES (:P_CDCONTADOR, :P_NRSEQUENCIAL)"));
    for (Command* c : {&lock, &write, &insert})
        c->setCommandTimeout(0);
    read.setCommandTimeout(0);
    for (Statement* s : std::initializer_list<Statement*>{&lock, &read, &write, &insert})
        s->setParam(QStringLiteral("P_CDCONTADOR"), key);

    for (int attempt = 1;; ++attempt) {
        platform::db::Transaction transaction(conn, /*writeLock=*/true);
        struct CloseRead {
            Query& q;
            ~CloseRead() { q.close(); }
        } closeRead{read};
        if (lock.execute() == 0) {
            if (maximum < 1)
                throw platform::HostError(QStringLiteral("Contador %1 esgotado").arg(key));
            insert.setParam(QStringLiteral("P_NRSEQUENCIAL"), QStringLiteral("1"));
            try {
                insert.execute();
            } catch (const platform::DatabaseError&) {
                // Another terminal created the row in between: start again on it.
                if (attempt >= kInsertAttempts)
                    throw;
                continue;  // the transaction rolls back as it goes out of scope
            }
            transaction.commit();
            return 1;
        }
        read.open();
        if (read.eof())
            throw platform::HostError(QStringLiteral("Contador %1 sumiu durante a numeração").arg(key));
        const qint64 current = storedNumber(key, read.value(0));
        read.close();
        if (current >= maximum)
            throw platform::HostError(QStringLiteral("Contador %1 esgotado (%2)").arg(key).arg(current));
        const qint64 n = current + 1;
        write.setParam(QStringLiteral("P_NRSEQUENCIAL"), QString::number(n));
        write.execute();
        transaction.commit();
        return n;
    }
}

}  // namespace

qint64 TdtmQvnProxCodigo::next(const QString& key, qint64 maximum)
{
    try {
        return drawOn(connection(), key, maximum);
    } catch (const platform::DatabaseError& error) {
        // A kept connection the server has dropped meanwhile (restarted, idle cut): once
        // more on a new one. A draw whose answer was lost is a number consumed, as any
        // number drawn and not used.
        if (!reused_ || error.kind() != platform::DatabaseError::Kind::ConnectionLost)
            throw;
    }
    own_.reset();
    return drawOn(connection(), key, maximum);
}

QString TdtmQvnProxCodigo::PrxVendaDia(const QString& cdFilial, const QDateTime& data)
{
    return internal::observed<QString>(QStringLiteral("PrxVendaDia"), {cdFilial, data}, [&] {
        if (!data.isValid())
            throw platform::HostError(QStringLiteral("PrxVendaDia: data inválida"));
        const QString key = QStringLiteral("PRXVENDADIA_%1_%2").arg(cdFilial.trimmed(), data.date().toString(QStringLiteral("yyyyMMdd")));
        return QString::number(next(key, std::numeric_limits<qint64>::max() - 1));
    });
}

QString TdtmQvnProxCodigo::PrxNumeroNFCe(const QString& cdFilial, const QString& serie, const QString& ambiente)
{
    return internal::observed<QString>(QStringLiteral("PrxNumeroNFCe"), {cdFilial, serie, ambiente}, [&] {
        const QString key = QStringLiteral("PRXNFCE_%1_%2_%3").arg(cdFilial.trimmed(), serie.trimmed(), ambiente.trimmed());
        return QString::number(next(key, 999999999));
    });
}

}  // namespace hostkit
