// shopgen: generates shop databases (and, as further subcommands, terminal files).
//
//   shopgen --db CONNSTR [--size demo|large|chain] [--seed N] [--today YYYY-MM-DD] [--replace]
//   shopgen shop --db CONNSTR ...            (the same, named)
//   shopgen terminal DIR --profile fiscal|nfce|sat [--db CONNSTR]   (terminal files)
//
// A subcommand is the first argument when it names one of the table below; otherwise the
// shop subcommand runs with all arguments.

#include "platform/CommandLine.h"
#include "tools/shopgen/ShopCommand.h"
#include "tools/shopgen/TerminalCommand.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

struct Subcommand {
    const char* name;
    int (*run)(const QStringList& args);
    const char* usage;
};

const Subcommand kSubcommands[] = {
    {"shop", shopgen::runShopCommand,
     "shopgen [shop] --db CONNSTR [--size demo|large|chain] [--seed N] [--today YYYY-MM-DD] [--replace]"},
    {"terminal", shopgen::runTerminalCommand, "shopgen terminal DIR --profile fiscal|nfce|sat [--db CONNSTR]"},
};

QString usage()
{
    QString text = QStringLiteral("usage:\n");
    for (const Subcommand& s : kSubcommands)
        text += QStringLiteral("  %1\n").arg(QString::fromLatin1(s.usage));
    return text + QStringLiteral("  shopgen --help | --version\n");
}

}  // namespace

int main(int argc, char** argv)
{
    const QStringList args = platform::cli::rawArguments(argc, argv);
    QCoreApplication app(argc, argv);
    if (!args.isEmpty())
        for (const Subcommand& s : kSubcommands)
            if (args.first() == QLatin1String(s.name))
                return s.run(args.mid(1));
    // --help and --version for shopgen itself; everything else is the shop subcommand.
    if (!args.isEmpty() && (args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")
                            || args.first() == QLatin1String("--version"))) {
        QCommandLineParser parser;
        return platform::cli::parse(parser, args.mid(0, 1), "shopgen", usage()).value_or(0);
    }
    if (args.isEmpty())
        return platform::cli::usageError("shopgen", QStringLiteral("--db CONNSTR is required"), usage());
    return kSubcommands[0].run(args);
}
