#include "tools/shopgen/Sink.h"

#include "platform/Error.h"
#include "platform/db/DbValue.h"

#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

using platform::DatabaseError;

namespace shopgen {

namespace {

// Rows per transaction: large enough that commits cost nothing, small enough that a
// server keeps its transaction log in bounds.
constexpr qint64 kRowsPerTransaction = 200000;

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

}  // namespace

// ---------------------------------------------------------------------------------------

SqliteSink::SqliteSink(const QString& path)
{
    if (sqlite3_open_v2(path.toUtf8().constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
        != SQLITE_OK)
        fail(QStringLiteral("opening %1").arg(path));
    // Generation writes a new database: a crash leaves it to be generated again, so the
    // journal and the syncs are not needed.
    execute(QStringLiteral("PRAGMA journal_mode=MEMORY"));
    execute(QStringLiteral("PRAGMA synchronous=OFF"));
    execute(QStringLiteral("PRAGMA cache_size=-262144"));
    execute(QStringLiteral("PRAGMA temp_store=MEMORY"));
}

SqliteSink::~SqliteSink()
{
    sqlite3_finalize(insert_);
    if (inTransaction_)
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db_);
}

void SqliteSink::fail(const QString& what)
{
    throw DatabaseError(QStringLiteral("SQLite: %1: %2").arg(what, QString::fromUtf8(sqlite3_errmsg(db_))));
}

void SqliteSink::execute(const QString& sql)
{
    if (sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(sql.left(200));
}

QStringList SqliteSink::existingTables()
{
    QStringList names;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, "SELECT name FROM sqlite_master WHERE type = 'table'", -1, &st, nullptr) != SQLITE_OK)
        fail(QStringLiteral("listing tables"));
    while (sqlite3_step(st) == SQLITE_ROW)
        names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return names;
}

void SqliteSink::begin(const QString& table, const QStringList& columns)
{
    table_ = table;
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    if (sqlite3_prepare_v2(db_, insertText(table, columns, 1, true).toUtf8().constData(), -1, &insert_, nullptr)
        != SQLITE_OK)
        fail(QStringLiteral("preparing the insert into %1").arg(table));
}

void SqliteSink::row(const QVariantList& values)
{
    if (!inTransaction_)
        execute(QStringLiteral("BEGIN"));
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& v = values.at(i);
        int rc = SQLITE_OK;
        switch (v.userType()) {
        case QMetaType::UnknownType: rc = sqlite3_bind_null(insert_, i + 1); break;
        case QMetaType::Double: rc = sqlite3_bind_double(insert_, i + 1, v.toDouble()); break;
        case QMetaType::Int:
        case QMetaType::LongLong: rc = sqlite3_bind_int64(insert_, i + 1, v.toLongLong()); break;
        case QMetaType::QDateTime: {
            const QByteArray text = platform::db::dbDateTimeText(v.toDateTime()).toUtf8();
            rc = sqlite3_bind_text(insert_, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray text = v.toString().toUtf8();
            rc = sqlite3_bind_text(insert_, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
        }
        if (rc != SQLITE_OK)
            fail(QStringLiteral("binding a value of %1").arg(table_));
    }
    if (sqlite3_step(insert_) != SQLITE_DONE)
        fail(QStringLiteral("inserting into %1").arg(table_));
    sqlite3_reset(insert_);
    ++rows_;
    if (++inTransaction_ >= kRowsPerTransaction)
        commitChunk();
}

void SqliteSink::commitChunk()
{
    if (inTransaction_) {
        execute(QStringLiteral("COMMIT"));
        inTransaction_ = 0;
    }
}

void SqliteSink::end()
{
    commitChunk();
    sqlite3_finalize(insert_);
    insert_ = nullptr;
}

void SqliteSink::finish()
{
    commitChunk();
    execute(QStringLiteral("ANALYZE"));
}

// ---------------------------------------------------------------------------------------

QtSqlSink::QtSqlSink(platform::db::Connection& connection) : connection_(connection) {}

QtSqlSink::~QtSqlSink()
{
    if (inTransaction_)
        connection_.rollback();
}

void QtSqlSink::execute(const QString& sql)
{
    connection_.execute(sql);
}

QStringList QtSqlSink::existingTables()
{
    return connection_.database().tables();
}

void QtSqlSink::begin(const QString& table, const QStringList& columns)
{
    table_ = table;
    columns_ = columns;
    pending_.clear();
    // Some hundreds of values per statement: far below every driver's parameter limit.
    batchRows_ = std::max<int>(1, int(600 / std::max<qsizetype>(1, columns.size())));
}

void QtSqlSink::row(const QVariantList& values)
{
    pending_.append(values);
    if (pending_.size() >= batchRows_)
        flush();
}

void QtSqlSink::flush()
{
    if (pending_.isEmpty())
        return;
    if (!inTransaction_)
        connection_.beginTransaction();
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
    rows_ += pending_.size();
    inTransaction_ += pending_.size();
    pending_.clear();
    if (inTransaction_ >= kRowsPerTransaction) {
        connection_.commit();
        inTransaction_ = 0;
    }
}

void QtSqlSink::end()
{
    flush();
    if (inTransaction_) {
        connection_.commit();
        inTransaction_ = 0;
    }
}

void QtSqlSink::finish()
{
    end();
    if (connection_.backend() == platform::db::Backend::PostgreSQL)
        connection_.execute(QStringLiteral("VACUUM ANALYZE"));
    else if (connection_.backend() == platform::db::Backend::SQLite)
        connection_.execute(QStringLiteral("ANALYZE"));
}

}  // namespace shopgen
