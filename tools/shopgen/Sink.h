#pragma once
// Sink: where generated rows go. One table at a time: begin(table, columns), row(values)
// for each row, end(). Values are QString, double, qint64/int, QDateTime (local time; a
// date is a QDateTime at 00:00) or null (invalid QVariant).
//
// SqliteSink writes an SQLite file through the SQLite C API with one prepared statement
// per table and large transactions (the fast path for the large shop). QtSqlSink writes
// through an open platform::db::Connection with multi-row INSERT statements; dates are
// bound as the connection's backend stores them.
//
// Both throw platform::DatabaseError naming the table when a statement fails.

#include "platform/db/Connection.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace shopgen {

class Sink {
public:
    virtual ~Sink() = default;
    // One statement without parameters (schema, statistics).
    virtual void execute(const QString& sql) = 0;
    // Names of the tables the database has.
    virtual QStringList existingTables() = 0;

    virtual void begin(const QString& table, const QStringList& columns) = 0;
    virtual void row(const QVariantList& values) = 0;
    virtual void end() = 0;
    // Statements run once everything is written (index statistics).
    virtual void finish() {}
    // Rows written so far, over all tables.
    qint64 rowsWritten() const { return rows_; }

protected:
    qint64 rows_ = 0;
};

class SqliteSink : public Sink {
public:
    // Opens (creating) the file. Throws DatabaseError.
    explicit SqliteSink(const QString& path);
    ~SqliteSink() override;

    void execute(const QString& sql) override;
    QStringList existingTables() override;
    void begin(const QString& table, const QStringList& columns) override;
    void row(const QVariantList& values) override;
    void end() override;
    void finish() override;

private:
    [[noreturn]] void fail(const QString& what);
    void commitChunk();
    sqlite3* db_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    QString table_;
    qint64 inTransaction_ = 0;
};

class QtSqlSink : public Sink {
public:
    // Does not own the connection, which must be open.
    explicit QtSqlSink(platform::db::Connection& connection);
    ~QtSqlSink() override;

    void execute(const QString& sql) override;
    QStringList existingTables() override;
    void begin(const QString& table, const QStringList& columns) override;
    void row(const QVariantList& values) override;
    void end() override;
    void finish() override;

private:
    void flush();
    platform::db::Connection& connection_;
    QString table_;
    QStringList columns_;
    QList<QVariantList> pending_;
    int batchRows_ = 1;
    qint64 inTransaction_ = 0;
};

}  // namespace shopgen
