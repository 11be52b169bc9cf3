#include "platform/db/Query.h"

#include "platform/Error.h"
#include "platform/dataset/BinaryPacketBuilder.h"
#include "platform/db/ErrorKind.h"
#include "platform/db/SqliteRowPipe.h"
#include "platform/db/SqliteStatement.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <QSqlResult>

#include <libpq-fe.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>

namespace platform::db {

// ---------------------------------------------------------------------------------------
// Statement
// ---------------------------------------------------------------------------------------

namespace {

bool isNameStart(QChar c) { return c.isLetter() || c == QLatin1Char('_'); }
bool isNameChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

// Each :NAME becomes '?'; quotes, comments and '::' casts are copied unchanged.
void toPositional(const QString& sql, QString& out, QStringList& names)
{
    out.clear();
    names.clear();
    out.reserve(sql.size());
    const int n = int(sql.size());
    for (int i = 0; i < n; ++i) {
        const QChar c = sql[i];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            int end = int(sql.indexOf(c, i + 1));
            // A doubled quote inside is an escaped quote: the scan continues after it.
            while (end >= 0 && end + 1 < n && sql[end + 1] == c)
                end = int(sql.indexOf(c, end + 2));
            if (end < 0)
                end = n - 1;
            out += QStringView(sql).mid(i, end - i + 1);
            i = end;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
            int end = int(sql.indexOf(QLatin1Char('\n'), i));
            if (end < 0)
                end = n - 1;
            out += QStringView(sql).mid(i, end - i + 1);
            i = end;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql[i + 1] == QLatin1Char('*')) {
            int end = int(sql.indexOf(QStringLiteral("*/"), i + 2));
            end = end < 0 ? n - 1 : end + 1;
            out += QStringView(sql).mid(i, end - i + 1);
            i = end;
        } else if (c == QLatin1Char(':') && i + 1 < n && sql[i + 1] == QLatin1Char(':')) {
            out += QStringLiteral("::");
            ++i;
        } else if (c == QLatin1Char(':') && i + 1 < n && isNameStart(sql[i + 1])) {
            int end = i + 1;
            while (end < n && isNameChar(sql[end]))
                ++end;
            names.append(sql.mid(i + 1, end - i - 1));
            out += QLatin1Char('?');
            i = end - 1;
        } else {
            out += c;
        }
    }
}

// ODBC statements carry their own time-out (SQL_ATTR_QUERY_TIMEOUT).
void setOdbcTimeout(QSqlQuery& q, int seconds)
{
    const QSqlResult* r = q.result();
    if (!r)
        return;
    QVariant h = r->handle();
    if (!h.isValid() || (qstrcmp(h.typeName(), "SQLHANDLE") != 0 && qstrcmp(h.typeName(), "void*") != 0))
        return;
    SQLHANDLE stmt = *static_cast<SQLHANDLE*>(h.data());
    if (stmt)
        SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(seconds)), 0);
}

}  // namespace

Statement::Statement(Connection* connection, QObject* parent) : QObject(parent)
{
    setConnection(connection);
}

Statement::~Statement() = default;

void Statement::setConnection(Connection* connection)
{
    if (connection_)
        disconnect(connection_, nullptr, this, nullptr);
    connection_ = connection;
    if (connection_)
        connect(connection_, &Connection::aboutToClose, this, [this] { releaseQuery(); });
    releaseQuery();
}

void Statement::setSql(const QString& sql)
{
    if (sql == sql_)
        return;
    releaseQuery();
    sql_ = sql;
    parse();
}

void Statement::parse()
{
    toPositional(sql_, prepared_, markers_);
    std::vector<Parameter> kept;
    markerParams_.clear();
    for (const QString& name : std::as_const(markers_)) {
        const auto seen = std::find_if(kept.begin(), kept.end(), [&](const Parameter& p) {
            return p.name().compare(name, Qt::CaseInsensitive) == 0;
        });
        markerParams_.push_back(int(seen - kept.begin()));
        if (seen != kept.end())
            continue;
        Parameter* old = findParam(name);
        kept.push_back(old ? *old : Parameter(name, FieldType::String, 0));
    }
    params_ = std::move(kept);
}

