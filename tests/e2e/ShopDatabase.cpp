#include "ShopDatabase.h"

#include "support/SchemaFile.h"
#include "support/SqlRows.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <gtest/gtest.h>

#include <stdexcept>

namespace e2e {

namespace {

void run(QSqlDatabase d, const QString& sql)
{
    QSqlQuery q(d);
    if (!q.exec(sql))
        throw std::runtime_error((q.lastError().text() + QStringLiteral(": ") + sql).toStdString());
}

}  // namespace

Shop::Shop(const testsupport::TerminalFixture& term, bool postgres, const QString& encoding) : sqlite_(term.dbPath())
{
    if (!postgres) {
        connectionString_ = term.connectionString();
        handle_ = open(QStringLiteral("QSQLITE"), sqlite_);
        return;
    }
    scratch_ = testsupport::ScratchDatabase::create(testsupport::DbKind::PostgreSQL, QStringLiteral("e2e"), encoding);
    handle_ = open(QStringLiteral("QPSQL"), scratch_->serverDatabase());
    for (const QString& statement : testsupport::schemaStatements(QStringLiteral("postgresql.sql")))
        run(db(), statement);
    copyFrom(open(QStringLiteral("QSQLITE"), sqlite_));
    connectionString_ = scratch_->connectionString();
}

Shop::~Shop()
{
    for (const QString& name : names_)
        QSqlDatabase::removeDatabase(name);
}

QString Shop::value(const QString& sql) const
{
    QSqlQuery q(db());
    return q.exec(sql) && q.next() ? q.value(0).toString().trimmed() : QString();
}

QList<QStringList> Shop::rows(const QString& sql) const
{
    QSqlQuery q(db());
    EXPECT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
    return testsupport::textRows(q, true);
}

void Shop::exec(const QString& sql) const
{
    run(db(), sql);
}

QString Shop::open(const QString& driver, const QString& database)
{
    const QString name = QUuid::createUuid().toString();
    QSqlDatabase d = QSqlDatabase::addDatabase(driver, name);
    d.setDatabaseName(database);
    if (driver == QLatin1String("QPSQL")) {
        d.setHostName(qEnvironmentVariable("VAK_PG_HOST"));
        d.setPort(qEnvironmentVariable("VAK_PG_PORT").toInt());
        d.setUserName(qEnvironmentVariable("VAK_PG_USER"));
    }
    if (!d.open())
        throw std::runtime_error(d.lastError().text().toStdString());
    names_ << name;
    return name;
}

// The fixture's seed rows, table by table.
void Shop::copyFrom(const QString& from)
{
    for (const char* table : {"CLIENTE", "CONSUMIDOR", "CAMPANHA", "MOVPONTOCONS", "VOUCHERVND", "PRODUTO",
                              "BRINDECAMPANHA", "ALIQIMPFIS"}) {
        QSqlQuery q(QSqlDatabase::database(from));
        q.exec(QStringLiteral("SELECT * FROM ") + QLatin1String(table));
        while (q.next()) {
            QStringList names, marks;
            QList<int> copied;
            for (int i = 0; i < q.record().count(); ++i) {
                if (q.record().fieldName(i).toUpper().startsWith(QLatin1String("NRSEQ")))
                    continue;  // numbered by the database
                copied << i;
                names << q.record().fieldName(i);
                marks << QStringLiteral("?");
            }
            QSqlQuery ins(db());
            ins.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(QLatin1String(table), names.join(u','), marks.join(u',')));
            for (int i : copied)
                ins.addBindValue(q.value(i));
            if (!ins.exec())
                throw std::runtime_error(ins.lastError().text().toStdString());
        }
    }
}

bool postgresConfigured()
{
    return !qEnvironmentVariableIsEmpty("VAK_PG_CONNSTR");
}

}  // namespace e2e
