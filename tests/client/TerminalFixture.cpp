#include "TerminalFixture.h"

#include "support/SchemaFile.h"
#include "support/ScratchDatabase.h"
#include "support/SqlRows.h"

#include "client/Chave.h"
#include "hostapi/hostkit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <functional>
#include <stdexcept>

namespace testsupport {

using platform::FieldDef;
using platform::FieldType;

namespace {

FieldDef campo(const QString& name, const QVariant& sample)
{
    switch (sample.typeId()) {
    case QMetaType::Int: return FieldDef::integer(name);
    case QMetaType::Bool: return FieldDef::boolean(name);
    case QMetaType::Double: return FieldDef::number(name);
    case QMetaType::QDateTime: return FieldDef::dateTime(name);
    default: return FieldDef::text(name, qMax<int>(1, sample.toString().size() + 20));
    }
}

}  // namespace

TerminalFixture::TerminalFixture()
{
    QDir(dir()).mkpath(QStringLiteral("Dados/Cadastros"));
    const QDateTime abertura(QDate(2026, 12, 7), QTime(8, 0));
    params = {
        {QStringLiteral("IDESQUEMA"), QStringLiteral("002")},
        {QStringLiteral("NRSERIEIMP"), QStringLiteral("BE0001")},
        {QStringLiteral("DSDIRCAD"), dir() + QStringLiteral("/Dados/")},
        {QStringLiteral("CDFILIAL"), QStringLiteral("01")},
        {QStringLiteral("CDLOJA"), QStringLiteral("L1")},
        {QStringLiteral("NMLOJA"), QStringLiteral("Loja Teste")},
        {QStringLiteral("CDCAIXA"), QStringLiteral("003")},
        {QStringLiteral("CDCLIENTE"), QStringLiteral("001")},
        {QStringLiteral("INCOR1"), 1}, {QStringLiteral("INCOR2"), 2}, {QStringLiteral("INCOR3"), 3},
        {QStringLiteral("INCOR4"), 4}, {QStringLiteral("INCOR5"), 5}, {QStringLiteral("INCOR6"), 6},
        {QStringLiteral("STTOTCV"), QStringLiteral("S")},
        {QStringLiteral("IDTIPOIMPFIS"), 1},
        {QStringLiteral("IDUTILTEF"), QStringLiteral("N")},
        {QStringLiteral("DSOBSCUPFIS"), QStringLiteral("Obrigado")},
        {QStringLiteral("IDIMPSALDOCUPOM"), QStringLiteral("S")},
        {QStringLiteral("IDTPTELAVE"), QStringLiteral("1")},
        {QStringLiteral("DSMENSCPFCUP"), QStringLiteral("CPF")},
        {QStringLiteral("IDIMPRCUPTEFRED"), QStringLiteral("N")},
        {QStringLiteral("CDCCUSCLIE"), QStringLiteral("CC1")},
        {QStringLiteral("DTABERCAIX"), abertura},
        {QStringLiteral("CDEMPRESA"), QStringLiteral("E1")},
        {QStringLiteral("IDPAISINTEGRA"), QStringLiteral("N")},
        {QStringLiteral("DSMODELOECFVE"), QStringLiteral("MOD1")},
        {QStringLiteral("DSMARCAECFVE"), QStringLiteral("MARCA")},
        {QStringLiteral("ECFIMP"), QStringLiteral("ECF1")},
        {QStringLiteral("CDPREFINTGCOL"), QStringLiteral("PX")},
        {QStringLiteral("SISTEMALUMIVEND"), false},
        {QStringLiteral("SISTEMAQVNNFCE"), false},
        {QStringLiteral("SISTEMAQVNSAT"), false},
        {QStringLiteral("SGESTADOFILI"), QStringLiteral("SP")},
        {QStringLiteral("NRINSJUREMPR"), QStringLiteral("12345678000195")},
        {QStringLiteral("CDINSCESTAEMPR"), QStringLiteral("111222333")},
        {QStringLiteral("IDPARIMPRLIMVDC"), QStringLiteral("N")},
        {QStringLiteral("UTILIZAIMPFIS"), true},
        {QStringLiteral("IDAMBTRABNFCE"), QStringLiteral("2")},
        {QStringLiteral("IDIMPCOMPCUPVEN"), QStringLiteral("N")},
        {QStringLiteral("IDUTILSATCOMP"), QStringLiteral("N")},
    };
    createDatabase();
}

void TerminalFixture::writeTable(const QString& path, const platform::FieldDefs& fields, const QList<QVariantList>& rows)
{
    platform::DataPacket packet;
    packet.fields = fields;
    packet.rows = rows;
    platform::writePacketFile(packet, path);
}

void TerminalFixture::writeParams(const QString& without, const QString& fileName)
{
    platform::FieldDefs fields;
    QVariantList row;
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        if (it.key() == without)
            continue;
        fields << campo(it.key(), it.value());
        row << it.value();
    }
    writeTable(dir() + QLatin1Char('/') + fileName, fields, {row});
}

