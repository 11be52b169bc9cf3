#pragma once
// TrdmFidelidade: the loyalty data module. Holds the database connection and every
// query, command, provider and SQL-variant store of the loyalty screen; the data-service
// functions (Srv_Vak04100.h) reach it through the module-level variable rdmFidelidade.
//
// Owns all its components; releasing the module closes its queries and its connection.
// The connection takes its string from hostkit's GetStringConexQvn before connecting and
// is prepared by hostkit's SetADODBSession after; opening it (adcFidelidade->open())
// throws platform::DatabaseError when either step or the connection itself fails.

#include "platform/db/Connection.h"
#include "platform/db/Provider.h"
#include "platform/db/Query.h"

#include <QObject>
#include <QSet>

namespace hostkit {
class TADOSqlStorage;
}

namespace Srv_Vak04100 {

class TrdmFidelidade : public QObject {
    Q_OBJECT
public:
    explicit TrdmFidelidade(QObject* owner = nullptr);
    ~TrdmFidelidade() override;

    // Components, in the order of the module's layout.
    platform::db::Connection* adcFidelidade = nullptr;
    platform::db::Command* acmInsCupomInicial = nullptr;
    platform::db::Query* adqCupomInicial = nullptr;
    platform::db::Query* adqConsumidor = nullptr;
    platform::db::Provider dspConsumidor;
    platform::db::Query* adqSaldoConsCamp = nullptr;
    platform::db::Provider dspSaldoConsCamp;
    platform::db::Query* adqBrinde = nullptr;
    platform::db::Provider dspBrinde;
    hostkit::TADOSqlStorage* assBrinde = nullptr;
    hostkit::TADOSqlStorage* assSaldoConsCamp = nullptr;
    platform::db::Query* adqPesqNumNFCe = nullptr;
    platform::db::Command* acmInsNumeroNFCePri = nullptr;
    platform::db::Command* acmInsInutilizaNFCe = nullptr;

    // Keys of the first-of-day markers known to be stored, looked up no more while the
    // module lives.
    QSet<QString> marcadoresGravados;
    // The catalogue's range end on this connection (FidelidadeSql.h), learnt at its first
    // catalogue; forgotten at every connect, which may reach another database.
    QString fimArvProd;

private:
    void criaConexao();
    void criaContadores();
    void criaConsultas();
};

}  // namespace Srv_Vak04100
