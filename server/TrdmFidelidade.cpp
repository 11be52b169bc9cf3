#include "server/TrdmFidelidade.h"

#include "hostapi/hostkit.h"
#include "server/FidelidadeSql.h"

#include <initializer_list>

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

QStringList nomes(std::initializer_list<const char*> lista)
{
    QStringList n;
    for (const char* nome : lista)
        n << QString::fromLatin1(nome);
    return n;
}

// A command of the data module, with its text parameters; it waits as long as the
// database takes.
Command* novoComando(Connection* c, QObject* owner, const char* nome, const QString& texto,
                     std::initializer_list<const char*> textos)
{
    auto* cmd = new Command(c, owner);
    cmd->setObjectName(QString::fromLatin1(nome));
    cmd->setSql(texto);
    cmd->setCommandTimeout(0);
    declaraTextos(cmd, nomes(textos));
    return cmd;
}

// A query of the data module, with its result fields and its text parameters.
Query* novaConsulta(Connection* c, QObject* owner, const char* nome, const QString& texto,
                    const platform::FieldDefs& campos, std::initializer_list<const char*> textos)
{
    auto* q = new Query(c, owner);
    q->setObjectName(QString::fromLatin1(nome));
    q->setSql(texto);
    q->setFieldDefs(campos);
    declaraTextos(q, nomes(textos));
    return q;
}

// The Oracle and SQL Server texts of a query, the one for the connection's database
// installed by the host's store as the query opens. The text for the other engines is the
// data service's own (see lePacoteDialeto).
hostkit::TADOSqlStorage* novoArmazem(QObject* owner, const char* nome, const QString& oracle, const QString& msSql,
                                     Query* consulta)
{
    auto* a = new hostkit::TADOSqlStorage(owner);
    a->setObjectName(QString::fromLatin1(nome));
    a->setSQLORACLE(oracle);
    a->setSQLMSSQL(msSql);
    a->setADOQuery(consulta);
    return a;
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
    adcFidelidade->setBeforeConnect([this](Connection& c) {
        fimArvProd.clear();
        c.setConnectionString(hostkit::GetStringConexQvn(QString()));
    });
    adcFidelidade->setAfterConnect([](Connection& c) { hostkit::SetADODBSession(&c); });
}

void TrdmFidelidade::criaContadores()
{
    acmInsCupomInicial = novoComando(adcFidelidade, this, "acmInsCupomInicial", sql::insNovoCodigo,
                                     {"P_CDCONTADOR", "P_NRSEQUENCIAL"});
    adqCupomInicial = novaConsulta(adcFidelidade, this, "adqCupomInicial", sql::cupomInicial,
                                   {FieldDef::text(QStringLiteral("NRSEQUENCIAL"), 20)}, {"P_CDCONTADOR"});
    adqPesqNumNFCe = novaConsulta(adcFidelidade, this, "adqPesqNumNFCe", sql::pesqNumNFCe,
                                  {FieldDef::text(QStringLiteral("NRSEQUENCIAL"), 9)}, {"P_CDCONTADOR"});
    acmInsNumeroNFCePri = novoComando(adcFidelidade, this, "acmInsNumeroNFCePri", sql::insNovoCodigo,
                                      {"P_CDCONTADOR", "P_NRSEQUENCIAL"});
    acmInsInutilizaNFCe =
        novoComando(adcFidelidade, this, "acmInsInutilizaNFCe", sql::insInutilizaNFCe,
                    {"CDFILIAL", "CDCAIXA", "NRNOTAFISCALCE", "CDSERIENFCE", "IDTPAMBNFCE", "IDSTATUSNFCE"});
    acmInsInutilizaNFCe->declareParam(QStringLiteral("DTENTRVENDA"), FieldType::DateTime);
}

void TrdmFidelidade::criaConsultas()
{
    const platform::FieldDefs consumidor{
        FieldDef::text(QStringLiteral("CDCONSUMIDOR"), 21).labelled(QStringLiteral("Código do Consumidor"), 25),
        FieldDef::text(QStringLiteral("NMCONSUMIDOR"), 50).labelled(QStringLiteral("Nome do Consumidor"), 30),
        FieldDef::text(QStringLiteral("CDIDCONSUMID"), 21).labelled(QStringLiteral("Crachá")),
        FieldDef::text(QStringLiteral("CDCLIENTE"), 21).labelled(QStringLiteral("Código do Cliente"), 25),
        FieldDef::text(QStringLiteral("NMFANTCLIE"), 50).labelled(QStringLiteral("Nome Fantasia")),
        FieldDef::text(QStringLiteral("NRCPFRESPCON"), 11).invisible(),
        FieldDef::text(QStringLiteral("DSENDECONS"), 50).invisible(),
    };
    adqConsumidor = novaConsulta(adcFidelidade, this, "adqConsumidor", sql::consumidor, consumidor, {});
    dspConsumidor.setQuery(adqConsumidor);

    adqSaldoConsCamp = novaConsulta(adcFidelidade, this, "adqSaldoConsCamp", sql::saldoConsCampOracle,
                                    {
                                        FieldDef::text(QStringLiteral("CDCAMPANHA"), 10),
                                        FieldDef::text(QStringLiteral("CDCLIENTE"), 21),
                                        FieldDef::text(QStringLiteral("CDCONSUMIDOR"), 21),
                                        FieldDef::text(QStringLiteral("DSCAMPANHA"), 40),
                                        FieldDef::number(QStringLiteral("VRSALDOCONS")),
                                        FieldDef::number(QStringLiteral("VRRESTANTE")),
                                        FieldDef::number(QStringLiteral("VRPTOVOUCHER")),
                                        FieldDef::text(QStringLiteral("IDUTILVOUCHER"), 1),
                                    },
                                    {"P_CDCLIENTE", "P_CDCONSUMIDOR"});
    adqSaldoConsCamp->declareParam(QStringLiteral("P_DATAHOJE"), FieldType::DateTime);
    dspSaldoConsCamp.setQuery(adqSaldoConsCamp);

    adqBrinde = novaConsulta(adcFidelidade, this, "adqBrinde", sql::brindeOracle,
                             {
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
                             },
                             {"P_CDCAMPANHA", "P_CDFILIAL"});
    dspBrinde.setQuery(adqBrinde);

    assBrinde = novoArmazem(this, "assBrinde", sql::brindeOracle, sql::brindeMsSql, adqBrinde);
    assSaldoConsCamp = novoArmazem(this, "assSaldoConsCamp", sql::saldoConsCampOracle, sql::saldoConsCampMsSql,
                                   adqSaldoConsCamp);
}

}  // namespace Srv_Vak04100
