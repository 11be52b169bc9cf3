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

#include <unistd.h>

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
    p.addOption({QStringLiteral("size"), QStringLiteral("demo (default), large or chain."), QStringLiteral("SIZE"), QStringLiteral("demo")});
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
    else if (size == QLatin1String("chain"))
        out.options.size = ShopSize::Chain;
    else
        return bad(QStringLiteral("--size must be demo, large or chain, not '%1'").arg(size));
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

// The progress line on stderr: rewritten in place on a terminal (twice a second at most),
// else one line at the end of each step: "STEP: done / total, rate/s, seconds". Steps
// shorter than a second leave no line of their own (the demo shop's tables).
class ProgressLine {
public:
    ProgressLine() : terminal_(isatty(fileno(stderr)) != 0) { clock_.start(); }

    void operator()(const QString& step, qint64 done, qint64 total, bool ended)
    {
        if (step != step_) {
            step_ = step;
            stepStart_ = clock_.elapsed();
        }
        const qint64 now = clock_.elapsed();
        if (!ended && (!terminal_ || now - lastShown_ < 500))
            return;
        lastShown_ = now;
        const double seconds = std::max<qint64>(1, now - stepStart_) / 1000.0;
        const bool keep = ended && seconds >= 1.0;
        if (ended && !keep && !terminal_)
            return;
        const QLocale c = QLocale::c();
        const QString line = QStringLiteral("shopgen: %1: %2 / %3, %4/s, %5 s")
                                 .arg(step, c.toString(done), c.toString(total), c.toString(qint64(done / seconds)))
                                 .arg(seconds, 0, 'f', 1);
        std::fprintf(stderr, terminal_ ? "\r%-78s%s" : "%s%s\n", qPrintable(line), terminal_ && keep ? "\n" : "");
        std::fflush(stderr);
        open_ = terminal_ && !keep;
    }
    // Ends a line left open on the terminal.
    void close()
    {
        if (open_)
            std::fputc('\n', stderr);
        open_ = false;
    }
    qint64 elapsed() const { return clock_.elapsed(); }

private:
    QElapsedTimer clock_;
    bool terminal_, open_ = false;
    QString step_;
    qint64 stepStart_ = 0, lastShown_ = 0;
};

void generate(Sink& sink, const QString& scriptName, const Parsed& args)
{
    auto line = std::make_shared<ProgressLine>();
    sink.setProgress([line](const QString& step, qint64 done, qint64 total, bool ended) {
        (*line)(step, done, total, ended);
    });
    createTables(sink, scriptName, args.replace);
    generateShop(sink, args.options);
    createIndexes(sink, scriptName);
    sink.finish();
    line->close();
    say(QStringLiteral("%1 rows written in %2 s")
            .arg(QLocale::c().toString(sink.rowsWritten()))
            .arg(line->elapsed() / 1000.0, 0, 'f', 1));
}

}  // namespace

int runShopCommand(const QStringList& args)
{
    Parsed parsed;
    if (const auto status = parse(args, parsed))
        return *status;
    try {
        const platform::db::ConnectionTarget target = platform::db::parseConnectionString(parsed.connectionString);
        if (target.driver == QLatin1String("QSQLITE")) {
            // Only shopgen creates a shop's SQLite file; it says so.
            if (!QFileInfo::exists(target.databaseName))
                say(QStringLiteral("creating the SQLite database %1").arg(target.databaseName));
            // The SQLite C API directly: the large shop's millions of rows in a minute.
            generate(*sqliteSink(target.databaseName), QStringLiteral("sqlite"), parsed);
        } else if (target.driver == QLatin1String("QPSQL")) {
            // COPY through libpq: the server loads the rows at its own speed.
            generate(*pgCopySink(target), QStringLiteral("postgresql"), parsed);
        } else {
            platform::db::Connection connection(parsed.connectionString);
            connection.open();
            generate(*qtSqlSink(connection), schemaNameFor(connection), parsed);
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
