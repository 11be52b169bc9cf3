#include "ShopDb.h"

#include "host/hostkit/HostHooks.h"
#include "support/SqliteFile.h"

#include "hostapi/hostkit.h"
#include "platform/Error.h"
#include "platform/dataset/DataPacket.h"
#include "tools/shopgen/Schema.h"
#include "tools/shopgen/Sink.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <gtest/gtest.h>

#include <map>

namespace srvtest {

namespace {

std::map<Kind, std::unique_ptr<ShopDb>>& databases()
{
    static std::map<Kind, std::unique_ptr<ShopDb>> all;
    return all;
}

QString withDatabase(QString connStr, const QString& database)
{
    static const QRegularExpression key(QStringLiteral("(Database\\s*=)[^;]*"),
                                        QRegularExpression::CaseInsensitiveOption);
    return connStr.replace(key, QStringLiteral("\\1") + database);
}

}  // namespace

std::vector<Kind> allKinds()
{
    return {Kind::SQLite, Kind::PostgreSQL, Kind::OdbcPostgreSQL, Kind::OdbcSQLite};
}

std::string kindName(Kind kind)
{
    switch (kind) {
    case Kind::SQLite: return "SQLite";
    case Kind::PostgreSQL: return "PostgreSQL";
    case Kind::OdbcPostgreSQL: return "OdbcPostgreSQL";
    case Kind::OdbcSQLite: return "OdbcSQLite";
    }
    return "?";
}

ShopDb* ShopDb::get(Kind kind)
{
    auto& all = databases();
    auto it = all.find(kind);
    if (it == all.end()) {
        const QString pg = qEnvironmentVariable("VAK_PG_CONNSTR");
        const bool configured = kind == Kind::SQLite
                                || (kind == Kind::PostgreSQL && !pg.isEmpty())
                                || (kind == Kind::OdbcPostgreSQL && !pg.isEmpty()
                                    && !qEnvironmentVariable("VAK_ODBC_PG_CONNSTR").isEmpty())
                                || (kind == Kind::OdbcSQLite && !qEnvironmentVariable("VAK_ODBC_SQLITE_PREFIX").isEmpty());
        it = all.emplace(kind, configured ? std::unique_ptr<ShopDb>(new ShopDb(kind)) : nullptr).first;
    }
    return it->second.get();
}

void ShopDb::releaseAll()
{
    databases().clear();
}

ShopDb::ShopDb(Kind kind) : kind_(kind)
{
    if (kind == Kind::SQLite || kind == Kind::OdbcSQLite) {
        dir_ = std::make_unique<QTemporaryDir>();
        const QString file = sqliteFile(dir_->path(), QStringLiteral("loja.db"));
        nativeConnStr_ = QStringLiteral("Provider=SQLite;Data Source=") + file;
        moduleConnStr_ = kind == Kind::SQLite ? nativeConnStr_ : qEnvironmentVariable("VAK_ODBC_SQLITE_PREFIX") + file;
    } else {
        // A database of its own, so that test processes running at once never meet.
        static int serial = 0;
        pgDatabase_ = QStringLiteral("vak_srv_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
        pgMaintenanceConnStr_ = qEnvironmentVariable("VAK_PG_CONNSTR");
        platform::db::Connection maintenance(pgMaintenanceConnStr_);
        maintenance.open();
        maintenance.execute(QStringLiteral("DROP DATABASE IF EXISTS ") + pgDatabase_);
        maintenance.execute(QStringLiteral("CREATE DATABASE ") + pgDatabase_);
        nativeConnStr_ = withDatabase(pgMaintenanceConnStr_, pgDatabase_);
        moduleConnStr_ = kind == Kind::PostgreSQL
                             ? nativeConnStr_
                             : withDatabase(qEnvironmentVariable("VAK_ODBC_PG_CONNSTR"), pgDatabase_);
    }
    native_ = std::make_unique<platform::db::Connection>(nativeConnStr_);
    native_->open();
    shopgen::createSchema(*native_);
    tables_ = shopgen::tablesOf(shopgen::schemaScript(shopgen::schemaNameFor(*native_)));
}

ShopDb::~ShopDb()
{
    native_.reset();
    if (!pgDatabase_.isEmpty()) {
        try {
            platform::db::Connection maintenance(pgMaintenanceConnStr_);
            maintenance.open();
            maintenance.execute(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(pgDatabase_));
        } catch (const platform::Error&) {
            // A database left behind lives in the test server's temporary directory.
        }
    }
}

void ShopDb::clear()
{
    native_->beginTransaction();
    for (const QString& table : tables_)
        native_->execute(QStringLiteral("DELETE FROM ") + table);
    native_->commit();
}

void ShopDb::insert(const QString& table, const QStringList& columns, const QList<QVariantList>& rows)
{
    const auto sink = shopgen::qtSqlSink(*native_);
    sink->begin(table, columns);
    for (const QVariantList& row : rows)
        sink->row(row);
    sink->end();
}

QVariant ShopDb::scalar(const QString& sql)
{
    QSqlQuery q(native_->database());
    if (!q.exec(sql))
        throw platform::DatabaseError(q.lastError().text());
    return q.next() ? q.value(0) : QVariant();
}

QList<QStringList> ShopDb::rows(const QString& sql)
{
    QSqlQuery q(native_->database());
    if (!q.exec(sql))
        throw platform::DatabaseError(q.lastError().text());
    QList<QStringList> result;
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < q.record().count(); ++i)
            row << q.value(i).toString();
        result << row;
    }
    return result;
}

ModuleScope::ModuleScope(const QString& connectionString)
{
    hostkit::setStringConexQvn(connectionString);
    Srv_Vak04100::rdmFidelidade = new Srv_Vak04100::TrdmFidelidade;
    Srv_Vak04100::rdmFidelidade->adcFidelidade->open();
}

ModuleScope::~ModuleScope()
{
    delete Srv_Vak04100::rdmFidelidade;
    Srv_Vak04100::rdmFidelidade = nullptr;
    hostkit::setStringConexQvn(QString());
}

QDateTime day(int offset)
{
    return QDateTime(QDate::currentDate().addDays(offset), QTime(0, 0));
}

PacketRows packetRows(const QVariant& result)
{
    PacketRows out;
    if (result.userType() != QMetaType::QByteArray) {
        ADD_FAILURE() << "expected a data packet, got: " << result.toString().toStdString();
        return out;
    }
    const platform::DataPacket packet = platform::packetFromVariant(result);
    for (const platform::FieldDef& f : packet.fields)
        out.fields << f.name;
    out.rows = packet.rows;
    return out;
}

}  // namespace srvtest
