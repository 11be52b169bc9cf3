#pragma once
// The shop data generator: a demo shop (tens of consumers, every loyalty situation the
// screen meets), a large shop (100,000 consumers, over 5 million point movements,
// 200,000 products) or a chain (50 branches, 1,000,000 consumers, 20 million point
// movements, 200,000 products, 500 campaigns) for the benchmarks, generated
// deterministically from a seed and a reference day (dates of credits, vouchers and price
// tables are relative to it).
//
// All shops share these codes, which terminal files and scripts can rely on:
//   branches "0001" (tax rows for every product), "0002" (tax rows for all but the
//   "Utilidades" branch of the tree), "0003" (no tax rows); shop "0001" in every branch;
//   registers "001" and "002"; tax rates (VRPEALIMPFIS, IDTPIMPOSFIS) 18/T, 12/T, 7/T,
//   0/F and 0/I.
// Demo shop: client "000001" with consumer "00000000001" (balance 120 in campaign
// "FID2026", vouchers 60 in "NATAL26"), consumer "00000000002" (negative balance -30 in
// "FID2026"), consumer "00000000003" (only expired credits: no campaign row); the campaigns
// "FID2026", "NATAL26" (vouchers), "CLUBE" and "VERAO25" (credits all expired).
// Price tables: "PADRAO" (the default of branches 0001 and 0002, current), "LOJA0001"
// (shop 0001 of branch 0001, current), "LOJAEXP" (shop 0001 of branch 0002, expired),
// "CLIVIP" (client 000002, current), "CLIEXP" (client 000003, expired). Product "0302002"
// has no price, "0202002" costs 0, "0102002" is blocked.
//
// Throws what the sink throws.

#include "tools/shopgen/Sink.h"

#include <QDate>


namespace shopgen {

enum class ShopSize { Demo, Large, Chain };

struct ShopOptions {
    ShopSize size = ShopSize::Demo;
    quint64 seed = 1;
    QDate today = QDate::currentDate();
};

// Creates the tables of `scriptName` ("sqlite", "postgresql", ...). With `replace`, the
// shop tables that exist are dropped first; without it, existing shop tables are an
// error (platform::Error naming them). Indexes are created by createIndexes, after the
// rows are in.
void createTables(Sink& sink, const QString& scriptName, bool replace);
void createIndexes(Sink& sink, const QString& scriptName);

// Progress goes to the sink's progress reports (Sink::setProgress).
void generateShop(Sink& sink, const ShopOptions& options);

// The parts of the shops. Branches 0001 to 0003 as above, then branches up to `filiais`
// with a shop and two registers each.
void writeStores(Sink& sink, int filiais);
void writeDemoShop(Sink& sink, const ShopOptions& options);
// The large shop or the chain (options.size), its branches included.
void writeLargeShop(Sink& sink, const ShopOptions& options);
// Only the chain's branches, clients and its 1,000,000 consumers (for the consumer list's
// benchmarks).
void writeChainConsumers(Sink& sink, const ShopOptions& options);

}  // namespace shopgen
