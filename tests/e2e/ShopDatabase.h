#pragma once
// The shop database of the end-to-end tests: a terminal fixture's SQLite file, or its seed
// rows copied into a PostgreSQL database of its own (dropped at the end), in `encoding`
// when one is given. The test reads and changes it through its own connections while the
// hosts run theirs. Throws std::runtime_error when the database cannot be made.

#include "TerminalFixture.h"

#include "support/ScratchDatabase.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <memory>

namespace e2e {

class Shop {
public:
    Shop(const testsupport::TerminalFixture& term, bool postgres, const QString& encoding = {});
    ~Shop();
    Shop(const Shop&) = delete;
    Shop& operator=(const Shop&) = delete;

    const QString& connectionString() const { return connectionString_; }
    QSqlDatabase db() const { return QSqlDatabase::database(handle_); }
    // The first value of the first row, trimmed (empty when there is none).
    QString value(const QString& sql) const;
    // Every row, every value as text (a failed query fails the test).
    QList<QStringList> rows(const QString& sql) const;
    void exec(const QString& sql) const;

private:
    QString open(const QString& driver, const QString& database);
    void copyFrom(const QString& from);

    std::unique_ptr<testsupport::ScratchDatabase> scratch_;  // dropped after the connections go
    QString sqlite_, connectionString_, handle_;
    QStringList names_;
};

// Whether scripts/services.sh started a PostgreSQL server for the tests.
bool postgresConfigured();

}  // namespace e2e
