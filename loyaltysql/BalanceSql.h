#pragma once
// The statements that the loyalty module and the host libraries both run. A consumer's
// points balance per campaign is computed by the module's data service (the screen's
// balances) and again by the host's sale close-out (the re-check inside the close-out's
// transaction): both run this one text, so they can never disagree.
//
// Three dialects: the Oracle text (also the module's query text), the SQL Server text,
// and an ANSI text for SQLite and PostgreSQL that returns the same rows. Parameters:
// :P_CDCLIENTE, :P_CDCONSUMIDOR, :P_DATAHOJE.
//
// A static library compiled with hidden visibility: each binary that links it keeps its
// own private copy, so no two libraries of one process define the same symbol.

#include "platform/db/ConnectionString.h"

#include <QString>

namespace loyaltysql {

extern const QString saldoConsCampOracle;
extern const QString saldoConsCampMsSql;
extern const QString saldoConsCampAnsi;

// The text for a connection's dialect.
QString saldoConsCamp(platform::db::Dialect dialect);

}  // namespace loyaltysql