void TerminalFixture::writeTaxRates()
{
    writeTable(dir() + QStringLiteral("/Dados/Cadastros/AliqImpFis.cds"),
               {FieldDef::text("CDALIQIMPFIS", 2), FieldDef::number("VRALIQIMPFIS"), FieldDef::text("IDALIQIMPFIS", 1)},
               {{QStringLiteral("01"), 18.0, QStringLiteral("t")}, {QStringLiteral("03"), 0.0, QStringLiteral("I")}});
}

void TerminalFixture::writeHostData(const QString& md5Plain)
{
    writeTable(params.value(QStringLiteral("DSDIRCAD")).toString() + QStringLiteral("QUORVAN.CDS"),
               {FieldDef::text("MD5ARQUIVOTXT", 200)},
               {{hostkit::Cripto(md5Plain, Cli_Vak04100::kChaveCripto)}});
}

void TerminalFixture::writeAccessControl()
{
    writeTable(dir() + QStringLiteral("/Dados/Cadastros/ControleAcess.cds"),
               {FieldDef::text("CDOPERADOR", 10),
                FieldDef::text("NMOPERADOR", 40)},
               {{QStringLiteral("7"), QStringLiteral("Caixa Teste")}});
}

void TerminalFixture::writeReceiptTypes()
{
    writeTable(dir() + QStringLiteral("/Dados/Cadastros/ConfTipoRece.cds"),
               {FieldDef::text("CDTIPORECE", 3),
                FieldDef::text("IDTIPORECE", 1)},
               {{QStringLiteral("010"), QStringLiteral("4")}});
}

void TerminalFixture::writeBusinessDate(const QDateTime& date)
{
    writeTable(dir() + QStringLiteral("/Dados/Cadastros/DataMovimento.cds"),
               {FieldDef::dateTime("DATAMOVIMENTO")}, {{date}});
}

void TerminalFixture::writeRegisterOpening(const QString& activationPlain)
{
    writeTable(dir() + QStringLiteral("/Dados/Cadastros/AberturaCaixa.cds"),
               {FieldDef::text("CDATIVACAOSAT", 200)},
               {{hostkit::Cripto(activationPlain, Cli_Vak04100::kChaveCripto)}});
}

