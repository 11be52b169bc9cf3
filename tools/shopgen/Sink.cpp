#include "tools/shopgen/Sink.h"

#include "platform/Error.h"
#include "platform/db/DbValue.h"
#include "platform/db/SqliteStatement.h"
#include "platform/db/Transaction.h"

#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

#include <optional>

using platform::DatabaseError;

namespace shopgen {

namespace {

// Rows per transaction: large enough that commits cost nothing, small enough that a
// server keeps its transaction log in bounds.
constexpr qint64 kRowsPerTransaction = 200000;
// Rows between two progress reports within a table.
constexpr qint64 kReportEvery = 1 << 14;

QString insertText(const QString& table, const QStringList& columns, int rows, bool numbered)
{
    QString values;
    for (int r = 0; r < rows; ++r) {
        values += r ? QStringLiteral(",(") : QStringLiteral("(");
        for (int c = 0; c < columns.size(); ++c) {
            if (c)
                values += QLatin1Char(',');
            values += numbered ? QStringLiteral("?%1").arg(c + 1) : QStringLiteral("?");
        }
        values += QLatin1Char(')');
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES %3").arg(table, columns.join(QLatin1Char(',')), values);
}

// The text the generated values end in, for a message.
DatabaseError naming(const QString& what, const QString& table, const DatabaseError& e)
{
    return DatabaseError(QStringLiteral("%1 %2: %3").arg(what, table, e.text()));
}

// Writes an SQLite file through platform/db's statement class on a handle of its own:
// generation creates the file, which only shopgen does.
class SqliteSink final : public Sink {
public:
    explicit SqliteSink(const QString& path) : Sink(QStringLiteral("ANALYZE"))
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
            != SQLITE_OK) {
            const QString message = QString::fromUtf8(sqlite3_errmsg(db_));
            sqlite3_close(db_);
            throw DatabaseError(QStringLiteral("SQLite: opening %1: %2").arg(path, message));
        }
        // Generation writes a new database: a crash leaves it to be generated again, so the
        // journal and the syncs are not needed.
        for (const char* pragma : {"PRAGMA journal_mode=MEMORY", "PRAGMA synchronous=OFF", "PRAGMA cache_size=-262144",
                                   "PRAGMA temp_store=MEMORY"})
            execute(QString::fromLatin1(pragma));
    }
    ~SqliteSink() override
    {
        insert_.reset();
        if (inTransaction_)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db_);
    }

    void execute(const QString& sql) override
    {
        platform::db::SqliteStatement statement(db_, sql);
        while (statement.step()) {
        }
    }

    QStringList existingTables() override
    {
        platform::db::SqliteStatement list(db_, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
        platform::FieldDef name;
        name.type = platform::FieldType::String;
        QStringList names;
        while (list.step())
            names << list.value(0, name).toString();
        return names;
    }

protected:
    void beginTable(const QString& table, const QStringList& columns) override
    {
        table_ = table;
        insert_.reset();
        try {
            insert_ = std::make_unique<platform::db::SqliteStatement>(db_, insertText(table, columns, 1, true));
        } catch (const DatabaseError& e) {
            throw naming(QStringLiteral("Preparing the insert into"), table, e);
        }
    }

    void writeRow(const QVariantList& values) override
    {
        if (!inTransaction_)
            execute(QStringLiteral("BEGIN"));
        try {
            insert_->reset();
            for (int i = 0; i < values.size(); ++i) {
                const QVariant& v = values.at(i);
                insert_->bind(i, v.userType() == QMetaType::QDateTime ? QVariant(dateTimeText(v.toDateTime())) : v);
            }
            insert_->step();
        } catch (const DatabaseError& e) {
            throw naming(QStringLiteral("Inserting into"), table_, e);
        }
        if (++inTransaction_ >= kRowsPerTransaction)
            commit();
    }

    void endTable() override
    {
        commit();
        insert_.reset();
    }

private:
    void commit()
    {
        if (inTransaction_) {
            execute(QStringLiteral("COMMIT"));
            inTransaction_ = 0;
        }
    }

    sqlite3* db_ = nullptr;
    std::unique_ptr<platform::db::SqliteStatement> insert_;  // finalized before the handle closes
    QString table_;
    qint64 inTransaction_ = 0;
};

QString statisticsOf(const platform::db::Connection& connection)
{
    switch (connection.backend()) {
    case platform::db::Backend::PostgreSQL: return QStringLiteral("VACUUM ANALYZE");
    case platform::db::Backend::SQLite: return QStringLiteral("ANALYZE");
    default: return {};
    }
}

// Writes through a Qt connection, some hundreds of values per INSERT statement. A
// transaction spans many statements; one left open by an error is rolled back when the
// sink goes.
class QtSqlSink final : public Sink {
public:
    explicit QtSqlSink(platform::db::Connection& connection)
        : Sink(statisticsOf(connection)), connection_(connection)
    {
    }

