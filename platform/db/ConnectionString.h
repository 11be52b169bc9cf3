#pragma once
// ADO-style connection strings ("Provider=...;Data Source=...;User ID=...") and the Qt SQL
// driver each one opens.
//
//   Provider=SQLite                     Data Source=<file>                    -> QSQLITE, ansi
//   Provider=PostgreSQL                 Host, Port, Database, User ID, Password -> QPSQL, ansi
//                                       (optional: Connect Timeout=seconds, Search Path=schema[,schema])
//   Provider=MSDASQL                    DSN=... or Driver={...};...           -> QODBC, dialect asked from the server
//   Provider=SQLOLEDB|MSOLEDBSQL|SQLNCLI*   Data Source (server), Initial Catalog, User ID, Password
//                                       -> QODBC with an SQL Server ODBC driver, mssql
//   Provider=MSDAORA|OraOLEDB.Oracle    Data Source (TNS name), User ID, Password
//                                       -> QODBC with an Oracle ODBC driver, oracle
//
// Keys are case-insensitive; values may be quoted with '"' or '\'' or enclosed in braces
// ({...}) when they contain ';'. A version suffix on the provider ("MSDAORA.1",
// "SQLOLEDB.1") is ignored. The SQL Server and Oracle ODBC driver is the one the
// connection-string key "ODBC Driver" names, else the installed driver that serves the
// engine (OdbcDrivers.h); nothing comes from the environment.

#include "PlatformDbExport.h"

#include <QList>
#include <QPair>
#include <QString>

namespace platform::db {

// The SQL dialect a statement must be written in.
enum class Dialect {
    Ansi,    // SQLite, PostgreSQL and any other standard database
    MsSql,   // Microsoft SQL Server
    Oracle,
};

PLATFORM_DB_EXPORT QString dialectName(Dialect d);  // "ansi", "mssql", "oracle"

// The engine behind a connection, where it matters for binding and session set-up
// (dates on SQLite are text, PostgreSQL has its own session settings).
enum class Backend { SQLite, PostgreSQL, MsSql, Oracle, Other };

// One key=value pair as written; the key keeps its spelling.
using ConnectionPair = QPair<QString, QString>;

// Splits "a=b;c={d;e}" into pairs. Throws DatabaseError on an unterminated quote or brace.
PLATFORM_DB_EXPORT QList<ConnectionPair> splitConnectionString(const QString& text);

// What a connection string asks for, ready for QSqlDatabase.
struct ConnectionTarget {
    QString provider;      // as written, without a version suffix
    QString driver;        // "QSQLITE", "QPSQL", "QODBC"
    QString databaseName;  // QSqlDatabase::setDatabaseName (file, database, or ODBC string)
    QString host;
    int port = -1;
    QString user;
    QString password;
    QString connectOptions;        // QSqlDatabase::setConnectOptions
    Dialect dialect = Dialect::Ansi;
    Backend backend = Backend::Other;
    bool dialectFromServer = false;  // MSDASQL: ask the server's DBMS name after connecting
    int busyTimeoutMs = 10000;       // SQLite: the one wait for a busy database ("Busy Timeout=" seconds)
};

// Throws DatabaseError naming the provider when it is missing or unknown, when a
// required key (Data Source of SQLite, DSN/Driver of MSDASQL) is absent, or when a value
// is not what its key takes (a port, a time-out in seconds, yes or no): no value is
// handed to a driver unchecked.
PLATFORM_DB_EXPORT ConnectionTarget parseConnectionString(const QString& text);

// `value` as a libpq connection-string value: in single quotes, with a quote or a
// backslash inside escaped by a backslash.
PLATFORM_DB_EXPORT QString libpqQuoted(const QString& value);

// The dialect and backend for a DBMS name reported by an ODBC driver
// ("Microsoft SQL Server", "Oracle", "PostgreSQL", "SQLite", ...).
PLATFORM_DB_EXPORT Dialect dialectForDbmsName(const QString& dbmsName);
PLATFORM_DB_EXPORT Backend backendForDbmsName(const QString& dbmsName);

}  // namespace platform::db
