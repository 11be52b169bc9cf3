// The statements of the loyalty data module (see FidelidadeSql.h).
// The Oracle and SQL Server texts are the shop system's own and stay exactly as they are.

#include "server/FidelidadeSql.h"

#include "platform/db/Query.h"

namespace Srv_Vak04100::sql {

const QString consumidor = QStringLiteral(R"SQL(SELECT
   O.CDCONSUMIDOR, O.NMCONSUMIDOR, O.CDIDCONSUMID, O.NRCPFRESPCON,
   O.DSENDECONS, O.CDCLIENTE, C.NMFANTCLIE
FROM
   CONSUMIDOR O, CLIENTE C
WHERE
   (C.CDCLIENTE = O.CDCLIENTE )
ORDER BY
   O.CDCONSUMIDOR)SQL");

const QString brindeOracle = QStringLiteral(R"SQL(SELECT
   B.CDCAMPANHA, P.CDPRODUTO, B.VRPONTOBRINDE, P.CDARVPROD, P.NMPRODUTO,
   P.SGUNIDADE, 0 AS VRPRECITEM, A.VRPEALIMPFIS, A.CDIMPOSTO, A.IDTPIMPOSFIS,
   P.CDBARPRODUTO AS CDPRODIMPFIS
FROM
   PRODUTO P, ALIQIMPFIS A, (SELECT B.CDCAMPANHA, B.VRPONTOBRINDE, P.CDARVPROD
                               FROM BRINDECAMPANHA B, PRODUTO P
                              WHERE (B.CDCAMPANHA = :P_CDCAMPANHA)
                                AND (B.CDPRODUTO  = P.CDPRODUTO  )) B
WHERE
   (A.CDFILIAL  = :P_CDFILIAL) AND
   (A.CDPRODUTO = P.CDPRODUTO) AND
   (P.CDARVPROD LIKE B.CDARVPROD||'%')
ORDER BY
   P.CDARVPROD)SQL");

const QString brindeMsSql = QStringLiteral(R"SQL(SELECT
   B.CDCAMPANHA, P.CDPRODUTO, B.VRPONTOBRINDE, P.CDARVPROD, P.NMPRODUTO,
   P.SGUNIDADE, 0.0 AS VRPRECITEM, A.VRPEALIMPFIS, A.CDIMPOSTO, A.IDTPIMPOSFIS,
   P.CDBARPRODUTO AS CDPRODIMPFIS
FROM
   PRODUTO P, ALIQIMPFIS A, (SELECT B.CDCAMPANHA, B.VRPONTOBRINDE, P.CDARVPROD
                               FROM BRINDECAMPANHA B, PRODUTO P
                              WHERE (B.CDCAMPANHA = :P_CDCAMPANHA)
                                AND (B.CDPRODUTO  = P.CDPRODUTO  )) B
WHERE
   (A.CDFILIAL  = :P_CDFILIAL) AND
   (A.CDPRODUTO = P.CDPRODUTO) AND
   (P.CDARVPROD LIKE B.CDARVPROD+'%')
ORDER BY
   P.CDARVPROD)SQL");

// Gift rows first (a handful), then for each the range of positions beneath it on the
// product-tree index, then the branch's tax row by key. Ties in the position are ordered by
// product and points so that the order is the same on every backend.
// The prefix is also stated as an equality on the position's first characters. It selects
// the same rows as the range; it is there for PostgreSQL's planner, which expects a ninth of
// the tree beneath each gift from a range alone and then hashes every tax row of the
// branch, where with it the tax rows are read by key, one per product found.
const QString brindeAnsi = QStringLiteral(R"SQL(SELECT
   B.CDCAMPANHA, P.CDPRODUTO, B.VRPONTOBRINDE, P.CDARVPROD, P.NMPRODUTO,
   P.SGUNIDADE, 0.0 AS VRPRECITEM, A.VRPEALIMPFIS, A.CDIMPOSTO, A.IDTPIMPOSFIS,
   P.CDBARPRODUTO AS CDPRODIMPFIS
FROM
   (SELECT G.CDCAMPANHA, G.VRPONTOBRINDE, N.CDARVPROD
      FROM BRINDECAMPANHA G
      JOIN PRODUTO N ON (N.CDPRODUTO = G.CDPRODUTO)
     WHERE (G.CDCAMPANHA = :P_CDCAMPANHA)) B
   JOIN PRODUTO P
     ON (P.CDARVPROD >= B.CDARVPROD) AND
        (P.CDARVPROD <  B.CDARVPROD || :P_FIMARVPROD) AND
        (SUBSTR(P.CDARVPROD, 1, LENGTH(B.CDARVPROD)) = B.CDARVPROD)
   JOIN ALIQIMPFIS A
     ON (A.CDFILIAL  = :P_CDFILIAL) AND
        (A.CDPRODUTO = P.CDPRODUTO)
ORDER BY
   P.CDARVPROD, P.CDPRODUTO, B.VRPONTOBRINDE)SQL");

QString fimArvProd(platform::db::Connection& conexao)
{
    const char32_t utf8 = kFimArvProd;
    if (conexao.backend() != platform::db::Backend::PostgreSQL)
        return QString::fromUcs4(&utf8, 1);
    // The character of the highest byte, as the server's own encoding reads it.
    platform::db::Query q(&conexao);
    q.setSql(QStringLiteral(
        "SELECT CASE WHEN current_setting('server_encoding') IN ('UTF8', 'SQL_ASCII') THEN '' "
        "ELSE convert_from(decode('ff', 'hex'), current_setting('server_encoding')) END"));
    q.open();
    const QString maior = q.value(0).toString();
    q.close();
    if (maior.isEmpty())
        return QString::fromUcs4(&utf8, 1);
    return maior.repeated(kLarguraArvProd + 1);
}

const QString cupomInicial = QStringLiteral(R"SQL(SELECT
   NRSEQUENCIAL
FROM
   NOVOCODIGO
WHERE
   (CDCONTADOR = :P_CDCONTADOR))SQL");

const QString pesqNumNFCe = QStringLiteral(R"SQL(SELECT
   NRSEQUENCIAL
FROM
   NOVOCODIGO
WHERE (CDCONTADOR = :P_CDCONTADOR))SQL");

const QString insNovoCodigo = QStringLiteral(R"SQL(INSERT INTO NOVOCODIGO
   (CDCONTADOR, NRSEQUENCIAL)
VALUES
   (:P_CDCONTADOR, :P_NRSEQUENCIAL))SQL");

const QString insInutilizaNFCe = QStringLiteral(R"SQL(INSERT INTO  INUTILIZANFCE
  (CDFILIAL,
   CDCAIXA,
   NRNOTAFISCALCE,
   DTENTRVENDA,
   CDSERIENFCE,
   IDTPAMBNFCE,
   IDSTATUSNFCE)
VALUES
  (:CDFILIAL,
   :CDCAIXA,
   :NRNOTAFISCALCE,
   :DTENTRVENDA,
   :CDSERIENFCE,
   :IDTPAMBNFCE,
   :IDSTATUSNFCE))SQL");

}  // namespace Srv_Vak04100::sql
