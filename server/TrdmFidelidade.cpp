#include "server/TrdmFidelidade.h"

#include "hostapi/hostkit.h"
#include "server/FidelidadeSql.h"

using platform::FieldDef;
using platform::FieldType;
using platform::db::Command;
using platform::db::Connection;
using platform::db::Query;

namespace Srv_Vak04100 {

namespace {

// Every parameter is text unless declared otherwise; naming them here makes the
// statement fail early (at construction) if a text and its parameters drift apart.
void declaraTextos(platform::db::Statement* s, const QStringList& names)
{
    for (const QString& name : names)
        s->declareParam(name, FieldType::String);
}

}  // namespace

TrdmFidelidade::TrdmFidelidade(QObject* owner) : QObject(owner)
{
    setObjectName(QStringLiteral("rdmFidelidade"));
    criaConexao();
    criaContadores();
    criaConsultas();
}

TrdmFidelidade::~TrdmFidelidade()
{
    // Queries first, so that no open result outlives the connection it reads from.
    for (Query* q : {adqCupomInicial, adqConsumidor, adqSaldoConsCamp, adqBrinde, adqPesqNumNFCe})
        q->close();
    adcFidelidade->close();
}

void TrdmFidelidade::criaConexao()
{
    // The design-time provider; the host's string replaces it at every connect.
    adcFidelidade = new Connection(QStringLiteral("Provider=MSDAORA.1"), this);
    adcFidelidade->setObjectName(QStringLiteral("adcFidelidade"));
    adcFidelidade->setBeforeConnect([](Connection& c) {
        c.setConnectionString(hostkit::GetStringConexQvn(QString()));
    });
    adcFidelidade->setAfterConnect([](Connection& c) { hostkit::SetADODBSession(&c); });
}

void TrdmFidelidade::criaContadores()
{
    acmInsCupomInicial = new Command(adcFidelidade, this);
    acmInsCupomInicial->setObjectName(QStringLiteral("acmInsCupomInicial"));
    acmInsCupomInicial->setSql(sql::insNovoCodigo);
    acmInsCupomInicial->setCommandTimeout(0);
    declaraTextos(acmInsCupomInicial, {QStringLiteral("P_CDCONTADOR"), QStringLiteral("P_NRSEQUENCIAL")});

    adqCupomInicial = new Query(adcFidelidade, this);
    adqCupomInicial->setObjectName(QStringLiteral("adqCupomInicial"));
    adqCupomInicial->setSql(sql::cupomInicial);
    adqCupomInicial->setFieldDefs({FieldDef::text(QStringLiteral("NRSEQUENCIAL"), 20)});
    declaraTextos(adqCupomInicial, {QStringLiteral("P_CDCONTADOR")});

    adqPesqNumNFCe = new Query(adcFidelidade, this);
    adqPesqNumNFCe->setObjectName(QStringLiteral("adqPesqNumNFCe"));
    adqPesqNumNFCe->setSql(sql::pesqNumNFCe);
    adqPesqNumNFCe->setFieldDefs({FieldDef::text(QStringLiteral("NRSEQUENCIAL"), 9)});
    declaraTextos(adqPesqNumNFCe, {QStringLiteral("P_CDCONTADOR")});

    acmInsNumeroNFCePri = new Command(adcFidelidade, this);
    acmInsNumeroNFCePri->setObjectName(QStringLiteral("acmInsNumeroNFCePri"));
    acmInsNumeroNFCePri->setSql(sql::insNovoCodigo);
    acmInsNumeroNFCePri->setCommandTimeout(0);
    declaraTextos(acmInsNumeroNFCePri, {QStringLiteral("P_CDCONTADOR"), QStringLiteral("P_NRSEQUENCIAL")});

    acmInsInutilizaNFCe = new Command(adcFidelidade, this);
    acmInsInutilizaNFCe->setObjectName(QStringLiteral("acmInsInutilizaNFCe"));
    acmInsInutilizaNFCe->setSql(sql::insInutilizaNFCe);
    acmInsInutilizaNFCe->setCommandTimeout(0);
    declaraTextos(acmInsInutilizaNFCe,
                  {QStringLiteral("CDFILIAL"), QStringLiteral("CDCAIXA"), QStringLiteral("NRNOTAFISCALCE"),
                   QStringLiteral("CDSERIENFCE"), QStringLiteral("IDTPAMBNFCE"), QStringLiteral("IDSTATUSNFCE")});
    acmInsInutilizaNFCe->declareParam(QStringLiteral("DTENTRVENDA"), FieldType::DateTime);
}

void TrdmFidelidade::criaConsultas()
{
    adqConsumidor = new Query(adcFidelidade, this);
    adqConsumidor->setObjectName(QStringLiteral("adqConsumidor"));
    adqConsumidor->setSql(sql::consumidor);
    adqConsumidor->setFieldDefs({
        FieldDef::text(QStringLiteral("CDCONSUMIDOR"), 21).labelled(QStringLiteral("Código do Consumidor"), 25),
        FieldDef::text(QStringLiteral("NMCONSUMIDOR"), 50).labelled(QStringLiteral("Nome do Consumidor"), 30),
        FieldDef::text(QStringLiteral("CDIDCONSUMID"), 21).labelled(QStringLiteral("Crachá")),
        FieldDef::text(QStringLiteral("CDCLIENTE"), 21).labelled(QStringLiteral("Código do Cliente"), 25),
        FieldDef::text(QStringLiteral("NMFANTCLIE"), 50).labelled(QStringLiteral("Nome Fantasia")),
        FieldDef::text(QStringLiteral("NRCPFRESPCON"), 11).invisible(),
        FieldDef::text(QStringLiteral("DSENDECONS"), 50).invisible(),
    });
    dspConsumidor.setQuery(adqConsumidor);

    adqSaldoConsCamp = new Query(adcFidelidade, this);
    adqSaldoConsCamp->setObjectName(QStringLiteral("adqSaldoConsCamp"));
    adqSaldoConsCamp->setSql(sql::saldoConsCampOracle);
    adqSaldoConsCamp->setFieldDefs({
        FieldDef::text(QStringLiteral("CDCAMPANHA"), 10),
        FieldDef::text(QStringLiteral("CDCLIENTE"), 21),
        FieldDef::text(QStringLiteral("CDCONSUMIDOR"), 21),
        FieldDef::text(QStringLiteral("DSCAMPANHA"), 40),
        FieldDef::number(QStringLiteral("VRSALDOCONS")),
        FieldDef::number(QStringLiteral("VRRESTANTE")),
        FieldDef::number(QStringLiteral("VRPTOVOUCHER")),
        FieldDef::text(QStringLiteral("IDUTILVOUCHER"), 1),
    });
    declaraTextos(adqSaldoConsCamp, {QStringLiteral("P_CDCLIENTE"), QStringLiteral("P_CDCONSUMIDOR")});
    adqSaldoConsCamp->declareParam(QStringLiteral("P_DATAHOJE"), FieldType::DateTime);
    dspSaldoConsCamp.setQuery(adqSaldoConsCamp);

    adqBrinde = new Query(adcFidelidade, this);
    adqBrinde->setObjectName(QStringLiteral("adqBrinde"));
    adqBrinde->setSql(sql::brindeOracle);
    adqBrinde->setFieldDefs({
        FieldDef::text(QStringLiteral("CDCAMPANHA"), 10),
        FieldDef::text(QStringLiteral("CDPRODUTO"), 10),
        FieldDef::number(QStringLiteral("VRPONTOBRINDE")),
        FieldDef::text(QStringLiteral("CDARVPROD"), 20),
        FieldDef::text(QStringLiteral("NMPRODUTO"), 50),
        FieldDef::text(QStringLiteral("SGUNIDADE"), 10),
        FieldDef::number(QStringLiteral("VRPRECITEM")),
        FieldDef::number(QStringLiteral("VRPEALIMPFIS")),
        FieldDef::text(QStringLiteral("CDIMPOSTO"), 2),
        FieldDef::text(QStringLiteral("IDTPIMPOSFIS"), 1),
        FieldDef::text(QStringLiteral("CDPRODIMPFIS"), 20),
    });
    declaraTextos(adqBrinde, {QStringLiteral("P_CDCAMPANHA"), QStringLiteral("P_CDFILIAL")});
    dspBrinde.setQuery(adqBrinde);

    assBrinde = new hostkit::TADOSqlStorage(this);
    assBrinde->setObjectName(QStringLiteral("assBrinde"));
    assBrinde->setSQLORACLE(sql::brindeOracle);
    assBrinde->setSQLMSSQL(sql::brindeMsSql);
    assBrinde->setSQLANSI(sql::brindeAnsi);
    assBrinde->setADOQuery(adqBrinde);

    assSaldoConsCamp = new hostkit::TADOSqlStorage(this);
    assSaldoConsCamp->setObjectName(QStringLiteral("assSaldoConsCamp"));
    assSaldoConsCamp->setSQLORACLE(sql::saldoConsCampOracle);
    assSaldoConsCamp->setSQLMSSQL(sql::saldoConsCampMsSql);
    assSaldoConsCamp->setSQLANSI(sql::saldoConsCampAnsi);
    assSaldoConsCamp->setADOQuery(adqSaldoConsCamp);
}

}  // namespace Srv_Vak04100