QStringList Statement::parameterNames() const
{
    QStringList names;
    for (const Parameter& p : params_)
        names.append(p.name());
    return names;
}

Parameter* Statement::findParam(const QString& name)
{
    // Callers nearly always spell a name as the text does: an exact comparison first, which
    // rejects on length alone, keeps a statement of many parameters cheap to fill.
    for (Parameter& p : params_)
        if (p.name() == name)
            return &p;
    for (Parameter& p : params_)
        if (p.name().compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

Parameter& Statement::paramByName(const QString& name)
{
    if (Parameter* p = findParam(name))
        return *p;
    throw DatabaseError(QStringLiteral("Parameter '%1' not found").arg(name));
}

Parameter& Statement::declareParam(const QString& name, FieldType type, int size)
{
    Parameter& p = paramByName(name);
    p.setType(type, size);
    return p;
}

QString Statement::preparedSql() const { return prepared_; }
QStringList Statement::markerNames() const { return markers_; }

Connection& Statement::requireConnection() const
{
    if (!connection_)
        throw DatabaseError(QStringLiteral("%1: no connection").arg(objectName().isEmpty() ? QStringLiteral("statement") : objectName()));
    if (!connection_->connected())
        throw DatabaseError(QStringLiteral("%1: the connection is not open").arg(objectName().isEmpty() ? QStringLiteral("statement") : objectName()));
    return *connection_;
}

void Statement::fail(const QString& what, const QString& driverText) const
{
    fail(what, DatabaseError(driverText));
}

void Statement::fail(const QString& what, const DatabaseError& cause) const
{
    QString text = cause.text().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("unknown database error");
    if (!objectName().isEmpty())
        text = objectName() + QStringLiteral(": ") + text;
    Q_UNUSED(what);
    throw DatabaseError(text, cause.kind(), cause.engineCode());
}

void Statement::releaseQuery()
{
    query_ = QSqlQuery();
    lite_.reset();
    firstRow_ = false;
    preparedFor_.clear();
}

void Statement::run(bool rowAtATime)
{
    Connection& conn = requireConnection();
    if (prepared_.trimmed().isEmpty())
        fail(QStringLiteral("run"), QStringLiteral("empty SQL text"));
    // Binding first: a value that cannot be converted fails before anything is sent.
    const QVariantList values = boundValues(conn);
    const QString key = preparationKey(conn);
    if (sqlite3* handle = SqliteStatement::handleOf(conn.database()))
        runOnSqlite(handle, key, values);
    else
        runOnDriver(conn, key, values, rowAtATime);
}

void Statement::prepare()
{
    Connection& conn = requireConnection();
    if (prepared_.trimmed().isEmpty())
        fail(QStringLiteral("prepare"), QStringLiteral("empty SQL text"));
    const QString key = preparationKey(conn);
    if (preparedFor_ == key)
        return;
    if (sqlite3* handle = SqliteStatement::handleOf(conn.database())) {
        try {
            prepareOnSqlite(handle, key);
        } catch (const DatabaseError& e) {
            releaseQuery();
            fail(QStringLiteral("prepare"), e);
        }
    } else {
        if (runsAsText(conn))
            checkOnDriver(conn);
        prepareOnDriver(conn, key);
    }
}

// On PostgreSQL the driver prepares with PREPARE and runs with EXECUTE, and the server
// stores the whole result of an EXECUTE before it sends the first row: a large result
// then costs a second pass on the server and arrives only once complete. A text without
// parameters has nothing to bind, so it runs as it stands and its rows stream to the
// client as the server finds them; only its planning is repeated at each run.
bool Statement::runsAsText(const Connection& conn) const
{
    return markers_.isEmpty() && conn.connectionTarget().driver == QLatin1String("QPSQL");
}

// A text that runs as it stands is checked ahead on a prepared statement dropped at once.
void Statement::checkOnDriver(Connection& conn)
{
    QSqlQuery check(conn.database());
    if (!check.prepare(prepared_)) {
        const QString text = check.lastError().text();
        releaseQuery();
        fail(QStringLiteral("prepare"), text);
    }
}

QString Statement::preparationKey(const Connection& conn) const
{
    return conn.qtConnectionName() + QLatin1Char('\n') + prepared_;
}

// The parameters' values at the markers, as the connection's driver binds them.
QVariantList Statement::boundValues(const Connection& conn)
{
    QVariantList values;
    values.reserve(markers_.size());
    for (const int index : markerParams_) {
        const Parameter& p = params_[size_t(index)];
        try {
            values.append(bindValue(p.type(), p.value(), conn.backend()));
        } catch (const DatabaseError& e) {
            fail(QStringLiteral("bind"), QStringLiteral("parameter '%1': %2").arg(p.name(), e.text()));
        }
    }
    return values;
}

// The statement prepared once per text and connection on the engine's handle, stepped to
// its first row.
void Statement::runOnSqlite(sqlite3* handle, const QString& key, const QVariantList& values)
{
    try {
        if (preparedFor_ != key || !lite_)
            prepareOnSqlite(handle, key);
        else
            lite_->reset();
        for (int i = 0; i < values.size(); ++i)
            lite_->bind(i, values[i]);
        firstRow_ = lite_->step();
    } catch (const DatabaseError& e) {
        releaseQuery();
        fail(QStringLiteral("execute"), e);
    }
}

void Statement::prepareOnSqlite(sqlite3* handle, const QString& key)
{
    releaseQuery();
    lite_ = std::make_unique<SqliteStatement>(handle, prepared_);
    preparedFor_ = key;
}

void Statement::prepareOnDriver(Connection& conn, const QString& key)
{
    query_ = QSqlQuery(conn.database());
    // On PostgreSQL a forward-only query is fetched a row at a time, one result from the
    // server per row: a prepared statement's result comes whole, and a text run as it
    // stands chooses at each run (runOnDriver).
    query_.setForwardOnly(conn.connectionTarget().driver != QLatin1String("QPSQL"));
    if (!runsAsText(conn) && !query_.prepare(prepared_)) {
        const QString text = query_.lastError().text();
        releaseQuery();
        fail(QStringLiteral("prepare"), text);
    }
    preparedFor_ = key;
}

void Statement::runOnDriver(Connection& conn, const QString& key, const QVariantList& values, bool rowAtATime)
{
    if (preparedFor_ != key)
        prepareOnDriver(conn, key);
    else
        query_.finish();
    if (conn.connectionTarget().driver == QLatin1String("QODBC"))
        setOdbcTimeout(query_, commandTimeout_);
    else
        conn.applyStatementTimeout(commandTimeout_);
    for (int i = 0; i < values.size(); ++i)
        query_.bindValue(i, values[i]);
    // A forward-only query is fetched from PostgreSQL a row at a time as the server sends
    // them (libpq's single-row mode); otherwise the driver waits for the whole result.
    if (runsAsText(conn))
        query_.setForwardOnly(rowAtATime);
    if (!(runsAsText(conn) ? query_.exec(prepared_) : query_.exec())) {
        const DatabaseError error = driverError(query_.lastError().text(), query_.lastError(), conn.database());
        releaseQuery();
        fail(QStringLiteral("execute"), error);
    }
}

// ---------------------------------------------------------------------------------------
// Query
// ---------------------------------------------------------------------------------------

Query::~Query() = default;

void Query::releaseQuery()
{
    active_ = false;
    eof_ = true;
    position_ = -1;
    Statement::releaseQuery();
}

void Query::open() { open(false); }

void Query::open(bool rowAtATime)
{
    close();
    if (beforeOpen_)
        beforeOpen_(*this);
    run(rowAtATime);
    position_ = -1;
    if (lite()) {
        eof_ = !firstRow();
        position_ = 0;
    } else {
        fetch();
    }
    try {
        mapColumns();
    } catch (...) {
        close();
        throw;
    }
    active_ = true;
}

void Query::firstToReadOnce()
{
    if (!active_ || position_ > 0)
        open(true);
}

void Query::close()
{
    // Ending the statement also ends its read of the database (SQLite keeps a shared lock
    // while a statement is part-way through its rows).
    if (lite())
        lite()->reset();
    else if (active_ && query().isActive())
        query().finish();
    active_ = false;
    eof_ = true;
    position_ = -1;
}

void Query::fetch()
{
    if (lite()) {
        try {
            eof_ = !lite()->step();
        } catch (const DatabaseError& e) {
            eof_ = true;
            fail(QStringLiteral("fetch"), e);
        }
        ++position_;
        return;
    }
    eof_ = !query().next();
    ++position_;
    if (eof_ && query().lastError().isValid())
        fail(QStringLiteral("fetch"), driverError(query().lastError().text(), query().lastError(),
                                                  requireConnection().database()));
}

bool Query::isEmpty() const { return !active_ || (position_ <= 0 && eof_); }

void Query::next()
{
    if (!active_)
        throw DatabaseError(QStringLiteral("%1: the query is not open").arg(objectName()));
    if (!eof_)
        fetch();
}

void Query::first()
{
    if (!active_ || position_ > 0)
        open();
}

namespace {

FieldType fieldTypeForDriverType(int typeId)
{
    switch (typeId) {
    case QMetaType::Int: case QMetaType::Short: case QMetaType::UShort: case QMetaType::UInt:
        return FieldType::Integer;
    case QMetaType::LongLong: case QMetaType::ULongLong: case QMetaType::Long: case QMetaType::ULong:
        return FieldType::LargeInt;
    case QMetaType::Double: case QMetaType::Float: return FieldType::Float;
    case QMetaType::Bool: return FieldType::Boolean;
    case QMetaType::QDate: return FieldType::Date;
    case QMetaType::QTime: return FieldType::Time;
    case QMetaType::QDateTime: return FieldType::DateTime;
    case QMetaType::QByteArray: return FieldType::Blob;
    default: return FieldType::String;
    }
}

// A column as the driver describes it; a text of no usable length is 255 wide.
FieldDef fieldFromDriver(const QSqlField& f)
{
    const FieldType type = fieldTypeForDriverType(f.metaType().id());
    const int size = f.length() > 0 && f.length() < 8192 ? f.length() : 255;
    return FieldDef::of(f.name(), type, type == FieldType::String ? size : 0);
}

}  // namespace

void Query::mapColumns()
{
    QStringList names;
    QSqlRecord rec;
    if (lite()) {
        for (int i = 0; i < lite()->columnCount(); ++i)
            names.append(lite()->columnName(i));
    } else {
        rec = query().record();
        for (int i = 0; i < rec.count(); ++i)
            names.append(rec.fieldName(i));
    }
    columnOf_.clear();
    if (fields_.isEmpty()) {
        resultFields_.clear();
        for (int i = 0; i < names.size(); ++i) {
            resultFields_.append(lite() ? lite()->fieldFor(i) : fieldFromDriver(rec.field(i)));
            columnOf_.push_back(i);
        }
        return;
    }
    resultFields_ = fields_;
    for (const FieldDef& f : std::as_const(fields_)) {
        int col = -1;
        for (int i = 0; i < names.size() && col < 0; ++i)
            if (names[i].compare(f.name, Qt::CaseInsensitive) == 0)
                col = i;
        if (col < 0)
            fail(QStringLiteral("fields"), QStringLiteral("Field '%1' not found in the result").arg(f.name));
        columnOf_.push_back(col);
    }
}

QVariant Query::value(int index) const
{
    if (!active_ || eof_)
        throw DatabaseError(QStringLiteral("%1: no current row").arg(objectName().isEmpty() ? QStringLiteral("query") : objectName()));
    if (index < 0 || index >= int(columnOf_.size()))
        throw DatabaseError(QStringLiteral("Field index %1 out of range").arg(index));
    const int column = columnOf_[size_t(index)];
    if (lite())
        return lite()->value(column, resultFields_[index]);
    return convertDbValue(resultFields_[index], query().value(column));
}

QVariant Query::value(const QString& fieldName) const
{
    for (int i = 0; i < resultFields_.size(); ++i)
        if (resultFields_[i].name.compare(fieldName, Qt::CaseInsensitive) == 0)
            return value(i);
    throw DatabaseError(QStringLiteral("Field '%1' not found").arg(fieldName));
}

QVariantList Query::currentRow() const
{
    QVariantList row;
    row.reserve(resultFields_.size());
    for (int i = 0; i < resultFields_.size(); ++i)
        row.append(value(i));
    return row;
}

namespace {

// The PostgreSQL result behind a Qt query: the whole result, or in a forward-only query the
// current row's own; nullptr on another driver.
const PGresult* pgHandle(const QSqlQuery& query)
{
    const QSqlResult* result = query.result();
    if (!result)
        return nullptr;
    const QVariant handle = result->handle();
    // The driver registers the type under its structure's name.
    if (qstrcmp(handle.typeName(), "pg_result*") != 0 && qstrcmp(handle.typeName(), "PGresult*") != 0)
        return nullptr;
    return *static_cast<PGresult* const*>(handle.constData());
}

// The PostgreSQL result behind a Qt query holding its whole result, or nullptr.
const PGresult* pgResult(const QSqlQuery& query)
{
    return query.isForwardOnly() ? nullptr : pgHandle(query);
}

// The one-row result of a PostgreSQL query fetched a row at a time, or nullptr.
const PGresult* pgRow(const QSqlQuery& query)
{
    const PGresult* row = query.isForwardOnly() ? pgHandle(query) : nullptr;
    return row && PQresultStatus(row) == PGRES_SINGLE_TUPLE ? row : nullptr;
}

// PostgreSQL's types whose text is the value of a String field as it stands.
bool isPgText(Oid type)
{
    constexpr Oid kChar = 18, kName = 19, kText = 25, kBpchar = 1042, kVarchar = 1043;
    return type == kText || type == kVarchar || type == kBpchar || type == kChar || type == kName;
}

// Rows written before the packet's room for the rest of a PostgreSQL result is judged.
constexpr int kSampleRows = 256;

// A result of libpq at least this large is not kept once its rows are in a packet.
constexpr size_t kKeptResultBytes = 256 * 1024;

// How a result column of libpq's text goes into the packet.
enum class PgCopy { Text, Number, General };

PgCopy pgCopyFor(const PGresult* result, int column, const FieldDef& field)
{
    if (field.type == FieldType::String && isPgText(PQftype(result, column)))
        return PgCopy::Text;
    if (field.type == FieldType::Float || field.type == FieldType::Currency)
        return PgCopy::Number;
    return PgCopy::General;
}

// A value read from libpq's text straight into the packet: texts into String fields and
// numbers into Float fields; false (nothing written) for anything else.
bool writePgValue(const PGresult* result, int row, int column, PgCopy copy, BinaryPacketBuilder& builder)
{
    if (copy == PgCopy::General)
        return false;
    // libpq gives a null as an empty text: only an empty one needs the second look.
    const int length = PQgetlength(result, row, column);
    if (length == 0 && PQgetisnull(result, row, column)) {
        builder.putNull();
        return true;
    }
    const char* text = PQgetvalue(result, row, column);
    if (copy == PgCopy::Text)
        return builder.putUtf8Text(text, length);
    bool ok = false;
    const double value = QByteArrayView(text, length).toDouble(&ok);
    return ok && builder.putDouble(value);
}

}  // namespace

void Query::writeRow(BinaryPacketBuilder& builder) const
{
    if (!active_ || eof_)
        throw DatabaseError(QStringLiteral("%1: no current row").arg(objectName().isEmpty() ? QStringLiteral("query") : objectName()));
    builder.beginRow();
    for (int i = 0; i < resultFields_.size(); ++i) {
        const int column = columnOf_[size_t(i)];
        if (lite())
            lite()->writeValue(column, resultFields_[i], builder);
        else
            builder.putValue(convertDbValue(resultFields_[i], query().value(column)));
    }
}

void Query::writeRows(BinaryPacketBuilder& builder)
{
    if (lite())
        return writeSqliteRows(builder);
    if (!active_ || eof_)
        return;
    if (pgRow(query()))
        return writePgRowAtATime(builder);
    const PGresult* pg = pgResult(query());
    if (!pg) {
        for (; !eof_; next())
            writeRow(builder);
        return;
    }
    const int rows = PQntuples(pg);
    writePgRows(pg, builder);
    position_ = rows;
    eof_ = true;
    // The driver would hold a large result until the statement runs again, beside the
    // packet and whatever the packet is loaded into: once every row is written it is let
    // go, with the prepared statement (prepared anew on the next open). A small one is
    // kept, which spares that round trip.
    if (PQresultMemorySize(pg) >= kKeptResultBytes)
        Statement::releaseQuery();
}

// SQLite: the first rows on this thread alone; the rest of a longer result is written on a
// second thread while this one steps through it. A failure on either leaves the statement reset,
// so that the connection takes the next one.
void Query::writeSqliteRows(BinaryPacketBuilder& builder)
{
    try {
        for (; active_ && !eof_ && position_ < rowsBeforeOverlap_; next())
            writeRow(builder);
        if (!active_ || eof_)
            return;
        writeRow(builder);
        SqliteRowPipe pipe(*lite(), columnOf_, resultFields_);
        const std::optional<qint64> rest = pipe.writeRest(builder, [this](const DatabaseError& e) {
            fail(QStringLiteral("fetch"), e);  // named as a fetch on this thread is
        });
        if (!rest) {  // no second thread: the rest on this one
            for (next(); !eof_; next())
                writeRow(builder);
            return;
        }
        position_ += int(*rest) + 1;
        eof_ = true;
    } catch (...) {
        close();
        throw;
    }
}

// PostgreSQL: the whole result is at hand, each column's way into the packet is chosen
// once, and the cells are read from libpq's result where they lie, from the current row
// on. The driver's cursor is moved only for a column its conversion reads.
void Query::writePgRows(const PGresult* pg, BinaryPacketBuilder& builder)
{
    std::vector<PgCopy> copies;
    bool general = false;
    for (int i = 0; i < resultFields_.size(); ++i) {
        copies.push_back(pgCopyFor(pg, columnOf_[size_t(i)], resultFields_[i]));
        general = general || copies.back() == PgCopy::General;
    }
    const int first = query().at(), rows = PQntuples(pg);
    const qsizetype start = builder.size();
    for (int row = first; row < rows; ++row) {
        if (row == first + kSampleRows) {
            // The rows so far tell the size of the rest, with an eighth to spare.
            const qsizetype perRow = (builder.size() - start) / kSampleRows;
            builder.reserve(perRow * (rows - row) * 9 / 8);
        }
        bool atRow = general;
        if (general)
            query().seek(row);
        builder.beginRow();
        for (int i = 0; i < resultFields_.size(); ++i) {
            const int column = columnOf_[size_t(i)];
            if (writePgValue(pg, row, column, copies[size_t(i)], builder))
                continue;
            // A text the quick copy does not take (beyond Latin-1) is converted by the
            // driver, which reads it at its cursor: the cursor comes to this row first.
            if (!atRow)
                atRow = query().seek(row);
            builder.putValue(convertDbValue(resultFields_[i], query().value(column)));
        }
    }
}

// PostgreSQL a row at a time: each row is a result of its own, read as it arrives while the
// server is still sending the next ones. A failure part-way leaves the query closed, and the
// driver reads what the server still sends, so the connection takes the next statement.
void Query::writePgRowAtATime(BinaryPacketBuilder& builder)
{
    std::vector<PgCopy> copies;
    const PGresult* pg = pgRow(query());
    for (int i = 0; i < resultFields_.size(); ++i)
        copies.push_back(pgCopyFor(pg, columnOf_[size_t(i)], resultFields_[i]));
    try {
        for (; !eof_; fetch()) {
            pg = pgRow(query());
            builder.beginRow();
            for (int i = 0; i < resultFields_.size(); ++i) {
                const int column = columnOf_[size_t(i)];
                if (!writePgValue(pg, 0, column, copies[size_t(i)], builder))
                    builder.putValue(convertDbValue(resultFields_[i], query().value(column)));
            }
        }
    } catch (...) {
        releaseQuery();
        throw;
    }
}

// ---------------------------------------------------------------------------------------
// Command
// ---------------------------------------------------------------------------------------

int Command::execute()
{
    run();
    if (SqliteStatement* st = lite()) {
        // A statement that returns rows (a PRAGMA) runs to its end.
        try {
            for (bool row = firstRow(); row; row = st->step()) {
            }
        } catch (const DatabaseError& e) {
            releaseQuery();
            fail(QStringLiteral("execute"), e);
        }
        const int affected = st->changes();
        st->reset();
        return affected;
    }
    const int affected = query().numRowsAffected();
    query().finish();
    return affected;
}

}  // namespace platform::db
