#pragma once
// The PostgreSQL sink: writes through libpq's COPY ... FROM STDIN, each table one COPY in
// the text format: the large shops' millions of rows at the server's own loading speed,
// where INSERT statements through the Qt driver take an hour. Dates are written as local
// "yyyy-MM-dd HH:mm:ss" texts, as the Qt sink binds them.
//
// Throws platform::DatabaseError with the server's message, naming the table, when a
// statement or a COPY fails.

#include "tools/shopgen/Sink.h"

#include "platform/db/ConnectionString.h"

#include <memory>

namespace shopgen {

// Connects to the target (host, port, database, user, password of the string).
std::unique_ptr<Sink> pgCopySink(const platform::db::ConnectionTarget& target);

}  // namespace shopgen