void TerminalFixture::writeAll()
{
    writeParams();
    writeTaxRates();
    writeHostData(QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
    writeAccessControl();
    writeReceiptTypes();
    writeBusinessDate(QDateTime(QDate(2026, 12, 7), QTime(0, 0)));
    writeRegisterOpening(QStringLiteral("123456789"));
}

void TerminalFixture::removeFile(const QString& relative)
{
    QFile::remove(dir() + QLatin1Char('/') + relative);
}

namespace {

// A schema script's statements as one text, for run().
QString schemaSql(const char* file)
{
    return testsupport::schemaStatements(QString::fromLatin1(file)).join(QLatin1Char(';'));
}

void run(QSqlDatabase& db, const QString& sql)
{
    for (const QString& statement : sql.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (statement.trimmed().isEmpty())
            continue;
        QSqlQuery q(db);
        if (!q.exec(statement))
            throw std::runtime_error((q.lastError().text() + QStringLiteral(": ") + statement).toStdString());
    }
}

QSqlDatabase openPostgres(const QString& connection, const QString& database)
{
    if (QSqlDatabase::contains(connection))
        return QSqlDatabase::database(connection);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
    db.setHostName(qEnvironmentVariable("VAK_PG_HOST"));
    db.setPort(qEnvironmentVariable("VAK_PG_PORT").toInt());
    db.setUserName(qEnvironmentVariable("VAK_PG_USER"));
    db.setDatabaseName(database);
    if (!db.open())
        throw std::runtime_error(db.lastError().text().toStdString());
    return db;
}

// The test process's PostgreSQL shop: created with the schema on first use, dropped when
// the process ends.
class PostgresShop {
public:
    PostgresShop()
        : scratch_(testsupport::ScratchDatabase::create(testsupport::DbKind::PostgreSQL, QStringLiteral("terminal")))
    {
        QSqlDatabase shop = db();
        run(shop, schemaSql("postgresql.sql"));
        QSqlQuery q(shop);
        q.exec(QStringLiteral("SELECT tablename FROM pg_tables WHERE schemaname = 'public'"));
        while (q.next())
            tables_ << q.value(0).toString();
    }
    ~PostgresShop() { QSqlDatabase::removeDatabase(QStringLiteral("terminal_pg_shop")); }
    QSqlDatabase db() const { return openPostgres(QStringLiteral("terminal_pg_shop"), scratch_->serverDatabase()); }
    void empty()
    {
        QSqlDatabase shop = db();
        run(shop, QStringLiteral("TRUNCATE %1 RESTART IDENTITY").arg(tables_.join(QStringLiteral(", "))));
    }
    QString connectionString() const { return scratch_->connectionString(); }

private:
    std::unique_ptr<testsupport::ScratchDatabase> scratch_;
    QStringList tables_;
};

PostgresShop& postgresShop()
{
    static PostgresShop shop;
    return shop;
}

}  // namespace

QString TerminalFixture::connectionString() const
{
    return postgres_ ? postgresShop().connectionString() : QStringLiteral("Provider=SQLite;Data Source=") + dbPath();
}

bool TerminalFixture::usePostgres()
{
    if (qEnvironmentVariableIsEmpty("VAK_PG_CONNSTR"))
        return false;
    postgresShop().empty();
    postgres_ = true;
    createDatabase();
    return true;
}

namespace {

// Runs `work` on the shop: the process's PostgreSQL shop, or a connection of its own to
// the SQLite file, removed afterwards.
void onShop(bool postgres, const QString& sqlitePath, const std::function<void(QSqlDatabase&)>& work)
{
    if (postgres) {
        QSqlDatabase db = postgresShop().db();
        work(db);
        return;
    }
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(sqlitePath);
        if (!db.open())
            throw std::runtime_error(db.lastError().text().toStdString());
        QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous = OFF"));
        work(db);
    }
    QSqlDatabase::removeDatabase(name);
}

}  // namespace

void TerminalFixture::exec(const QString& sql)
{
    onShop(postgres_, dbPath(), [&](QSqlDatabase& db) { run(db, sql); });
}

QList<QStringList> TerminalFixture::rows(const QString& sql) const
{
    QList<QStringList> result;
    onShop(postgres_, dbPath(), [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        if (!q.exec(sql))
            throw std::runtime_error((q.lastError().text() + QStringLiteral(": ") + sql).toStdString());
        result = testsupport::textRows(q);
    });
    return result;
}

