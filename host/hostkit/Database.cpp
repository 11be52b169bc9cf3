// Database routines of the toolkit: error texts, session set-up, the SQL-variant store.

#include "HostkitInternal.h"

namespace hostkit {

using platform::db::Backend;
using platform::db::Connection;
using platform::db::Dialect;

QString ADOExceptionMessage(const std::exception& erro, Connection* conexao, const QString& complemento)
{
    const auto* err = dynamic_cast<const platform::Error*>(&erro);
    QString text = (err ? err->text() : QString::fromUtf8(erro.what())).trimmed();
    if (text.isEmpty())
        text = QStringLiteral("erro desconhecido");
    QString where;
    if (conexao && !conexao->dbmsName().isEmpty())
        where = QStringLiteral(" (%1)").arg(conexao->dbmsName());
    QString message = QStringLiteral("Erro de banco de dados%1: %2").arg(where, text);
    if (!complemento.trimmed().isEmpty())
        message += QLatin1Char('\n') + complemento.trimmed();
    return message;
}

namespace {

// What each database is told at the start of a session so that the system's statements
// read dates, numbers and texts alike everywhere.
QStringList sessionStatements(Backend backend)
{
    switch (backend) {
    case Backend::SQLite:
        // Several terminals may write the same file: the connection itself waits for a
        // lock, once per operation (its Busy Timeout); a PRAGMA here would replace that wait.
        return {QStringLiteral("PRAGMA foreign_keys = ON")};
    case Backend::PostgreSQL:
        return {QStringLiteral("SET DateStyle = 'ISO, YMD'"), QStringLiteral("SET client_encoding = 'UTF8'"),
                QStringLiteral("SET standard_conforming_strings = on")};
    case Backend::MsSql:
        return {QStringLiteral("SET DATEFORMAT ymd")};
    case Backend::Oracle:
        return {QStringLiteral("ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY-MM-DD HH24:MI:SS'"),
                QStringLiteral("ALTER SESSION SET NLS_NUMERIC_CHARACTERS = '.,'")};
    case Backend::Other:
        break;
    }
    return {};
}

}  // namespace

void SetADODBSession(Connection* conexao)
{
    if (!conexao)
        throw platform::HostError(QStringLiteral("SetADODBSession: conexão não informada"));
    if (!conexao->connected())
        throw platform::HostError(QStringLiteral("SetADODBSession: a conexão não está aberta"));
    for (const QString& statement : sessionStatements(conexao->backend()))
        conexao->execute(statement);
}

TADOSqlStorage::TADOSqlStorage(QObject* owner) : QObject(owner) {}
TADOSqlStorage::~TADOSqlStorage() = default;

platform::db::Query* TADOSqlStorage::ADOQuery() const { return storage_.query(); }
void TADOSqlStorage::setADOQuery(platform::db::Query* query) { storage_.setQuery(query); }
QString TADOSqlStorage::SQLORACLE() const { return storage_.text(Dialect::Oracle); }
void TADOSqlStorage::setSQLORACLE(const QString& sql) { storage_.setText(Dialect::Oracle, sql); }
QString TADOSqlStorage::SQLMSSQL() const { return storage_.text(Dialect::MsSql); }
void TADOSqlStorage::setSQLMSSQL(const QString& sql) { storage_.setText(Dialect::MsSql, sql); }
QString TADOSqlStorage::SQLANSI() const { return storage_.text(Dialect::Ansi); }
void TADOSqlStorage::setSQLANSI(const QString& sql) { storage_.setText(Dialect::Ansi, sql); }
void TADOSqlStorage::Aplica() { storage_.apply(); }

}  // namespace hostkit
