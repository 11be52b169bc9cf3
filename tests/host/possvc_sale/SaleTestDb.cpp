#include "SaleTestDb.h"

#include "support/FieldDefs.h"
#include "support/SchemaFile.h"

#include "host/possvc/sale/SaleServices.h"
#include "host/possvc/sale/SaleServicesDb.h"
#include "hostapi/hostkit.h"
#include "platform/Error.h"
#include "platform/db/Query.h"


namespace saletest {

using platform::FieldDef;
using platform::FieldType;
using platform::db::Command;
using platform::db::Connection;
using platform::db::Query;

namespace {

std::unique_ptr<Connection> openConnection(const QString& text)
{
    auto c = std::make_unique<Connection>(text);
    c->setAfterConnect([](Connection& open) { hostkit::SetADODBSession(&open); });
    c->open();
    return c;
}

template <typename S>
void bindPositional(S& s, const QVariantList& values)
{
    for (int i = 0; i < values.size(); ++i) {
        const QString name = QStringLiteral("P%1").arg(i + 1);
        const QVariant& v = values[i];
        FieldType type = FieldType::String;
        if (v.typeId() == QMetaType::Double)
            type = FieldType::Float;
        else if (v.typeId() == QMetaType::Int)
            type = FieldType::Integer;
        else if (v.typeId() == QMetaType::QDateTime || v.typeId() == QMetaType::QDate)
            type = FieldType::DateTime;
        s.declareParam(name, type).setValue(v.typeId() == QMetaType::QDate ? QVariant(v.toDate().startOfDay()) : v);
    }
}

}  // namespace

std::unique_ptr<TestDatabase> TestDatabase::create(const QString& backend)
{
    const bool sqlite = backend == QLatin1String("sqlite");
    auto scratch = testsupport::ScratchDatabase::create(
        sqlite ? testsupport::DbKind::SQLite : testsupport::DbKind::PostgreSQL, QStringLiteral("sale"));
    if (!scratch)
        return nullptr;
    std::unique_ptr<TestDatabase> db(new TestDatabase);
    db->scratch_ = std::move(scratch);
    db->connectionString_ = db->scratch_->connectionString();
    db->conn_ = openConnection(db->connectionString_);
    db->loadSchema(sqlite ? QStringLiteral("sqlite.sql") : QStringLiteral("postgresql.sql"));
    db->seedShop();
    return db;
}

TestDatabase::~TestDatabase() = default;

std::unique_ptr<Connection> TestDatabase::open() const
{
    return openConnection(connectionString_);
}

void TestDatabase::loadSchema(const QString& file)
{
    // One transaction: a file database would otherwise sync after every statement.
    conn_->beginTransaction();
    for (const QString& statement : testsupport::schemaStatements(file))
        conn_->execute(statement);
    conn_->commit();
}

void TestDatabase::exec(const QString& sql, const QVariantList& values)
{
    Command c(conn_.get());
    c.setSql(sql);
    bindPositional(c, values);
    c.execute();
}

QVariant TestDatabase::scalar(const QString& sql, const QVariantList& values)
{
    Query q(conn_.get());
    q.setSql(sql);
    bindPositional(q, values);
    q.open();
    return q.eof() ? QVariant() : q.value(0);
}

int TestDatabase::count(const QString& table, const QString& where, const QVariantList& values)
{
    return scalar(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2").arg(table, where), values).toInt();
}

void TestDatabase::addPoints(const QString& campaign, double points)
{
    exec(QStringLiteral("INSERT INTO MOVPONTOCONS (CDCLIENTE, CDCONSUMIDOR, CDCAMPANHA, IDTPMOVCONS, VRSALDOCONS) "
                        "VALUES ('CLI1', 'CONS1', :P1, 'C', :P2)"),
         {campaign, points});
}

void TestDatabase::seedShop()
{
    exec(QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL, SGESTADO, NRINSJURFILI) VALUES ('0001', 'Loja Centro', 'SP', '11222333000181')"));
    exec(QStringLiteral("INSERT INTO CLIENTE (CDCLIENTE, NMFANTCLIE) VALUES ('CLI1', 'Cliente Um')"));
    exec(QStringLiteral("INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR, NRCPFRESPCON) VALUES ('CLI1', 'CONS1', 'Maria', '12345678909')"));
    exec(QStringLiteral("INSERT INTO CAMPANHA (CDCAMPANHA, DSCAMPANHA, IDUTILVOUCHER) VALUES ('PTS', 'Pontos', 'N')"));
    exec(QStringLiteral("INSERT INTO CAMPANHA (CDCAMPANHA, DSCAMPANHA, IDUTILVOUCHER) VALUES ('VOU', 'Vouchers', 'S')"));
    addPoints(QStringLiteral("PTS"), 100);
    addPoints(QStringLiteral("VOU"), 5);
    exec(QStringLiteral("INSERT INTO VOUCHERVND (CDCLIENTE, CDCONSUMIDOR, CDCAMPANHA, IDUTIVOUCHER, VRPTOVOUCHER, DTVALVOUCHER) "
                        "VALUES ('CLI1', 'CONS1', 'VOU', 'N', 50, :P1)"),
         {QDate::currentDate().addDays(30)});
}

using testsupport::def;

Redemption::Redemption(const QList<Gift>& gifts, const QString& receipt, const QString& counter)
{
    const FieldType S = FieldType::String, F = FieldType::Float;
    venda.fieldDefs() = {def("CDFILIAL", S, 4), def("CDPRODUTO", S, 10), def("QTPRODCOMVEN", F), def("VRPRECCOMVEN", F),
                         def("VRDESCCOMVEN", F), def("CDARVPROD", S, 20), def("NMPRODUTO", S, 50),
                         def("NRCUPOMFIS", FieldType::FixedChar, 10), def("CDOPERADOR", S, 12), def("CDLOJA", S, 10),
                         def("IDTPIMPOSFIS", S, 1), def("CDIMPOSTO", S, 2), def("VRPEALIMPFIS", S, 100),
                         def("NMOPERADOR", S, 50), def("NMCONSVEND", S, 50), def("NRINSCRCONS", S, 20), def("NRSEQ", S, 3),
                         def("CDPRODPROMOCAO", S, 20), def("NRCONTCUPOMFISC", S, 10), def("CDORDALIQIMPR", S, 5),
                         def("VRALIQIMPR", F), def("DSENDEVENDA", S, 60), def("VRACRCOMVEN", F), def("CDCLIENTE", S, 21),
                         def("CDCONSUMIDOR", S, 21), def("CDPRODIMPFIS", S, 20), def("CDLOJAIT", S, 10)};
    venda.createDataSet();
    // The screen inserts each row before the current one: the last gift ends up first.
    for (int i = int(gifts.size()) - 1; i >= 0; --i) {
        const Gift& g = gifts[i];
        const bool last = i == gifts.size() - 1;
        venda.appendRecord({QStringLiteral("0001"), g.product, 1.0, g.price, last ? g.price - 0.01 : g.price,
                            QStringLiteral("01.") + g.product, QStringLiteral("Brinde ") + g.product, receipt,
                            QStringLiteral("OP1"), QStringLiteral("L1"), QStringLiteral("T"), QStringLiteral("01"),
                            QStringLiteral("18"), QStringLiteral("Operador Um"), QStringLiteral("Maria"),
                            QStringLiteral("12345678909"), QString::number(i + 1).rightJustified(3, QLatin1Char('0')),
                            g.product, counter, QStringLiteral("T01"), 18.0, QStringLiteral("Rua A, 1"), 0.0,
                            QStringLiteral("CLI1"), QStringLiteral("CONS1"), QStringLiteral("789000000000") + QString::number(i),
                            QStringLiteral("L1")});
    }

    movCaixa.fieldDefs() = {def("CDFILIAL", S, 4), def("NRSEQUMOVI", S, 10), def("IDTIPOMOVIVE", S, 1),
                            def("NRSEQVENDA", S, 10), def("CDTIPORECE", S, 3), def("DTHRINCMOV", FieldType::DateTime),
                            def("VRMOVIVEND", F), def("NMTIPORECE", S, 40), def("CDCLIENTE", S, 21),
                            def("CDCONSUMIDOR", S, 21), def("DTMOVIMCAIXA", FieldType::Date), def("IDTIPORECE", S, 1)};
    movCaixa.createDataSet();
    movCaixa.appendRecord({QStringLiteral("0001"), QVariant(), QStringLiteral("E"), QVariant(), QStringLiteral("FID"),
                           QDateTime::currentDateTime(), 0.01, QStringLiteral("Fidelidade"), QStringLiteral("CLI1"),
                           QStringLiteral("CONS1"), QDate::currentDate(), QStringLiteral("4")});

    brinde.fieldDefs() = {def("CDFILIAL", S, 4), def("CDCLIENTE", S, 21), def("CDCAMPANHA", S, 10), def("CDPRODUTO", S, 10),
                          def("VRPONTOBRINDE", F), def("CDARVPROD", S, 20), def("NMPRODUTO", S, 50), def("SGUNIDADE", S, 10),
                          def("VRPRECITEM", F), def("VRPEALIMPFIS", F), def("CDIMPOSTO", S, 2), def("IDTPIMPOSFIS", S, 1),
                          def("CDPRODIMPFIS", S, 20), def("IDUTILVOUCHER", S, 1)};
    brinde.createDataSet();
    for (const Gift& g : gifts) {
        brinde.appendRecord({QStringLiteral("0001"), QStringLiteral("CLI1"), g.campaign, g.product, g.points,
                             QStringLiteral("01.") + g.product, QStringLiteral("Brinde ") + g.product,
                             QStringLiteral("UN"), g.price, 18.0, QStringLiteral("01"), QStringLiteral("T"),
                             QStringLiteral("7890000000000"), g.voucherFlag});
    }
}

void Redemption::setAll(platform::ClientDataSet& ds, const QString& field, const QVariant& value)
{
    for (ds.first(); !ds.eof(); ds.next()) {
        ds.edit();
        ds.fieldByName(field).setValue(value);
        ds.post();
    }
}

QList<platform::ClientDataSet*> Redemption::dataSets()
{
    return hostapi::ArgumentBlock<ConcluiDataSets, platform::ClientDataSet*>(
               &vazio, {{ConcluiDataSets::Venda, &venda}, {ConcluiDataSets::MovCaixa, &movCaixa}, {ConcluiDataSets::Brinde, &brinde}})
        .values();
}

QVariantList closeOutBlock(const QString& docType, const QString& receipt, const QString& nfceNumber,
                           const QString& nfceSeries, const QString& emission)
{
    return hostapi::ArgumentBlock<Conclui>(
               QString(), {{Conclui::CdCaixa, QStringLiteral("003")},
                           {Conclui::DtAberCaix, QDateTime(QDate::currentDate(), QTime(8, 0))},
                           {Conclui::CdEmpresa, QStringLiteral("01")}, {Conclui::CupNr, receipt},
                           {Conclui::ContCupom, QStringLiteral("000045")},
                           {Conclui::CdFilial, QStringLiteral("0001")}, {Conclui::CdLoja, QStringLiteral("L1")},
                           {Conclui::Fixo11, QStringLiteral("POS")}, {Conclui::NrNfce, nfceNumber},
                           {Conclui::NrSerieImp, QStringLiteral("SERIE-ECF-1")}, {Conclui::TipoImpFis, 1},
                           {Conclui::DtMovimento, QDateTime(QDate::currentDate(), QTime(0, 0))},
                           {Conclui::SgEstadoFili, QStringLiteral("SP")}, {Conclui::Fixo30, QStringLiteral("R")},
                           {Conclui::Fixo32, QStringLiteral("BAL_QVN")}, {Conclui::DataEmissNfce, emission},
                           {Conclui::IdAmbTrabNfce, QStringLiteral("2")}, {Conclui::NrSerieNfce, nfceSeries},
                           {Conclui::TipoDocumento, docType}, {Conclui::Reservado41, 0}})
        .values();
}

QVariantList alterBlock(const QString& seq)
{
    return hostapi::ArgumentBlock<AlteraCan>(QString(), {{AlteraCan::NrSeqVenda, seq},
                                                         {AlteraCan::CdFilial, QStringLiteral("0001")},
                                                         {AlteraCan::CdCaixa, QStringLiteral("003")},
                                                         {AlteraCan::DtMovimento, QDateTime(QDate::currentDate(), QTime(0, 0))},
                                                         {AlteraCan::Fixo7, QStringLiteral("SAT")}})
        .values();
}

void SaleServicesTest::SetUp()
{
    db = TestDatabase::create(GetParam());
    if (!db)
        GTEST_SKIP() << "VAK_PG_CONNSTR not set";
    possvc::sim::resetConfig();
    possvc::sim::config().branch = QStringLiteral("0001");  // the fiscal identity of the test's sales
    possvc::sim::config().cashRegister = QStringLiteral("003");
    possvc::sim::setSatDirectory(satDir.path());
    possvc::sim::installSaleServices();
    const QString text = db->connectionString();
    possvc::sim::setSaleConnectionSource([text] { return text; });
    possvc::sim::prepareScreen();  // a new screen: no sale concluded under it yet
}

void SaleServicesTest::TearDown()
{
    possvc::sim::closeSaleConnection();
    possvc::sim::setSatDirectory(QString());
}

double SaleServicesTest::points(const QString& campaign)
{
    auto c = db->open();
    return possvc::db::balances(*c, QStringLiteral("CLI1"), QStringLiteral("CONS1"), QDate::currentDate()).value(campaign).points;
}

double SaleServicesTest::vouchers(const QString& campaign)
{
    auto c = db->open();
    return possvc::db::balances(*c, QStringLiteral("CLI1"), QStringLiteral("CONS1"), QDate::currentDate()).value(campaign).vouchers;
}

QString SaleServicesTest::situation(const QString& seq)
{
    return db->scalar(QStringLiteral("SELECT IDSITUVENDA FROM VENDA WHERE CDFILIAL = '0001' AND CDCAIXA = '003' "
                                     "AND NRSEQVENDA = :P1"),
                      {seq})
        .toString();
}

QVariantList SaleServicesTest::includeBlock(const platform::ClientDataSet& venda)
{
    platform::ClientDataSet cancelled;
    return hostapi::ArgumentBlock<VendaCan>(QString(), {{VendaCan::Venda, venda.data()},
                                                        {VendaCan::VendaCancelada, cancelled.data()},
                                                        {VendaCan::CdCaixa, QStringLiteral("003")},
                                                        {VendaCan::CdEmpresa, QStringLiteral("01")},
                                                        {VendaCan::NrSerieImp, QStringLiteral("SERIE-ECF-1")},
                                                        {VendaCan::DsModeloEcf, QStringLiteral("MODELO")},
                                                        {VendaCan::DsMarcaEcf, QStringLiteral("MARCA")},
                                                        {VendaCan::EcfImp, QStringLiteral("ECF1")},
                                                        {VendaCan::DtMovimento, QDateTime(QDate::currentDate(), QTime(0, 0))}})
        .values();
}

}  // namespace saletest
