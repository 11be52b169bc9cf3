#include "platform/db/Connection.h"

#include "platform/Error.h"
#include "platform/db/ErrorKind.h"
#include "platform/db/SqliteBusy.h"
#include "platform/db/SqliteStatement.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <sql.h>
#include <sqlext.h>

namespace platform::db {

struct Connection::Impl {
    QString connectionString;
    Event beforeConnect, afterConnect;
    ConnectionTarget target;
    QString qtName;
    bool open = false;
    bool inTransaction = false;
    bool rawTransaction = false;  // started with BEGIN IMMEDIATE, ended with plain SQL
    Dialect dialect = Dialect::Ansi;
    Backend backend = Backend::Other;
    QString dbmsName;
    int appliedTimeout = -1;  // PostgreSQL statement_timeout last set, -1 unknown

    void identifyServer(const QSqlDatabase& db, const ConnectionTarget& opened);
};

namespace {

QString uniqueName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("vak_db_%1").arg(counter.fetchAndAddRelaxed(1) + 1);
}

QString errorText(const QSqlError& e)
{
    QString text = e.text().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("unknown database error");
    return text;
}

// The server's own name for itself, asked through the ODBC handle (SQL_DBMS_NAME).
QString odbcDbmsName(const QSqlDatabase& db)
{
    QVariant h = db.driver()->handle();
    if (!h.isValid() || (qstrcmp(h.typeName(), "SQLHANDLE") != 0 && qstrcmp(h.typeName(), "void*") != 0))
        return {};
    SQLHANDLE dbc = *static_cast<SQLHANDLE*>(h.data());
    if (!dbc)
        return {};
    SQLCHAR name[256] = {};
    SQLSMALLINT len = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_DBMS_NAME, name, sizeof name, &len)))
        return {};
    return QString::fromUtf8(reinterpret_cast<const char*>(name));
}

}  // namespace

Connection::Connection(QObject* parent) : QObject(parent), d(new Impl)
{
    d->qtName = uniqueName();
}

Connection::Connection(const QString& connectionString, QObject* parent) : Connection(parent)
{
    d->connectionString = connectionString;
}

Connection::~Connection()
{
    close();
    delete d;
}

QString Connection::connectionString() const { return d->connectionString; }
void Connection::setConnectionString(const QString& text) { d->connectionString = text; }
void Connection::setBeforeConnect(Event handler) { d->beforeConnect = std::move(handler); }
void Connection::setAfterConnect(Event handler) { d->afterConnect = std::move(handler); }
bool Connection::connected() const { return d->open; }
Dialect Connection::dialect() const { return d->dialect; }
Backend Connection::backend() const { return d->backend; }
QString Connection::dbmsName() const { return d->dbmsName; }
const ConnectionTarget& Connection::connectionTarget() const { return d->target; }
QString Connection::qtConnectionName() const { return d->qtName; }
bool Connection::inTransaction() const { return d->inTransaction; }

QSqlDatabase Connection::database() const
{
    if (!d->open)
        return QSqlDatabase();
    return QSqlDatabase::database(d->qtName, false);
}

namespace {

// SQLite would create a missing file as an empty database, and every statement would
// then fail with "no such table": a connection opens an existing database only (shopgen
// creates shops). ":memory:" and URIs are left to SQLite.
void requireExistingSqliteFile(const QString& path)
{
    if (path == QLatin1String(":memory:") || path.startsWith(QLatin1String("file:")))
        return;
    const QFileInfo info(path);
    if (!info.exists())
        throw DatabaseError(QStringLiteral("Cannot connect (SQLite): the database file %1 does not exist").arg(path));
    if (!info.isFile())
        throw DatabaseError(QStringLiteral("Cannot connect (SQLite): %1 is not a database file").arg(path));
}

// A Qt connection named `qtName` to the target, open. Throws DatabaseError naming the
// provider when it does not open, and leaves no connection of that name behind.
QSqlDatabase openQtDatabase(const ConnectionTarget& target, const QString& qtName)
{
    if (target.driver == QLatin1String("QSQLITE"))
        requireExistingSqliteFile(target.databaseName);
    if (!QSqlDatabase::isDriverAvailable(target.driver))
        throw DatabaseError(QStringLiteral("Database driver %1 is not available (provider %2)").arg(target.driver, target.provider));
    QSqlDatabase db = QSqlDatabase::addDatabase(target.driver, qtName);
    db.setDatabaseName(target.databaseName);
    if (!target.host.isEmpty())
        db.setHostName(target.host);
    if (target.port > 0)
        db.setPort(target.port);
    if (!target.user.isEmpty())
        db.setUserName(target.user);
    if (!target.password.isEmpty())
        db.setPassword(target.password);
    if (!target.connectOptions.isEmpty())
        db.setConnectOptions(target.connectOptions);
    if (!db.open()) {
        const QString text = errorText(db.lastError());
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(qtName);
        throw DatabaseError(QStringLiteral("Cannot connect (%1): %2").arg(target.provider, text));
    }
    return db;
}

// This system's statements are short lookups. PostgreSQL compiles a statement to machine
// code when its estimated cost is high, which a join on a range (the product tree)
// inflates far beyond what it reads: the compilation then costs more than the statement.
// A server without the setting has nothing to turn off.
void turnOffPostgresJit(const QString& qtName)
{
    QSqlQuery(QStringLiteral("SET jit = off"), QSqlDatabase::database(qtName, false));
}

}  // namespace

