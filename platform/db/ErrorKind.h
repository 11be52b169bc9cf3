#pragma once
// What a database failure means for the statement that met it (DatabaseError::Kind), told
// from what the engine answered: PostgreSQL's SQLSTATE, SQLite's extended result code, a
// connection the client library found broken. An answer that says nothing known is
// Kind::Other.

#include "PlatformDbExport.h"
#include "platform/Error.h"

#include <QString>

class QSqlDatabase;
class QSqlError;

namespace platform::db {

// By SQLSTATE (PostgreSQL, and ODBC drivers that report it): class 08 and the server's
// shutdown codes: the connection is lost; 40003 (completion unknown): in doubt; 40001,
// 40P01, 55P03, 57014 (serialization, deadlock, lock not available, cancelled by a
// time-out): busy; classes 22 and 23 (a value, a constraint): refused.
PLATFORM_DB_EXPORT DatabaseError::Kind kindOfSqlState(const QString& sqlState);

// By SQLite's extended result code: BUSY and LOCKED: busy; CONSTRAINT, MISMATCH, TOOBIG,
// RANGE: refused.
PLATFORM_DB_EXPORT DatabaseError::Kind kindOfSqliteCode(int extendedCode);

// The error for a failed call of Qt SQL on `db`, with `text`: the driver's code and its
// kind; on PostgreSQL a connection that libpq finds broken is lost whatever else it said.
PLATFORM_DB_EXPORT DatabaseError driverError(const QString& text, const QSqlError& error, const QSqlDatabase& db);

// The same failure met by a commit: a connection lost then leaves the commit in doubt.
PLATFORM_DB_EXPORT DatabaseError commitError(const DatabaseError& error);

}  // namespace platform::db
