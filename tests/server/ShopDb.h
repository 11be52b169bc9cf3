#pragma once
// Shop databases for the data-service tests: one per backend kind and test process,
// created with the shop schema on first use and dropped at exit. SQLite always; PostgreSQL
// and ODBC (to PostgreSQL and to SQLite) when scripts/services.sh exported their
// connection strings. Fixture rows go in through a native connection; the data module
// connects with moduleConnectionString() (through ODBC for the ODBC kinds).

#include "support/ScratchDatabase.h"

#include "platform/db/Connection.h"
#include "server/Srv_Vak04100.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace srvtest {

using Kind = testsupport::DbKind;

// A backend kind and the encoding its database is created in (empty: the server's own).
struct Backend {
    Kind kind;
    const char* encoding = "";
};
// Every backend kind, and the PostgreSQL kinds once more in WIN1252, the shop's code page
// and the encoding of many a shop's server.
std::vector<Backend> backendsAndEncodings();
std::string backendName(const Backend& backend);
inline void PrintTo(const Backend& backend, std::ostream* out) { *out << backendName(backend); }

class ShopDb {
public:
    // The database of `kind` (in `encoding`, when given) for this process, or nullptr when
    // the kind is not configured.
    static ShopDb* get(Kind kind, const QString& encoding = {});
    // Drops the PostgreSQL databases made by this process (called when the tests end).
    static void releaseAll();

    ~ShopDb();

    Kind kind() const { return scratch_->kind(); }
    QString moduleConnectionString() const { return scratch_->connectionString(); }
    QString nativeConnectionString() const { return scratch_->nativeConnectionString(); }
    platform::db::Connection& native() { return *native_; }

    // Removes every row of every shop table.
    void clear();
    void insert(const QString& table, const QStringList& columns, const QList<QVariantList>& rows);
    // The first column of the first row of `sql` (null when there is none).
    QVariant scalar(const QString& sql);
    // Every row of `sql`, as text values.
    QList<QStringList> rows(const QString& sql);

private:
    explicit ShopDb(std::unique_ptr<testsupport::ScratchDatabase> scratch);
    std::unique_ptr<testsupport::ScratchDatabase> scratch_;
    std::unique_ptr<platform::db::Connection> native_;
    QStringList tables_;
};

// The data module of one test: rdmFidelidade created and connected to `connectionString`
// (through hostkit's connection string); released, with the hook reset, at the end.
class ModuleScope {
public:
    explicit ModuleScope(const QString& connectionString);
    ~ModuleScope();
};

// A test run once per backend kind and encoding, on an emptied shop database; skipped
// for a kind that is not configured here.
class BackendTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        db = ShopDb::get(GetParam().kind, QString::fromLatin1(GetParam().encoding));
        if (!db)
            GTEST_SKIP() << backendName(GetParam()) << " is not configured here";
        db->clear();
    }
    ShopDb* db = nullptr;
};

// Today at midnight, `offset` days away.
QDateTime day(int offset);

// The rows of a data packet result; fails the current test (and returns nothing) when
// the result is an error text instead.
struct PacketRows {
    QStringList fields;
    QList<QVariantList> rows;
    int column(const QString& name) const { return int(fields.indexOf(name)); }
    QVariant value(int row, const QString& field) const { return rows.at(row).at(column(field)); }
};
PacketRows packetRows(const QVariant& result);

}  // namespace srvtest