// What the open connection reaches: its dialect, engine and DBMS name (an ODBC data source
// may say them only once connected); SQLite gets its busy wait.
void Connection::Impl::identifyServer(const QSqlDatabase& db, const ConnectionTarget& opened)
{
    target = opened;
    dialect = target.dialect;
    backend = target.backend;
    dbmsName = target.driver;
    if (target.driver == QLatin1String("QODBC")) {
        dbmsName = odbcDbmsName(db);
        if (target.dialectFromServer) {
            dialect = dialectForDbmsName(dbmsName);
            backend = backendForDbmsName(dbmsName);
        }
    } else if (target.driver == QLatin1String("QSQLITE")) {
        dbmsName = QStringLiteral("SQLite");
        if (sqlite3* handle = SqliteStatement::handleOf(db))
            sqlitebusy::install(handle, target.databaseName, target.busyTimeoutMs);
    } else if (target.driver == QLatin1String("QPSQL")) {
        dbmsName = QStringLiteral("PostgreSQL");
    }
}

void Connection::open()
{
    if (d->open)
        return;
    if (d->beforeConnect)
        d->beforeConnect(*this);
    const ConnectionTarget target = parseConnectionString(d->connectionString);
    d->identifyServer(openQtDatabase(target, d->qtName), target);
    d->open = true;
    d->inTransaction = false;
    d->appliedTimeout = -1;
    if (d->backend == Backend::PostgreSQL)
        turnOffPostgresJit(d->qtName);
    try {
        if (d->afterConnect)
            d->afterConnect(*this);
    } catch (...) {
        close();
        throw;
    }
    emit connectedChanged(true);
}

void Connection::close()
{
    if (!d->open)
        return;
    rollback();
    emit aboutToClose();
    {
        QSqlDatabase db = QSqlDatabase::database(d->qtName, false);
        if (sqlite3* handle = SqliteStatement::handleOf(db))
            sqlitebusy::remove(handle);
        db.close();
    }
    QSqlDatabase::removeDatabase(d->qtName);
    d->open = false;
    emit connectedChanged(false);
}

void Connection::execute(const QString& sql)
{
    if (!d->open)
        throw DatabaseError(QStringLiteral("The connection is not open"));
    QSqlQuery q(database());
    if (!q.exec(sql)) {
        sqlite3* handle = SqliteStatement::handleOf(database());
        const QString code = q.lastError().nativeErrorCode();
        if (handle && sqlitebusy::isBusyCode(code.toInt()))
            throw DatabaseError(sqlitebusy::message(handle), DatabaseError::Kind::Busy, code);
        throw driverError(errorText(q.lastError()), q.lastError(), database());
    }
}

void Connection::beginTransaction(bool writeLock)
{
    if (!d->open)
        throw DatabaseError(QStringLiteral("The connection is not open"));
    if (d->inTransaction)
        throw DatabaseError(QStringLiteral("A transaction is already open on this connection"));
    if (writeLock && d->target.driver == QLatin1String("QSQLITE")) {
        // BEGIN IMMEDIATE takes the write lock now (waiting up to the busy timeout), so a
        // counter read inside cannot be overtaken by another process.
        execute(QStringLiteral("BEGIN IMMEDIATE"));
        d->rawTransaction = true;
    } else {
        QSqlDatabase db = database();
        if (!db.transaction())
            throw driverError(QStringLiteral("Cannot begin a transaction: ") + errorText(db.lastError()), db.lastError(), db);
        d->rawTransaction = false;
    }
    d->inTransaction = true;
}

void Connection::commit()
{
    if (!d->inTransaction)
        throw DatabaseError(QStringLiteral("No transaction to commit"));
    // A commit that met a lost connection may have been carried out: its answer is what
    // was lost.
    if (d->rawTransaction) {
        try {
            execute(QStringLiteral("COMMIT"));
        } catch (const DatabaseError& e) {
            throw commitError(e);
        }
    } else {
        QSqlDatabase db = database();
        if (!db.commit())
            throw commitError(driverError(QStringLiteral("Cannot commit: ") + errorText(db.lastError()), db.lastError(), db));
    }
    d->inTransaction = false;
}

void Connection::rollback()
{
    if (!d->inTransaction || !d->open)
        return;
    d->inTransaction = false;
    d->appliedTimeout = -1;  // a SET inside the transaction is undone with it
    if (d->rawTransaction) {
        QSqlQuery q(database());
        q.exec(QStringLiteral("ROLLBACK"));
    } else {
        database().rollback();
    }
}

void Connection::applyStatementTimeout(int seconds)
{
    if (!d->open || d->backend != Backend::PostgreSQL || d->target.driver != QLatin1String("QPSQL"))
        return;
    if (seconds < 0)
        seconds = 0;
    if (d->appliedTimeout == seconds)
        return;
    execute(QStringLiteral("SET statement_timeout = %1").arg(qint64(seconds) * 1000));
    d->appliedTimeout = seconds;
}

QString Connection::lastErrorText() const
{
    if (!d->open)
        return {};
    QSqlError e = database().lastError();
    return e.isValid() ? e.text().trimmed() : QString();
}

}  // namespace platform::db
