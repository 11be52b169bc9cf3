#include "tools/shopgen/PgCopySink.h"

#include "platform/Error.h"
#include "platform/db/DbValue.h"

#include <QDateTime>

#include <libpq-fe.h>

using platform::DatabaseError;

namespace shopgen {

namespace {

// Bytes sent to the server at a time.
constexpr qsizetype kChunk = 1 << 20;

// One value in COPY's text format: backslash, tab, newline and carriage return escaped.
void appendCopyText(QByteArray& out, const QByteArray& text)
{
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

void appendValue(QByteArray& out, const QVariant& v)
{
    if (!v.isValid() || v.isNull()) {
        out.append("\\N");
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::LongLong: case QMetaType::UInt: case QMetaType::ULongLong:
        out.append(QByteArray::number(v.toLongLong()));
        return;
    case QMetaType::Double:
        out.append(QByteArray::number(v.toDouble(), 'g', 17));
        return;
    case QMetaType::QDateTime:
        appendCopyText(out, platform::db::dbDateTimeText(v.toDateTime()).toUtf8());
        return;
    case QMetaType::QDate:
        appendCopyText(out, v.toDate().toString(Qt::ISODate).toUtf8());
        return;
    default:
        appendCopyText(out, v.toString().toUtf8());
    }
}

}  // namespace

PgCopySink::PgCopySink(const platform::db::ConnectionSpec& target)
{
    const QByteArray host = target.host.toUtf8(), port = QByteArray::number(target.port > 0 ? target.port : 5432);
    const QByteArray db = target.databaseName.toUtf8(), user = target.user.toUtf8(), password = target.password.toUtf8();
    const char* keys[] = {"host", "port", "dbname", "user", "password", "client_encoding", nullptr};
    const char* values[] = {host.constData(), port.constData(), db.constData(), user.constData(),
                            password.constData(), "UTF8", nullptr};
    conn_ = PQconnectdbParams(keys, values, 0);
    if (PQstatus(conn_) != CONNECTION_OK)
        fail(QStringLiteral("Connecting to %1").arg(target.databaseName));
}

PgCopySink::~PgCopySink()
{
    if (copying_)
        PQputCopyEnd(conn_, "abandoned");
    PQfinish(conn_);
}

void PgCopySink::fail(const QString& what)
{
    throw DatabaseError(QStringLiteral("%1: %2").arg(what, QString::fromUtf8(PQerrorMessage(conn_)).trimmed()));
}

void PgCopySink::execute(const QString& sql)
{
    PGresult* r = PQexec(conn_, sql.toUtf8().constData());
    const ExecStatusType status = PQresultStatus(r);
    PQclear(r);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        fail(sql.simplified().left(60));
}

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

void PgCopySink::begin(const QString& table, const QStringList& columns)
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

void PgCopySink::row(const QVariantList& values)
{
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i)
            buffer_.append('\t');
        appendValue(buffer_, values[i]);
    }
    buffer_.append('\n');
    ++rows_;
    if (buffer_.size() >= kChunk)
        send();
}

void PgCopySink::send()
{
    if (!buffer_.isEmpty() && PQputCopyData(conn_, buffer_.constData(), int(buffer_.size())) != 1)
        fail(QStringLiteral("Loading %1").arg(table_));
    buffer_.clear();
}

void PgCopySink::end()
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

void PgCopySink::finish()
{
    end();
    execute(QStringLiteral("VACUUM ANALYZE"));
}

}  // namespace shopgen
