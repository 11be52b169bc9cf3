#pragma once
// SqliteStatement: one prepared statement stepped directly on the SQLite handle of a Qt
// connection. Statements on SQLite take this path because it reads each value straight
// into the declared field's type (texts, numbers and ISO date texts without passing
// through intermediate variants), which keeps a provider close to the engine's own speed.
//
// The handle belongs to the Qt connection (the same system SQLite library); the statement
// must be finalized (destroyed) before that connection closes.
// Throws platform::DatabaseError with SQLite's message on any failure.

#include "PlatformDbExport.h"
#include "platform/dataset/FieldDef.h"
#include "platform/db/SqliteCell.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_value;

namespace platform {
class BinaryPacketBuilder;
}

namespace platform::db {

class PLATFORM_DB_EXPORT SqliteStatement {
public:
    // The sqlite3 handle of a QSQLITE connection, or nullptr for any other driver.
    static sqlite3* handleOf(const QSqlDatabase& db);

    SqliteStatement(sqlite3* db, const QString& sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Back to the start with no values bound.
    void reset();
    // Binds `value` at 0-based `index`: null, bool, integers, double, QString, QByteArray.
    void bind(int index, const QVariant& value);
    // Next row: true when there is one. Throws DatabaseError on failure.
    bool step();
    int changes() const;
    // Holds the connection's own lock for as long as it lives: the engine's calls on this
    // thread then take it again without waiting or an atomic operation (the lock counts
    // its holder's entries), which a call per value otherwise pays for each time.
    class Held {
    public:
        explicit Held(const SqliteStatement& statement);
        ~Held();
        Held(const Held&) = delete;
        Held& operator=(const Held&) = delete;

    private:
        sqlite3* db_;
    };

    int columnCount() const;
    QString columnName(int column) const;
    // The column's value of the current row as the engine holds it, read for `field`
    // (its bytes valid until the next step).
    SqliteCell cell(int column, const FieldDef& field) const;
    // The engine's value object of the column (for the library's own readers).
    Q_DECL_HIDDEN sqlite3_value* columnValue(int column) const;
    // The column's value of the current row, converted to `field`'s type (null -> QVariant()).
    QVariant value(int column, const FieldDef& field) const;
    // The same value given to a packet being built: plain texts and numbers go straight
    // from the engine's bytes into the encoding.
    void writeValue(int column, const FieldDef& field, BinaryPacketBuilder& builder) const;
    // A field definition for a column without a declared one (from its declared SQL type,
    // else from the current row's value).
    FieldDef fieldFor(int column) const;

private:
    [[noreturn]] void fail(const char* what) const;
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace platform::db
