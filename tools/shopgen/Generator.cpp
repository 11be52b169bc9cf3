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
    QStringList indexes = splitStatements(schemaScript(scriptName));
    indexes.removeIf([](const QString& statement) { return !isIndex(statement); });
    for (qsizetype i = 0; i < indexes.size(); ++i) {
        sink.report(QStringLiteral("indexes"), i, indexes.size(), false);
        sink.execute(indexes.at(i));
    }
    sink.report(QStringLiteral("indexes"), indexes.size(), indexes.size(), true);
}

namespace {

const char* const kEstados[] = {"SP", "RJ", "MG", "PR", "RS", "BA", "PE", "SC", "GO", "CE"};

void writeFiliais(Sink& sink, int filiais)
{
    sink.begin(QStringLiteral("FILIAL"), {"CDFILIAL", "NMFILIAL", "SGESTADO", "NRINSJURFILI", "CDTABPRECO"}, filiais);
    sink.row({QStringLiteral("0001"), QStringLiteral("Filial São Paulo"), QStringLiteral("SP"),
              QStringLiteral("11222333000181"), QStringLiteral("PADRAO")});
    sink.row({QStringLiteral("0002"), QStringLiteral("Filial Rio de Janeiro"), QStringLiteral("RJ"),
              QStringLiteral("11222333000262"), QStringLiteral("PADRAO")});
    sink.row({QStringLiteral("0003"), QStringLiteral("Filial Belo Horizonte"), QStringLiteral("MG"),
              QStringLiteral("11222333000343"), QVariant()});
    for (int f = 4; f <= filiais; ++f)
        sink.row({codigo(f, 4), QStringLiteral("Filial ") + codigo(f, 4), QString::fromLatin1(kEstados[f % 10]),
                  QStringLiteral("1122233300") + codigo(f, 4), QStringLiteral("PADRAO")});
    sink.end();
}

void writeLojasECaixas(Sink& sink, int filiais)
{
    sink.begin(QStringLiteral("LOJA"), {"CDFILIAL", "CDLOJA", "NMLOJA", "CDTABPRECO"}, filiais);
    sink.row({QStringLiteral("0001"), QStringLiteral("0001"), QStringLiteral("Loja Centro"), QStringLiteral("LOJA0001")});
    sink.row({QStringLiteral("0002"), QStringLiteral("0001"), QStringLiteral("Loja Copacabana"), QStringLiteral("LOJAEXP")});
    sink.row({QStringLiteral("0003"), QStringLiteral("0001"), QStringLiteral("Loja Savassi"), QVariant()});
    for (int f = 4; f <= filiais; ++f)
        sink.row({codigo(f, 4), QStringLiteral("0001"), QStringLiteral("Loja ") + codigo(f, 4), QVariant()});
    sink.end();

    sink.begin(QStringLiteral("CAIXA"), {"CDFILIAL", "CDCAIXA", "NMCAIXA", "CDLOJA"}, 2 * filiais);
    for (int f = 1; f <= filiais; ++f)
        for (const char* caixa : {"001", "002"})
            sink.row({codigo(f, 4), QString::fromLatin1(caixa), QStringLiteral("Caixa ") + QString::fromLatin1(caixa),
                      QStringLiteral("0001")});
    sink.end();
}

}  // namespace

void writeStores(Sink& sink, int filiais)
{
    writeFiliais(sink, std::max(filiais, 3));
    writeLojasECaixas(sink, std::max(filiais, 3));
}

void generateShop(Sink& sink, const ShopOptions& options)
{
    switch (options.size) {
    case ShopSize::Demo:
        writeStores(sink, 3);
        writeDemoShop(sink, options);
        break;
    case ShopSize::Large:
    case ShopSize::Chain:
        writeLargeShop(sink, options);
        break;
    }
}

}  // namespace shopgen
