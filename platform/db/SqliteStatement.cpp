#include "platform/db/SqliteStatement.h"

#include "platform/dataset/BinaryPacketBuilder.h"
#include "platform/db/SqliteBusy.h"
#include "platform/db/SqliteCell.h"

#include "platform/Error.h"
#include "platform/db/DbValue.h"
#include "platform/db/ErrorKind.h"

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

SqliteStatement::Held::Held(const SqliteStatement& statement) : db_(statement.db_)
{
    sqlite3_mutex_enter(sqlite3_db_mutex(db_));
}

SqliteStatement::Held::~Held() { sqlite3_mutex_leave(sqlite3_db_mutex(db_)); }

int SqliteStatement::changes() const { return sqlite3_changes(db_); }
int SqliteStatement::columnCount() const { return sqlite3_column_count(stmt_); }
QString SqliteStatement::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(stmt_, column));
}

sqlite3_value* SqliteStatement::columnValue(int column) const { return sqlite3_column_value(stmt_, column); }

SqliteCell SqliteStatement::cell(int column, const FieldDef& field) const
{
    // The cell read through its value object: one call into the engine (and one lock of
    // its connection) per cell rather than three. The object is read at once, by the one
    // thread using the statement.
    return cellOf(sqlite3_column_value(stmt_, column), field);
}

QVariant SqliteStatement::value(int column, const FieldDef& f) const
{
    return cellValue(cell(column, f), f);
}

void SqliteStatement::writeValue(int column, const FieldDef& f, BinaryPacketBuilder& builder) const
{
    writeCell(cell(column, f), f, builder);
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
