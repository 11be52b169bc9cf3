#include "ShopDb.h"

#include "host/hostkit/HostHooks.h"
#include "support/SqlRows.h"

#include "hostapi/hostkit.h"
#include "platform/Error.h"
#include "platform/dataset/DataPacket.h"
#include "tools/shopgen/Schema.h"
#include "tools/shopgen/Sink.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <gtest/gtest.h>

#include <map>

namespace srvtest {

namespace {

std::map<std::pair<Kind, QString>, std::unique_ptr<ShopDb>>& databases()
{
    static std::map<std::pair<Kind, QString>, std::unique_ptr<ShopDb>> all;
    return all;
}

// The databases go when the tests end, while the application object still exists.
class ReleaseDatabases : public ::testing::Environment {
public:
    void TearDown() override { ShopDb::releaseAll(); }
};

[[maybe_unused]] auto* const releaseAtEnd = ::testing::AddGlobalTestEnvironment(new ReleaseDatabases);

}  // namespace

std::vector<Backend> backendsAndEncodings()
{
    std::vector<Backend> all;
    for (Kind kind : testsupport::allDbKinds())
        all.push_back({kind});
    all.push_back({Kind::PostgreSQL, "WIN1252"});
    all.push_back({Kind::OdbcPostgreSQL, "WIN1252"});
    return all;
}

std::string backendName(const Backend& backend)
{
    const std::string kind = testsupport::dbKindName(backend.kind);
    return *backend.encoding ? kind + "_" + backend.encoding : kind;
}

ShopDb* ShopDb::get(Kind kind, const QString& encoding)
{
    auto& all = databases();
    auto it = all.find({kind, encoding});
    if (it == all.end()) {
        if (!encoding.isEmpty() && !testsupport::isPostgres(kind))
            return nullptr;  // SQLite keeps its own encoding
        auto scratch = testsupport::ScratchDatabase::create(kind, QStringLiteral("srv"), encoding);
        it = all.emplace(std::pair{kind, encoding}, scratch ? std::unique_ptr<ShopDb>(new ShopDb(std::move(scratch))) : nullptr)
                 .first;
    }
    return it->second.get();
}

void ShopDb::releaseAll()
{
    databases().clear();
}

ShopDb::ShopDb(std::unique_ptr<testsupport::ScratchDatabase> scratch) : scratch_(std::move(scratch))
{
    native_ = std::make_unique<platform::db::Connection>(scratch_->nativeConnectionString());
    native_->open();
    shopgen::createSchema(*native_);
    tables_ = shopgen::tablesOf(shopgen::schemaScript(shopgen::schemaNameFor(*native_)));
}

ShopDb::~ShopDb()
{
    native_.reset();  // before the scratch database is dropped
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
    return testsupport::textRows(q);
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
    out.rows = packet.rows.rows();
    return out;
}

}  // namespace srvtest
