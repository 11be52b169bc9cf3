#pragma once
// The statements of the loyalty data module. The gift catalogue and the campaign
// balances come in three dialects: the Oracle text (also the query's own text), the
// SQL Server text, and an ANSI text for SQLite and PostgreSQL that returns the same rows.
// The balance texts are shared with the host's sale close-out (loyaltysql/).

#include "loyaltysql/BalanceSql.h"
#include "platform/db/Connection.h"

#include <QString>

namespace Srv_Vak04100::sql {

// Consumers with the trade name of their client, ordered by consumer code.
extern const QString consumidor;

// Points balance per campaign of :P_CDCLIENTE / :P_CDCONSUMIDOR on :P_DATAHOJE.
using loyaltysql::saldoConsCampAnsi;
using loyaltysql::saldoConsCampMsSql;
using loyaltysql::saldoConsCampOracle;

// Gift catalogue of :P_CDCAMPANHA at :P_CDFILIAL.
extern const QString brindeOracle;
extern const QString brindeMsSql;
// The ANSI text replaces the LIKE prefix join by a range on the indexed product-tree
// position: every position p with prefix b satisfies b <= p < b || :P_FIMARVPROD, where
// :P_FIMARVPROD (fimArvProd) is above every text that may follow b in a position.
// Positions compare byte by byte (BINARY collation on SQLite, "C" collation on
// PostgreSQL), so the range holds exactly the positions that begin with b, and no LIKE
// wildcard in a position can widen it.
extern const QString brindeAnsi;
inline constexpr char32_t kFimArvProd = 0x10FFFF;  // the highest character of UTF-8
inline constexpr int kLarguraArvProd = 20;         // PRODUTO.CDARVPROD's width

// The value of :P_FIMARVPROD on this connection, made only of characters its database
// holds: U+10FFFF where the database keeps UTF-8 (SQLite; PostgreSQL in UTF8 or
// SQL_ASCII), which no Windows-1252 text contains; on a single-byte encoding (WIN1252,
// LATIN1, ...) the encoding's highest character, which a position may itself contain, so
// repeated more times than a position has characters. Asks a PostgreSQL server for its
// encoding; throws platform::DatabaseError when it cannot.
QString fimArvProd(platform::db::Connection& conexao);

// NOVOCODIGO: lookup of one counter by key, and the insert of a marker row.
extern const QString cupomInicial;   // adqCupomInicial
extern const QString pesqNumNFCe;    // adqPesqNumNFCe (the same lookup, WHERE on one line)
extern const QString insNovoCodigo;  // acmInsCupomInicial, acmInsNumeroNFCePri

// INUTILIZANFCE: an NFC-e number recorded for voiding.
extern const QString insInutilizaNFCe;

}  // namespace Srv_Vak04100::sql
