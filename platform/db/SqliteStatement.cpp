#include "platform/db/SqliteStatement.h"

#include "platform/dataset/BinaryPacketBuilder.h"
#include "platform/db/SqliteBusy.h"

#include "platform/Error.h"
#include "platform/db/DbValue.h"
#include "platform/db/ErrorKind.h"

#include <QDate>
#include <QSqlDriver>

#include <sqlite3.h>

namespace platform::db {

sqlite3* SqliteStatement::handleOf(const QSqlDatabase& db)
{
    if (!db.isValid() || db.driverName() != QLatin1String("QSQLITE"))
        return nullptr;
    const QVariant h = db.driver()->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(h.constData());
}

SqliteStatement::SqliteStatement(sqlite3* db, const QString& sql) : db_(db)
{
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db_, text.constData(), int(text.size()), &stmt_, nullptr) != SQLITE_OK) {
        stmt_ = nullptr;
        fail("prepare");
    }
    if (!stmt_)
        throw DatabaseError(QStringLiteral("empty SQL text"));
}

SqliteStatement::~SqliteStatement()
{
    if (stmt_)
        sqlite3_finalize(stmt_);
}

void SqliteStatement::fail(const char* what) const
{
    const int code = sqlite3_extended_errcode(db_);
    if (sqlitebusy::isBusyCode(code))
        throw DatabaseError(sqlitebusy::message(db_), DatabaseError::Kind::Busy, QString::number(code));
    throw DatabaseError(QStringLiteral("%1 (SQLite %2, code %3)")
                            .arg(QString::fromUtf8(sqlite3_errmsg(db_)), QLatin1String(what))
                            .arg(code),
                        kindOfSqliteCode(code), QString::number(code));
}

void SqliteStatement::reset()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

void SqliteStatement::bind(int index, const QVariant& v)
{
    const int at = index + 1;
    int rc = SQLITE_OK;
    if (v.isNull() || !v.isValid()) {
        rc = sqlite3_bind_null(stmt_, at);
    } else {
        switch (v.typeId()) {
        case QMetaType::Bool:
            rc = sqlite3_bind_int(stmt_, at, v.toBool() ? 1 : 0);
            break;
        case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
        case QMetaType::Short: case QMetaType::UShort: case QMetaType::Long: case QMetaType::ULong:
            rc = sqlite3_bind_int64(stmt_, at, v.toLongLong());
            break;
        case QMetaType::Double: case QMetaType::Float:
            rc = sqlite3_bind_double(stmt_, at, v.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray b = v.toByteArray();
            rc = sqlite3_bind_blob64(stmt_, at, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray s = v.toString().toUtf8();
            rc = sqlite3_bind_text(stmt_, at, s.constData(), int(s.size()), SQLITE_TRANSIENT);
            break;
        }
        }
    }
    if (rc != SQLITE_OK)
        fail("bind");
}

bool SqliteStatement::step()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail("step");
}

int SqliteStatement::changes() const { return sqlite3_changes(db_); }
int SqliteStatement::columnCount() const { return sqlite3_column_count(stmt_); }
QString SqliteStatement::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(stmt_, column));
}

namespace {

// SQLite keeps texts in UTF-8; Qt's decoder is faster than asking SQLite for UTF-16.
QString text16(sqlite3_stmt* stmt, int column)
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return QString::fromUtf8(p, sqlite3_column_bytes(stmt, column));
}

// "YYYY-MM-DD" read straight from the UTF-8 bytes: the common case of a date column.
QDate isoDate(const unsigned char* s, int n)
{
    if (n != 10 || s[4] != '-' || s[7] != '-')
        return {};
    int v[8];
    const int at[8] = {0, 1, 2, 3, 5, 6, 8, 9};
    for (int i = 0; i < 8; ++i) {
        const unsigned char c = s[at[i]];
        if (c < '0' || c > '9')
            return {};
        v[i] = c - '0';
    }
    return QDate(v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], v[4] * 10 + v[5], v[6] * 10 + v[7]);
}

// The value as SQLite holds it, for the general conversion.
QVariant natural(sqlite3_stmt* stmt, int column, int type)
{
    switch (type) {
    case SQLITE_INTEGER: return QVariant(qint64(sqlite3_column_int64(stmt, column)));
    case SQLITE_FLOAT: return QVariant(sqlite3_column_double(stmt, column));
    case SQLITE_BLOB: {
        const void* p = sqlite3_column_blob(stmt, column);
        return QVariant(QByteArray(static_cast<const char*>(p), sqlite3_column_bytes(stmt, column)));
    }
    default: return QVariant(text16(stmt, column));
    }
}

}  // namespace

