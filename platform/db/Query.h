#pragma once
// Statements with named, typed parameters: Query (returns rows) and Command (changes
// data). The SQL text names its parameters as :NAME (letters, digits, '_'); a name used
// several times is one parameter and every occurrence receives its value. Texts in
// quotes, comments and PostgreSQL casts (::type) are not parameters.
//
// Parameters are found in the text; each starts as a String parameter of size 0 (no
// limit) holding null. declareParam() gives a parameter its type and size; the value is
// converted to that type when it is bound, and a null value is bound as a null of that
// type. Dates travel as the backend expects: on SQLite a Date is the text yyyy-MM-dd and
// a DateTime the text "yyyy-MM-dd HH:mm:ss" (".zzz" added when there are milliseconds);
// elsewhere as date and timestamp values.
//
// A Query declares its result fields (FieldDefs: names, types, sizes, display labels);
// values read through value()/Provider are converted to the declared field's type, so
// every backend yields the same values. Without declared fields the result's own columns
// are used with types taken from the driver.
//
// Throws platform::DatabaseError with the driver's text on any failure to prepare, bind
// or execute, and on use without an open connection or with an unknown parameter name.

#include "PlatformDbExport.h"
#include "platform/Error.h"
#include "platform/dataset/FieldDef.h"
#include "platform/db/Connection.h"
#include "platform/db/DbValue.h"

#include <QObject>
#include <QPointer>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

struct sqlite3;
struct pg_result;

namespace platform {
class BinaryPacketBuilder;
}

namespace platform::db {

class SqliteStatement;

// One named parameter of a statement.
class Parameter {
public:
    Parameter() = default;
    Parameter(const QString& name, FieldType type, int size) : name_(name), type_(type), size_(size) {}

    const QString& name() const { return name_; }
    FieldType type() const { return type_; }
    int size() const { return size_; }
    void setType(FieldType type, int size = 0) { type_ = type; size_ = size; }

    const QVariant& value() const { return value_; }
    Parameter& setValue(const QVariant& value) { value_ = value; return *this; }
    Parameter& clear() { value_ = QVariant(); return *this; }
    bool isNull() const { return value_.isNull(); }

private:
    QString name_;
    FieldType type_ = FieldType::String;
    int size_ = 0;
    QVariant value_;
};

// Common part of Query and Command: connection, text, parameters, time-out.
class PLATFORM_DB_EXPORT Statement : public QObject {
    Q_OBJECT
public:
    explicit Statement(Connection* connection = nullptr, QObject* parent = nullptr);
    ~Statement() override;

    Connection* connection() const { return connection_; }
    void setConnection(Connection* connection);

    QString sql() const { return sql_; }
    // Replaces the text; parameters still named keep their type, size and value.
    void setSql(const QString& sql);

    // Parameter names in order of first occurrence.
    QStringList parameterNames() const;
    // Throws DatabaseError "Parameter 'NAME' not found" for a name not in the text.
    Parameter& paramByName(const QString& name);
    Parameter* findParam(const QString& name);
    Parameter& declareParam(const QString& name, FieldType type, int size = 0);
    void setParam(const QString& name, const QVariant& value) { paramByName(name).setValue(value); }

    // Seconds; 0 = no time-out. Default 30, as ADO commands.
    int commandTimeout() const { return commandTimeout_; }
    void setCommandTimeout(int seconds) { commandTimeout_ = seconds; }

    // The text as sent to the driver (positional '?' markers) and the parameter bound at
    // each marker; exposed for tests and diagnostics.
    QString preparedSql() const;
    QStringList markerNames() const;

