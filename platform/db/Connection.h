#pragma once
// Connection: one database connection opened from an ADO-style connection string
// (see ConnectionString.h), with before- and after-connect events and transactions.
//
// Owns one Qt SQL connection under a name unique to this object; closing or destroying
// the Connection closes it and removes it from Qt's registry. Statements (Query, Command)
// refer to a Connection and must not outlive it in use.
//
// Throws platform::DatabaseError, with the driver's text, when the connection cannot be
// opened, a statement fails or a transaction cannot be started or ended.

#include "PlatformDbExport.h"
#include "platform/db/ConnectionString.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>

#include <functional>

namespace platform::db {

class PLATFORM_DB_EXPORT Connection : public QObject {
    Q_OBJECT
public:
    using Event = std::function<void(Connection&)>;

    explicit Connection(QObject* parent = nullptr);
    explicit Connection(const QString& connectionString, QObject* parent = nullptr);
    ~Connection() override;

    QString connectionString() const;
    // Changing the string of an open connection takes effect on the next open.
    void setConnectionString(const QString& text);

    // Before connecting: may set the connection string (the data module asks the host
    // toolkit for it here). After connecting: session set-up on the open connection.
    // An exception from either event aborts the open (the connection is closed again)
    // and reaches the caller of open().
    void setBeforeConnect(Event handler);
    void setAfterConnect(Event handler);

    // Runs before-connect, parses the string, opens the driver, learns the dialect and
    // runs after-connect. Opening an open connection does nothing.
    void open();
    void close();
    bool connected() const;
    void setConnected(bool on) { on ? open() : close(); }

    Dialect dialect() const;         // valid while connected
    Backend backend() const;         // valid while connected
    QString dbmsName() const;        // the server's name for itself (ODBC), else the driver
    const ConnectionTarget& connectionTarget() const;  // of the last open
    QString qtConnectionName() const;
    QSqlDatabase database() const;   // the Qt handle; invalid while closed

    // Transactions. writeLock takes the database's write lock at once (SQLite
    // BEGIN IMMEDIATE), so that a read-then-update inside cannot be overtaken; other
    // backends lock rows as the statements touch them. Nesting is not supported:
    // beginning twice throws.
    void beginTransaction(bool writeLock = false);
    void commit();
    void rollback();  // never throws; does nothing without a transaction
    bool inTransaction() const;

    // Runs one statement without parameters (session settings, DDL). Throws DatabaseError.
    void execute(const QString& sql);

    // Statement time-out in seconds applied by this connection (0 = none). Enforced on
    // PostgreSQL (statement_timeout); other backends keep the setting without effect.
    void applyStatementTimeout(int seconds);

    // The text of the driver's last error on this connection, for error messages.
    QString lastErrorText() const;

signals:
    void connectedChanged(bool connected);
    // Emitted before the Qt connection goes away: statements drop their prepared queries.
    void aboutToClose();

private:
    struct Impl;
    Impl* d;
};

}  // namespace platform::db