QVariant SqliteStatement::value(int column, const FieldDef& f) const
{
    const int type = sqlite3_column_type(stmt_, column);
    if (type == SQLITE_NULL)
        return {};
    switch (f.type) {
    case FieldType::String: case FieldType::WideString: {
        if (type == SQLITE_BLOB)
            break;
        QString s = text16(stmt_, column);
        if (f.size > 0 && s.size() > f.size)
            s.truncate(f.size);
        return s;
    }
    case FieldType::Memo: case FieldType::WideMemo:
        if (type == SQLITE_TEXT)
            return text16(stmt_, column);
        break;
    case FieldType::Float: case FieldType::Single: case FieldType::Currency: case FieldType::Bcd: case FieldType::FmtBcd:
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
            return sqlite3_column_double(stmt_, column);
        break;
    case FieldType::ShortInt: case FieldType::SmallInt: case FieldType::Integer: case FieldType::Byte: case FieldType::Word:
        if (type == SQLITE_INTEGER) {
            const qint64 n = sqlite3_column_int64(stmt_, column);
            if (n >= INT_MIN && n <= INT_MAX)
                return int(n);
        }
        break;
    case FieldType::LargeInt: case FieldType::LongWord:
        if (type == SQLITE_INTEGER)
            return qint64(sqlite3_column_int64(stmt_, column));
        break;
    case FieldType::Date:
        if (type == SQLITE_TEXT) {
            const QDate d = isoDate(sqlite3_column_text(stmt_, column), sqlite3_column_bytes(stmt_, column));
            if (d.isValid())
                return d;
        }
        break;
    default:
        break;
    }
    return convertDbValue(f, natural(stmt_, column, type));
}

void SqliteStatement::writeValue(int column, const FieldDef& f, BinaryPacketBuilder& builder) const
{
    // The cell read through its value object: one call into the engine (and one lock of
    // its connection) per cell rather than three. The object is read at once, without a
    // conversion of its type, and the connection, as every Qt connection, serves one
    // thread only.
    sqlite3_value* cell = sqlite3_column_value(stmt_, column);
    const int type = sqlite3_value_type(cell);
    if (type == SQLITE_NULL)
        return builder.putNull();
    if (type == SQLITE_TEXT && f.type == FieldType::String) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(cell));
        if (builder.putUtf8Text(p, sqlite3_value_bytes(cell)))
            return;
    } else if ((type == SQLITE_FLOAT || type == SQLITE_INTEGER)
               && (f.type == FieldType::Float || f.type == FieldType::Currency)) {
        if (builder.putDouble(sqlite3_value_double(cell)))
            return;
    }
    builder.putValue(value(column, f));
}

FieldDef SqliteStatement::fieldFor(int column) const
{
    FieldDef f;
    f.name = columnName(column);
    const QString decl = QString::fromUtf8(sqlite3_column_decltype(stmt_, column)).toUpper();
    int type = sqlite3_column_type(stmt_, column);
    if (decl.contains(QLatin1String("INT")))
        type = SQLITE_INTEGER;
    else if (decl.contains(QLatin1String("CHAR")) || decl.contains(QLatin1String("TEXT")) || decl.contains(QLatin1String("CLOB")))
        type = SQLITE_TEXT;
    else if (decl.contains(QLatin1String("REAL")) || decl.contains(QLatin1String("FLOA")) || decl.contains(QLatin1String("DOUB"))
             || decl.contains(QLatin1String("NUM")) || decl.contains(QLatin1String("DEC")))
        type = SQLITE_FLOAT;
    if (decl.startsWith(QLatin1String("DATETIME")) || decl.startsWith(QLatin1String("TIMESTAMP"))) {
        f.type = FieldType::DateTime;
    } else if (decl.startsWith(QLatin1String("DATE"))) {
        f.type = FieldType::Date;
    } else if (type == SQLITE_INTEGER) {
        f.type = FieldType::LargeInt;
    } else if (type == SQLITE_FLOAT) {
        f.type = FieldType::Float;
    } else if (type == SQLITE_BLOB) {
        f.type = FieldType::Blob;
    } else {
        f.type = FieldType::String;
        const int open = int(decl.indexOf(QLatin1Char('(')));
        const int size = open > 0 ? decl.mid(open + 1, decl.indexOf(QLatin1Char(')')) - open - 1).toInt() : 0;
        f.size = size > 0 ? size : 255;
    }
    return f;
}

}  // namespace platform::db