    // Prepares the text on the connection ahead of its first run, so that the run only
    // executes. Nothing runs: no row is read or written and no lock is taken. Throws
    // DatabaseError; the statement is then prepared again by its next run. On PostgreSQL
    // a text without parameters is only checked: it runs as it stands, so that its rows
    // stream from the server (see Query.cpp).
    void prepare();

protected:
    // Prepares (once per text and connection) and executes the statement with the bound
    // parameters. `rowAtATime`: a PostgreSQL text without parameters sends its rows one at
    // a time while they are read (Query::firstToReadOnce). Throws DatabaseError.
    void run(bool rowAtATime = false);
    QSqlQuery& query() { return query_; }
    const QSqlQuery& query() const { return query_; }
    // On SQLite the statement runs on the engine's handle instead (see SqliteStatement.h);
    // run() has then already stepped to the first row, and firstRow() tells whether there
    // was one.
    SqliteStatement* lite() const { return lite_.get(); }
    bool firstRow() const { return firstRow_; }
    // Drops the prepared statement (text changed, connection closing).
    virtual void releaseQuery();
    Connection& requireConnection() const;
    [[noreturn]] void fail(const QString& what, const QString& driverText) const;
    // The same for an error met underneath, keeping its kind and the engine's code.
    [[noreturn]] void fail(const QString& what, const DatabaseError& cause) const;

private:
    void parse();
    QVariantList boundValues(const Connection& conn);
    void runOnSqlite(sqlite3* handle, const QString& key, const QVariantList& values);
    void runOnDriver(Connection& conn, const QString& key, const QVariantList& values, bool rowAtATime);
    QString preparationKey(const Connection& conn) const;
    void prepareOnSqlite(sqlite3* handle, const QString& key);
    void prepareOnDriver(Connection& conn, const QString& key);
    bool runsAsText(const Connection& conn) const;
    void checkOnDriver(Connection& conn);
    QPointer<Connection> connection_;
    QSqlQuery query_;
    std::unique_ptr<SqliteStatement> lite_;
    bool firstRow_ = false;
    QString preparedFor_;  // connection name + text the query was prepared for
    QString sql_;
    QString prepared_;
    std::vector<Parameter> params_;
    QStringList markers_;  // parameter name at each '?'
    std::vector<int> markerParams_;  // index in params_ of the parameter at each '?'
    int commandTimeout_ = 30;
};

// A statement that returns rows. After open() the first row is current (eof() when the
// result is empty); next() moves forward. The result is read forward only; first()
// re-executes the statement when the cursor has moved.
class PLATFORM_DB_EXPORT Query : public Statement {
    Q_OBJECT
public:
    using Statement::Statement;
    ~Query() override;

    // Declared result fields. Empty: the result's own columns.
    FieldDefs& fieldDefs() { return fields_; }
    const FieldDefs& fieldDefs() const { return fields_; }
    void setFieldDefs(const FieldDefs& defs) { fields_ = defs; }

    // Called by open() before the text is prepared (a SQL-variant store installs the
    // text for the connection's dialect here).
    void setBeforeOpen(std::function<void(Query&)> handler) { beforeOpen_ = std::move(handler); }

    void open();
    // first() for one read from the first row to the last, as a provider reads; a closed
    // query opens. When it runs, a PostgreSQL text without parameters comes from the server
    // a row at a time while the rows are read, so that no whole result is held beside what
    // they are read into. Nothing else may run on the connection until the query is at eof
    // or closed.
    void firstToReadOnce();
    void close();
    bool active() const { return active_; }
    void setActive(bool on) { on ? open() : close(); }

    bool eof() const { return eof_; }
    bool isEmpty() const;  // no row at all (valid right after open)
    void next();
    void first();

    // The fields of the result (the declared ones, or the result's columns).
    const FieldDefs& resultFields() const { return resultFields_; }
    // Value of the current row for a result field, converted to its declared type.
    // Throws DatabaseError at eof or for an unknown field.
    QVariant value(int index) const;
    QVariant value(const QString& fieldName) const;
    QVariantList currentRow() const;
    // The current row into a packet being built, its values as value() gives them.
    void writeRow(BinaryPacketBuilder& builder) const;
    // The current row and every one after it, the same way; the query is at eof after
    // (and a large PostgreSQL result is released: first() runs the statement again).
    void writeRows(BinaryPacketBuilder& builder);
    // On SQLite, the rows writeRows() writes on the calling thread alone before the rest of
    // a longer result goes into the packet on a second thread while the calling one reads
    // it (see SqliteRowPipe.h); a short result costs less than starting a thread. Tests set
    // it to take either way.
    static constexpr int kRowsBeforeOverlap = 4096;
    void setRowsBeforeOverlap(int rows) { rowsBeforeOverlap_ = rows; }

protected:
    void releaseQuery() override;

private:
    void open(bool rowAtATime);
    void fetch();
    void mapColumns();
    void writePgRows(const pg_result* pg, BinaryPacketBuilder& builder);
    void writePgRowAtATime(BinaryPacketBuilder& builder);
    void writeSqliteRows(BinaryPacketBuilder& builder);
    FieldDefs fields_;
    FieldDefs resultFields_;
    std::vector<int> columnOf_;   // result column for each result field
    std::function<void(Query&)> beforeOpen_;
    bool active_ = false;
    bool eof_ = true;
    int position_ = -1;  // 0-based index of the current row
    int rowsBeforeOverlap_ = kRowsBeforeOverlap;
};

// A statement that changes data.
class PLATFORM_DB_EXPORT Command : public Statement {
    Q_OBJECT
public:
    using Statement::Statement;

    // Executes; returns the number of rows affected (-1 when the driver cannot tell).
    int execute();
};

}  // namespace platform::db
