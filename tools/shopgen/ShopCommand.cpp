#include "tools/shopgen/ShopCommand.h"

#include "platform/CommandLine.h"
#include "platform/Error.h"
#include "platform/db/Connection.h"
#include "tools/shopgen/Generator.h"
#include "tools/shopgen/PgCopySink.h"
#include "tools/shopgen/Schema.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>

#include <cstdio>
#include <memory>
#include <optional>

namespace shopgen {

namespace {

void say(const QString& text)
{
    std::fprintf(stderr, "shopgen: %s\n", qPrintable(text));
    std::fflush(stderr);
}

struct Parsed {
    QString connectionString;
    ShopOptions options;
    bool replace = false;
};

QString usage()
{
    return QStringLiteral("usage: shopgen [shop] --db CONNSTR [--size demo|large] [--seed N] [--today YYYY-MM-DD] "
                          "[--replace]\n");
}

// Fills `out`; returns the exit status when the run ends here (help, version, bad usage).
std::optional<int> parse(const QStringList& args, Parsed& out)
{
    auto bad = [](const QString& text) { return platform::cli::usageError("shopgen", text, usage()); };
    QCommandLineParser p;
    p.addOption({QStringLiteral("db"), QStringLiteral("Connection string of the shop database."), QStringLiteral("CONNSTR")});
    p.addOption({QStringLiteral("size"), QStringLiteral("demo (default) or large."), QStringLiteral("SIZE"), QStringLiteral("demo")});
    p.addOption({QStringLiteral("seed"), QStringLiteral("Seed of the generated data (default 1)."), QStringLiteral("N"), QStringLiteral("1")});
    p.addOption({QStringLiteral("today"), QStringLiteral("Reference day of the dates (default today)."), QStringLiteral("YYYY-MM-DD")});
    p.addOption({QStringLiteral("replace"), QStringLiteral("Drop existing shop tables first.")});
    if (const auto status = platform::cli::parse(p, args, "shopgen", usage()))
        return status;
    if (!p.positionalArguments().isEmpty())
        return bad(QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().first()));
    out.connectionString = p.value(QStringLiteral("db"));
    if (out.connectionString.isEmpty())
        return bad(QStringLiteral("--db CONNSTR is required"));
    const QString size = p.value(QStringLiteral("size"));
    if (size == QLatin1String("demo"))
        out.options.size = ShopSize::Demo;
    else if (size == QLatin1String("large"))
        out.options.size = ShopSize::Large;
    else
        return bad(QStringLiteral("--size must be demo or large, not '%1'").arg(size));
    bool ok = false;
    out.options.seed = p.value(QStringLiteral("seed")).toULongLong(&ok);
    if (!ok)
        return bad(QStringLiteral("--seed must be a whole number, not '%1'").arg(p.value(QStringLiteral("seed"))));
    if (p.isSet(QStringLiteral("today"))) {
        out.options.today = QDate::fromString(p.value(QStringLiteral("today")), Qt::ISODate);
        if (!out.options.today.isValid())
            return bad(QStringLiteral("--today must be a date YYYY-MM-DD"));
    }
    out.replace = p.isSet(QStringLiteral("replace"));
    return std::nullopt;
}

void generate(Sink& sink, const QString& scriptName, const Parsed& args)
{
    QElapsedTimer clock;
    clock.start();
    qint64 lastReport = 0;
    const Progress progress = [&](const QString& step, qint64 rows) {
        if (clock.elapsed() - lastReport < 2000)
            return;
        lastReport = clock.elapsed();
        say(QStringLiteral("%1: %2 rows written (%3 s)")
                .arg(step, QLocale::c().toString(rows))
                .arg(clock.elapsed() / 1000));
    };
    createTables(sink, scriptName, args.replace);
    generateShop(sink, args.options, progress);
    if (args.options.size == ShopSize::Large)
        say(QStringLiteral("creating indexes (%1 rows written)").arg(QLocale::c().toString(sink.rowsWritten())));
    createIndexes(sink, scriptName);
    sink.finish();
    say(QStringLiteral("%1 rows written in %2 s").arg(QLocale::c().toString(sink.rowsWritten())).arg(clock.elapsed() / 1000.0, 0, 'f', 1));
}

}  // namespace

int runShopCommand(const QStringList& args)
{
    Parsed parsed;
    if (const auto status = parse(args, parsed))
        return *status;
    try {
        const platform::db::ConnectionSpec target = platform::db::parseConnectionString(parsed.connectionString);
        if (target.driver == QLatin1String("QSQLITE")) {
            // Only shopgen creates a shop's SQLite file; it says so.
            if (!QFileInfo::exists(target.databaseName))
                say(QStringLiteral("creating the SQLite database %1").arg(target.databaseName));
            // The SQLite C API directly: the large shop's millions of rows in a minute.
            SqliteSink sink(target.databaseName);
            generate(sink, QStringLiteral("sqlite"), parsed);
        } else if (target.driver == QLatin1String("QPSQL")) {
            // COPY through libpq: the server loads the rows at its own speed.
            PgCopySink sink(target);
            generate(sink, QStringLiteral("postgresql"), parsed);
        } else {
            platform::db::Connection connection(parsed.connectionString);
            connection.open();
            QtSqlSink sink(connection);
            generate(sink, schemaNameFor(connection), parsed);
        }
        return 0;
    } catch (const platform::Error& e) {
        say(e.text());
    } catch (const std::exception& e) {
        say(QString::fromLocal8Bit(e.what()));
    }
    return 1;
}

}  // namespace shopgen
