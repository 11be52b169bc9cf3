#pragma once
// The large shop the benchmarks run on: the SQLite file VAK_BENCH_SHOP, or one kept in
// ~/.cache/vak, generated on first use (a minute or two with a release build).

#include "tools/shopgen/Generator.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>

namespace bench {

// The file the environment variable `env` names, else `name` in ~/.cache/vak.
inline QString cachedFile(const char* env, const QString& name)
{
    const QString named = qEnvironmentVariable(env);
    if (!named.isEmpty())
        return named;
    const QString dir = QDir::homePath() + QStringLiteral("/.cache/vak");
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + name;
}

inline QString largeShopFile() { return cachedFile("VAK_BENCH_SHOP", QStringLiteral("large-shop.db")); }

inline void ensureLargeShop()
{
    const QString file = largeShopFile();
    if (QFile::exists(file))
        return;
    std::fprintf(stderr, "generating the large shop in %s\n", qPrintable(file));
    const auto sink = shopgen::sqliteSink(file);
    shopgen::createTables(*sink, QStringLiteral("sqlite"), false);
    shopgen::ShopOptions options;
    options.size = shopgen::ShopSize::Large;
    shopgen::generateShop(*sink, options);
    shopgen::createIndexes(*sink, QStringLiteral("sqlite"));
    sink->finish();
}

}  // namespace bench
