#include "platform/db/ErrorKind.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>

#include <libpq-fe.h>
#include <sqlite3.h>

namespace platform::db {

using Kind = DatabaseError::Kind;

Kind kindOfSqlState(const QString& sqlState)
{
    const QString s = sqlState.trimmed().toUpper();
    if (s.size() != 5)
        return Kind::Other;
    if (s.startsWith(QLatin1String("08")) || s == QLatin1String("57P01") || s == QLatin1String("57P02")
        || s == QLatin1String("57P03"))
        return Kind::ConnectionLost;
    if (s == QLatin1String("40003"))
        return Kind::InDoubt;
    if (s == QLatin1String("40001") || s == QLatin1String("40P01") || s == QLatin1String("55P03")
        || s == QLatin1String("57014"))
        return Kind::Busy;
    if (s.startsWith(QLatin1String("22")) || s.startsWith(QLatin1String("23")))
        return Kind::Refused;
    return Kind::Other;
}

Kind kindOfSqliteCode(int extendedCode)
{
    switch (extendedCode & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return Kind::Busy;
    case SQLITE_CONSTRAINT:
    case SQLITE_MISMATCH:
    case SQLITE_TOOBIG:
    case SQLITE_RANGE: return Kind::Refused;
    default: return Kind::Other;
    }
}

namespace {

// libpq's own view of the connection: broken once the server or the network went away.
bool postgresConnectionBroken(const QSqlDatabase& db)
{
    if (!db.isValid() || db.driverName() != QLatin1String("QPSQL") || !db.driver())
        return false;
    const QVariant h = db.driver()->handle();
    // The driver registers the type under its structure's name.
    if (!h.isValid() || (qstrcmp(h.typeName(), "pg_conn*") != 0 && qstrcmp(h.typeName(), "PGconn*") != 0))
        return false;
    PGconn* conn = *static_cast<PGconn* const*>(h.constData());
    return conn && PQstatus(conn) == CONNECTION_BAD;
}

}  // namespace

DatabaseError driverError(const QString& text, const QSqlError& error, const QSqlDatabase& db)
{
    const QString code = error.nativeErrorCode();
    Kind kind = Kind::Other;
    if (db.driverName() == QLatin1String("QPSQL"))
        kind = kindOfSqlState(code);
    else if (db.driverName() == QLatin1String("QSQLITE"))
        kind = kindOfSqliteCode(code.toInt());
    if (postgresConnectionBroken(db))
        kind = Kind::ConnectionLost;
    return DatabaseError(text, kind, code);
}

DatabaseError commitError(const DatabaseError& error)
{
    if (error.kind() != Kind::ConnectionLost)
        return error;
    return DatabaseError(error.text(), Kind::InDoubt, error.engineCode());
}

}  // namespace platform::db
