#pragma once
// A database of its own for a test: a SQLite file in a temporary folder, or a PostgreSQL
// database created on the test server under a name no other test process uses, dropped
// with the object. The ODBC kinds reach the same database through their ODBC driver.

#include "DbKinds.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace testsupport {

class ScratchDatabase {
public:
    // A new empty database of `kind` named after `prefix`; nullptr when the kind is not
    // configured here. Throws platform::Error when the server refuses it. A PostgreSQL
    // database is created in `encoding` when one is given ("WIN1252": the shop's code
    // page, with the "C" locale), else in the server's default; SQLite has no choice.
    static std::unique_ptr<ScratchDatabase> create(DbKind kind, const QString& prefix, const QString& encoding = {});
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    DbKind kind() const { return kind_; }
    // Through the database's own driver (SQLite or PostgreSQL), for fixture rows.
    const QString& nativeConnectionString() const { return native_; }
    // Through ODBC for the ODBC kinds, the native string otherwise.
    const QString& connectionString() const { return connection_; }
    // The PostgreSQL database's name (empty for SQLite).
    const QString& serverDatabase() const { return serverDatabase_; }
    // The SQLite file (empty for PostgreSQL).
    const QString& file() const { return file_; }

private:
    explicit ScratchDatabase(DbKind kind) : kind_(kind) {}
    DbKind kind_;
    QString native_, connection_, serverDatabase_, file_;
    QTemporaryDir dir_;
};

// `connectionString` with its Database key naming `database`.
QString withDatabase(QString connectionString, const QString& database);

}  // namespace testsupport
