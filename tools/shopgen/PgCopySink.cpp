#include "tools/shopgen/PgCopySink.h"

#include "platform/Error.h"

#include <QDate>

#include <libpq-fe.h>

#include <cmath>

using platform::DatabaseError;

namespace shopgen {

namespace {

// Bytes sent to the server at a time.
constexpr qsizetype kChunk = 1 << 20;

// One value in COPY's text format: backslash, tab, newline and carriage return escaped.
// Most values have none of them and go in whole.
void appendCopyText(QByteArray& out, const QByteArray& text)
{
    const auto special = [](char c) { return c == '\\' || c == '\t' || c == '\n' || c == '\r'; };
    if (std::none_of(text.begin(), text.end(), special)) {
        out.append(text);
        return;
    }
    for (const char c : text) {
        switch (c) {
        case '\\': out.append("\\\\"); break;
        case '\t': out.append("\\t"); break;
        case '\n': out.append("\\n"); break;
        case '\r': out.append("\\r"); break;
        default: out.append(c);
        }
    }
}

void appendNumber(QByteArray& out, double v)
{
    // Whole numbers (points, most prices) as integers: the same text, without the general
    // conversion's cost.
    if (v == std::floor(v) && std::fabs(v) < 1e15)
        out.append(QByteArray::number(qint64(v)));
    else
        out.append(QByteArray::number(v, 'g', 17));
}

// Loads a PostgreSQL database table by table through COPY.
class PgCopySink final : public Sink {
public:
    explicit PgCopySink(const platform::db::ConnectionTarget& target) : Sink(QStringLiteral("VACUUM ANALYZE"))
    {
        const QByteArray host = target.host.toUtf8(), port = QByteArray::number(target.port > 0 ? target.port : 5432);
        const QByteArray db = target.databaseName.toUtf8(), user = target.user.toUtf8();
        const QByteArray password = target.password.toUtf8();
        const char* keys[] = {"host", "port", "dbname", "user", "password", "client_encoding", nullptr};
        const char* values[] = {host.constData(), port.constData(), db.constData(), user.constData(),
                                password.constData(), "UTF8", nullptr};
        conn_ = PQconnectdbParams(keys, values, 0);
        if (PQstatus(conn_) != CONNECTION_OK)
            fail(QStringLiteral("Connecting to %1").arg(target.databaseName));
        // The indexes are built once the rows are in: give the builds room to sort in memory.
        execute(QStringLiteral("SET maintenance_work_mem = '512MB'"));
    }
    ~PgCopySink() override
    {
        if (copying_)
            PQputCopyEnd(conn_, "abandoned");
        PQfinish(conn_);
    }

    void execute(const QString& sql) override
    {
        PGresult* r = PQexec(conn_, sql.toUtf8().constData());
        const ExecStatusType status = PQresultStatus(r);
        PQclear(r);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            fail(sql.simplified().left(60));
    }

    QStringList existingTables() override;

protected:
    void beginTable(const QString& table, const QStringList& columns) override;
    void writeRow(const QVariantList& values) override;
    void endTable() override;

private:
    [[noreturn]] void fail(const QString& what)
    {
        throw DatabaseError(QStringLiteral("%1: %2").arg(what, QString::fromUtf8(PQerrorMessage(conn_)).trimmed()));
    }
    void appendValue(const QVariant& v);
    void send();

    pg_conn* conn_ = nullptr;
    QString table_;
    QByteArray buffer_;
    bool copying_ = false;
};

QStringList PgCopySink::existingTables()
{
    PGresult* r = PQexec(conn_, "SELECT tablename FROM pg_tables WHERE schemaname = current_schema()");
    if (PQresultStatus(r) != PGRES_TUPLES_OK) {
        PQclear(r);
        fail(QStringLiteral("Listing the tables"));
    }
    QStringList tables;
    for (int i = 0; i < PQntuples(r); ++i)
        tables << QString::fromUtf8(PQgetvalue(r, i, 0));
    PQclear(r);
    return tables;
}

void PgCopySink::beginTable(const QString& table, const QStringList& columns)
{
    table_ = table;
    const QString sql = QStringLiteral("COPY %1 (%2) FROM STDIN").arg(table, columns.join(QLatin1Char(',')));
    PGresult* r = PQexec(conn_, sql.toUtf8().constData());
    const ExecStatusType status = PQresultStatus(r);
    PQclear(r);
    if (status != PGRES_COPY_IN)
        fail(QStringLiteral("Loading %1").arg(table));
    copying_ = true;
    buffer_.clear();
    buffer_.reserve(kChunk + 4096);
}

void PgCopySink::appendValue(const QVariant& v)
{
    if (!v.isValid() || v.isNull()) {
        buffer_.append("\\N");
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::LongLong: case QMetaType::UInt: case QMetaType::ULongLong:
        buffer_.append(QByteArray::number(v.toLongLong()));
        return;
    case QMetaType::Double:
        appendNumber(buffer_, v.toDouble());
        return;
    case QMetaType::QDateTime:
        buffer_.append(dateTimeText(v.toDateTime()).toLatin1());  // digits, '-', ':' and ' ' only
        return;
    case QMetaType::QDate:
        buffer_.append(v.toDate().toString(Qt::ISODate).toLatin1());
        return;
    default:
        appendCopyText(buffer_, v.toString().toUtf8());
    }
}

void PgCopySink::writeRow(const QVariantList& values)
{
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i)
            buffer_.append('\t');
        appendValue(values[i]);
    }
    buffer_.append('\n');
    if (buffer_.size() >= kChunk)
        send();
}

void PgCopySink::send()
{
    if (!buffer_.isEmpty() && PQputCopyData(conn_, buffer_.constData(), int(buffer_.size())) != 1)
        fail(QStringLiteral("Loading %1").arg(table_));
    buffer_.clear();
}

void PgCopySink::endTable()
{
    if (!copying_)
        return;
    send();
    copying_ = false;
    if (PQputCopyEnd(conn_, nullptr) != 1)
        fail(QStringLiteral("Loading %1").arg(table_));
    bool ok = true;
    while (PGresult* r = PQgetResult(conn_)) {
        ok = ok && PQresultStatus(r) == PGRES_COMMAND_OK;
        PQclear(r);
    }
    if (!ok)
        fail(QStringLiteral("Loading %1").arg(table_));
}

}  // namespace

std::unique_ptr<Sink> pgCopySink(const platform::db::ConnectionTarget& target)
{
    return std::make_unique<PgCopySink>(target);
}

}  // namespace shopgen