    void execute(const QString& sql) override { connection_.execute(sql); }
    QStringList existingTables() override { return connection_.database().tables(); }

protected:
    void beginTable(const QString& table, const QStringList& columns) override
    {
        table_ = table;
        columns_ = columns;
        pending_.clear();
        // Some hundreds of values per statement: far below every driver's parameter limit.
        batchRows_ = std::max<int>(1, int(600 / std::max<qsizetype>(1, columns.size())));
    }

    void writeRow(const QVariantList& values) override
    {
        pending_.append(values);
        if (pending_.size() >= batchRows_)
            flush();
    }

    void endTable() override
    {
        flush();
        commit();
    }

private:
    void flush();
    void commit()
    {
        if (transaction_) {
            transaction_->commit();
            transaction_.reset();
            inTransaction_ = 0;
        }
    }

    platform::db::Connection& connection_;
    QString table_;
    QStringList columns_;
    QList<QVariantList> pending_;
    int batchRows_ = 1;
    std::optional<platform::db::Transaction> transaction_;
    qint64 inTransaction_ = 0;  // rows written in transaction_
};

void QtSqlSink::flush()
{
    if (pending_.isEmpty())
        return;
    if (!transaction_)
        transaction_.emplace(connection_);
    QSqlQuery q(connection_.database());
    if (!q.prepare(insertText(table_, columns_, int(pending_.size()), false)))
        throw DatabaseError(QStringLiteral("Preparing the insert into %1: %2").arg(table_, q.lastError().text()));
    const platform::db::Backend backend = connection_.backend();
    int position = 0;
    for (const QVariantList& values : std::as_const(pending_))
        for (const QVariant& v : values) {
            if (v.userType() == QMetaType::QDateTime)
                q.bindValue(position++, platform::db::bindValue(platform::FieldType::DateTime, v, backend));
            else
                q.bindValue(position++, v);
        }
    if (!q.exec())
        throw DatabaseError(QStringLiteral("Inserting into %1: %2").arg(table_, q.lastError().text()));
    inTransaction_ += pending_.size();
    pending_.clear();
    if (inTransaction_ >= kRowsPerTransaction)
        commit();
}

}  // namespace

// ---------------------------------------------------------------------------------------

void Sink::begin(const QString& table, const QStringList& columns, qint64 expected)
{
    table_ = table;
    tableRows_ = 0;
    expected_ = expected;
    report(table, 0, expected, false);
    beginTable(table, columns);
}

void Sink::row(const QVariantList& values)
{
    writeRow(values);
    ++rows_;
    if ((++tableRows_ % kReportEvery) == 0)
        report(table_, tableRows_, expected_, false);
}

void Sink::end()
{
    endTable();
    report(table_, tableRows_, tableRows_, true);
}

void Sink::finish()
{
    if (statistics_.isEmpty())
        return;
    report(QStringLiteral("statistics"), 0, 1, false);
    execute(statistics_);
    report(QStringLiteral("statistics"), 1, 1, true);
}

void Sink::report(const QString& step, qint64 done, qint64 total, bool ended) const
{
    if (progress_)
        progress_(step, done, total, ended);
}

const QString& Sink::dateTimeText(const QDateTime& value)
{
    // The local date and time as the key: no time zone conversion per value.
    const qint64 key = value.date().toJulianDay() * 86400000 + value.time().msecsSinceStartOfDay();
    auto it = dateTexts_.constFind(key);
    if (it == dateTexts_.constEnd())
        it = dateTexts_.insert(key, platform::db::dbDateTimeText(value));
    return it.value();
}

std::unique_ptr<Sink> sqliteSink(const QString& path)
{
    return std::make_unique<SqliteSink>(path);
}

std::unique_ptr<Sink> qtSqlSink(platform::db::Connection& connection)
{
    return std::make_unique<QtSqlSink>(connection);
}

}  // namespace shopgen
