#include "tools/shopgen/Generator.h"

#include "platform/Error.h"
#include "tools/shopgen/Schema.h"
#include "tools/shopgen/ShopData.h"

namespace shopgen {

namespace {

bool isIndex(const QString& statement)
{
    return statement.startsWith(QLatin1String("CREATE INDEX"), Qt::CaseInsensitive)
           || statement.startsWith(QLatin1String("CREATE UNIQUE INDEX"), Qt::CaseInsensitive);
}

}  // namespace

void createTables(Sink& sink, const QString& scriptName, bool replace)
{
    const QString script = schemaScript(scriptName);
    QStringList present;
    const QStringList existing = sink.existingTables();
    for (const QString& table : tablesOf(script))
        if (existing.contains(table, Qt::CaseInsensitive))
            present << table;
    if (!present.isEmpty()) {
        if (!replace)
            throw platform::Error(QStringLiteral("The database already has shop tables (%1); "
                                                 "use --replace to drop them and generate the shop again")
                                      .arg(present.join(QStringLiteral(", "))));
        std::reverse(present.begin(), present.end());
        for (const QString& table : present)
            sink.execute(QStringLiteral("DROP TABLE ") + table);
    }
    for (const QString& statement : splitStatements(script))
        if (!isIndex(statement))
            sink.execute(statement);
}

void createIndexes(Sink& sink, const QString& scriptName)
{
    for (const QString& statement : splitStatements(schemaScript(scriptName)))
        if (isIndex(statement))
            sink.execute(statement);
}

void writeStores(Sink& sink)
{
    sink.begin(QStringLiteral("FILIAL"), {"CDFILIAL", "NMFILIAL", "SGESTADO", "NRINSJURFILI", "CDTABPRECO"});
    sink.row({QStringLiteral("0001"), QStringLiteral("Filial São Paulo"), QStringLiteral("SP"),
              QStringLiteral("11222333000181"), QStringLiteral("PADRAO")});
    sink.row({QStringLiteral("0002"), QStringLiteral("Filial Rio de Janeiro"), QStringLiteral("RJ"),
              QStringLiteral("11222333000262"), QStringLiteral("PADRAO")});
    sink.row({QStringLiteral("0003"), QStringLiteral("Filial Belo Horizonte"), QStringLiteral("MG"),
              QStringLiteral("11222333000343"), QVariant()});
    sink.end();

    sink.begin(QStringLiteral("LOJA"), {"CDFILIAL", "CDLOJA", "NMLOJA", "CDTABPRECO"});
    sink.row({QStringLiteral("0001"), QStringLiteral("0001"), QStringLiteral("Loja Centro"), QStringLiteral("LOJA0001")});
    sink.row({QStringLiteral("0002"), QStringLiteral("0001"), QStringLiteral("Loja Copacabana"), QStringLiteral("LOJAEXP")});
    sink.row({QStringLiteral("0003"), QStringLiteral("0001"), QStringLiteral("Loja Savassi"), QVariant()});
    sink.end();

    sink.begin(QStringLiteral("CAIXA"), {"CDFILIAL", "CDCAIXA", "NMCAIXA", "CDLOJA"});
    for (const char* filial : {"0001", "0002", "0003"})
        for (const char* caixa : {"001", "002"})
            sink.row({QString::fromLatin1(filial), QString::fromLatin1(caixa),
                      QStringLiteral("Caixa ") + QString::fromLatin1(caixa), QStringLiteral("0001")});
    sink.end();
}

void generateShop(Sink& sink, const ShopOptions& options, const Progress& progress)
{
    writeStores(sink);
    if (options.size == ShopSize::Demo)
        writeDemoShop(sink, options);
    else
        writeLargeShop(sink, options, progress);
}

}  // namespace shopgen
