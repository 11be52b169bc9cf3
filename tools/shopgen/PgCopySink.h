#pragma once
// PgCopySink: writes a PostgreSQL database through libpq's COPY ... FROM STDIN, each
// table one COPY in the text format: the large shops' millions of rows at the server's
// own loading speed, where INSERT statements through the Qt driver take an hour.
// Dates are written as local "yyyy-MM-dd HH:mm:ss" texts, as the Qt sink binds them.
//
// Throws platform::DatabaseError with the server's message, naming the table, when a
// statement or a COPY fails.

#include "tools/shopgen/Sink.h"

#include "platform/db/ConnectionString.h"

#include <QByteArray>

struct pg_conn;

namespace shopgen {

class PgCopySink : public Sink {
public:
    // Connects to the target (host, port, database, user, password of the string).
    explicit PgCopySink(const platform::db::ConnectionSpec& target);
    ~PgCopySink() override;

    void execute(const QString& sql) override;
    QStringList existingTables() override;
    void begin(const QString& table, const QStringList& columns) override;
    void row(const QVariantList& values) override;
    void end() override;
    void finish() override;

private:
    [[noreturn]] void fail(const QString& what);
    void send();
    pg_conn* conn_ = nullptr;
    QString table_;
    QByteArray buffer_;
    bool copying_ = false;
};

}  // namespace shopgen
