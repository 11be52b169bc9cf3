// The data service's own statements, compiled into this library so that the close-out
// re-checks a consumer's balance with exactly the text the screen's balances come from.
// They are compiled under a namespace of this library's own: the module carries the
// same definitions, and a host library must never define a symbol the module defines
// (two definitions of one global in one process).
#include "platform/db/ConnectionString.h"

#define Srv_Vak04100 possvc_statements
#include "server/FidelidadeSql.cpp"
#undef Srv_Vak04100

namespace possvc::db {

QString balanceStatement(platform::db::Dialect dialect)
{
    namespace sql = possvc_statements::sql;
    switch (dialect) {
    case platform::db::Dialect::Oracle: return sql::saldoConsCampOracle;
    case platform::db::Dialect::MsSql: return sql::saldoConsCampMsSql;
    default: return sql::saldoConsCampAnsi;
    }
}

}  // namespace possvc::db