void TerminalFixture::createDatabase()
{
    if (!postgres_)
        exec(schemaSql("sqlite.sql"));
    exec(QStringLiteral(
        "INSERT INTO CLIENTE (CDCLIENTE, NMFANTCLIE) VALUES ('001', 'Cliente Demo');"
        "INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR, CDIDCONSUMID, NRCPFRESPCON, DSENDECONS)"
        "  VALUES ('001', 'C1', 'Ana Souza', 'B1', '12345678901', 'Rua A, 1');"
        "INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR, CDIDCONSUMID, NRCPFRESPCON, DSENDECONS)"
        "  VALUES ('001', 'C2', 'Bruno Lima', 'B2', '98765432100', 'Rua B, 2');"
        "INSERT INTO CAMPANHA (CDCAMPANHA, DSCAMPANHA, IDUTILVOUCHER) VALUES ('CP1', 'Pontos', 'N');"
        "INSERT INTO CAMPANHA (CDCAMPANHA, DSCAMPANHA, IDUTILVOUCHER) VALUES ('CP2', 'Voucher', 'S');"
        "INSERT INTO MOVPONTOCONS (CDCLIENTE, CDCONSUMIDOR, CDCAMPANHA, IDTPMOVCONS, VRSALDOCONS)"
        "  VALUES ('001', 'C1', 'CP1', 'C', 100);"
        "INSERT INTO MOVPONTOCONS (CDCLIENTE, CDCONSUMIDOR, CDCAMPANHA, IDTPMOVCONS, VRSALDOCONS)"
        "  VALUES ('001', 'C1', 'CP2', 'C', 50);"
        "INSERT INTO VOUCHERVND (CDCLIENTE, CDCONSUMIDOR, CDCAMPANHA, IDUTIVOUCHER, VRPTOVOUCHER, DTVALVOUCHER)"
        "  VALUES ('001', 'C1', 'CP2', 'N', 80, '2099-12-31 00:00:00');"
        "INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO, CDARVPROD, SGUNIDADE, CDBARPRODUTO)"
        "  VALUES ('P1', 'Caneca', '0101', 'UN', '7890000000011');"
        "INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO, CDARVPROD, SGUNIDADE, CDBARPRODUTO)"
        "  VALUES ('P2', 'Camiseta', '0102', 'UN', '7890000000028');"
        "INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO, CDARVPROD, SGUNIDADE, CDBARPRODUTO)"
        "  VALUES ('P3', 'Boné', '0103', 'UN', '7890000000035');"
        "INSERT INTO BRINDECAMPANHA (CDCAMPANHA, CDPRODUTO, VRPONTOBRINDE) VALUES ('CP1', 'P1', 30);"
        "INSERT INTO BRINDECAMPANHA (CDCAMPANHA, CDPRODUTO, VRPONTOBRINDE) VALUES ('CP1', 'P2', 50);"
        "INSERT INTO BRINDECAMPANHA (CDCAMPANHA, CDPRODUTO, VRPONTOBRINDE) VALUES ('CP1', 'P3', 10);"
        "INSERT INTO BRINDECAMPANHA (CDCAMPANHA, CDPRODUTO, VRPONTOBRINDE) VALUES ('CP2', 'P1', 20);"
        "INSERT INTO ALIQIMPFIS (CDFILIAL, CDPRODUTO, VRPEALIMPFIS, CDIMPOSTO, IDTPIMPOSFIS) VALUES ('01', 'P1', 18, '01', 'T');"
        "INSERT INTO ALIQIMPFIS (CDFILIAL, CDPRODUTO, VRPEALIMPFIS, CDIMPOSTO, IDTPIMPOSFIS) VALUES ('01', 'P2', 18, '01', 'T');"
        "INSERT INTO ALIQIMPFIS (CDFILIAL, CDPRODUTO, VRPEALIMPFIS, CDIMPOSTO, IDTPIMPOSFIS) VALUES ('01', 'P3', 7, '02', 'T')"));
}

}  // namespace testsupport
