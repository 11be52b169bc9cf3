#pragma once
// The price lookup and the fiscal product codes on the shop's database.
//
// The price tables are asked in this order: the client's own table (CLIENTE.CDTABPRECO),
// the shop's table (LOJA.CDTABPRECO), the branch's default table (FILIAL.CDTABPRECO).
// A level that names no table is passed over; so is a table that has no price for the
// product (a shop's table may price only part of the range). A table that is out of date
// stops the lookup with its level's code. The answer is the price as decimal text, or a
// refusal code:
//
//   BLOQUEADO  the product is blocked for sale (PRODUTO.IDPRODBLOQ = 'S')
//   TABENCAD   no level names a table, or a table named does not exist
//   DTCLI      the client's table is not current today (TABPRECO validity dates)
//   DTLOJ      the shop's table is not current
//   DTPAR      the branch's default table is not current
//   PRECNCAD   no table asked has a price for the product
//   PRECZERO   the first price found is zero (or negative)
//
// Throws platform::DatabaseError when a statement fails.

#include "PossvcExport.h"
#include "platform/db/Connection.h"

#include <QDate>
#include <QString>
#include <QVariantList>

namespace possvc::sim {

namespace price {
inline constexpr const char* NotRegistered = "PRECNCAD";
inline constexpr const char* NoTable = "TABENCAD";
inline constexpr const char* ClientTableNotCurrent = "DTCLI";
inline constexpr const char* DefaultTableNotCurrent = "DTPAR";
inline constexpr const char* ShopTableNotCurrent = "DTLOJ";
inline constexpr const char* Zero = "PRECZERO";
inline constexpr const char* Blocked = "BLOQUEADO";
}  // namespace price

struct PriceRequest {
    QString branch;    // CDFILIAL
    QString client;    // CDCLIENTE
    QString product;   // CDPRODUTO
    QString shop;      // CDLOJA
};

POSSVC_EXPORT QString lookUpPrice(platform::db::Connection& db, const PriceRequest& request, const QDate& today);

// The price as the module reads it back: the system's decimal separator, no grouping,
// the shortest exact form ("25,9" under a comma locale).
POSSVC_EXPORT QString priceText(double price);

// {CEST, NCM} of the product, texts; both empty when the product is unknown.
POSSVC_EXPORT QVariantList productFiscalCodes(platform::db::Connection& db, const QString& product);

}  // namespace possvc::sim
