#pragma once
// Sink: where generated rows go. One table at a time: begin(table, columns, expected),
// row(values) for each row, end(). Values are QString, double, qint64/int, QDateTime (local
// time; a date is a QDateTime at 00:00) or null (invalid QVariant).
//
// Three sinks, made by the functions below (the PostgreSQL one in PgCopySink.h):
// sqliteSink writes an SQLite file with one prepared statement per table and large
// transactions (the fast path for the large shops); qtSqlSink writes through an open
// platform::db::Connection with multi-row INSERT statements, dates bound as the
// connection's backend stores them.
//
// Every sink throws platform::DatabaseError naming the table when a statement fails.

#include "platform/db/Connection.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

namespace shopgen {

// What a long generation reports as it goes: the step (a table, the indexes, the
// statistics), how much of it is done, its expected total (0: not known), and whether the
// step has just ended (reported once per step, last).
using Progress = std::function<void(const QString& step, qint64 done, qint64 total, bool ended)>;

class Sink {
public:
    virtual ~Sink() = default;
    // One statement without parameters (schema, statistics).
    virtual void execute(const QString& sql) = 0;
    // Names of the tables the database has.
    virtual QStringList existingTables() = 0;

    // `expected` is the number of rows the table will get, for the progress reports.
    void begin(const QString& table, const QStringList& columns, qint64 expected = 0);
    void row(const QVariantList& values);
    void end();
    // Once everything is written: the statistics the planner needs.
    void finish();
    // Rows written so far, over all tables.
    qint64 rowsWritten() const { return rows_; }

    void setProgress(Progress progress) { progress_ = std::move(progress); }
    // Reports a step that is not a table (index creation, statistics).
    void report(const QString& step, qint64 done, qint64 total, bool ended) const;

protected:
    // `statistics` is the statement finish() runs (empty: none).
    explicit Sink(QString statistics = {}) : statistics_(std::move(statistics)) {}
    virtual void beginTable(const QString& table, const QStringList& columns) = 0;
    virtual void writeRow(const QVariantList& values) = 0;
    virtual void endTable() = 0;
    // "yyyy-MM-dd HH:mm:ss[.zzz]" of a date-time, formatted once per distinct value: the
    // generated rows draw their dates from a few hundred days.
    const QString& dateTimeText(const QDateTime& value);

private:
    QString statistics_, table_;
    Progress progress_;
    qint64 rows_ = 0, tableRows_ = 0, expected_ = 0;
    QHash<qint64, QString> dateTexts_;
};

// Opens (creating) an SQLite file. Throws DatabaseError.
std::unique_ptr<Sink> sqliteSink(const QString& path);
// Writes through `connection`, which must be open and outlive the sink.
std::unique_ptr<Sink> qtSqlSink(platform::db::Connection& connection);

}  // namespace shopgen
