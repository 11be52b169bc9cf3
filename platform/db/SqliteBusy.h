#pragma once
// The wait for a SQLite database that another connection is writing: one bounded wait
// per operation. A connection waits at most its busy timeout for the lock; when that
// wait ran out, any connection of this process to the same file fails at once, without
// waiting again, for the next timeout's length, so that an operation and the error
// handling after it never stack their waits before the operator hears of it.
// The messages say that the database is busy and how long was waited.

#include <QString>

struct sqlite3;

namespace platform::db::sqlitebusy {

// Installs the wait on an open handle; `file` names the database, timeoutMs bounds the wait.
void install(sqlite3* handle, const QString& file, int timeoutMs);
// Before the handle closes.
void remove(sqlite3* handle);
// The text of a failure because the database stayed busy, for the handle that failed.
QString message(sqlite3* handle);
// SQLite result codes of a busy or locked database.
bool isBusyCode(int code);

}  // namespace platform::db::sqlitebusy
