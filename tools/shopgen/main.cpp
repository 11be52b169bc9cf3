// shopgen: generates shop databases (and, as further subcommands, terminal files).
//
//   shopgen --db CONNSTR [--size demo|large] [--seed N] [--today YYYY-MM-DD] [--replace]
//   shopgen shop --db CONNSTR ...            (the same, named)
//   shopgen terminal DIR --profile fiscal|nfce|sat [--db CONNSTR]   (terminal files)
//
// A subcommand is the first argument when it names one of the table below; otherwise the
// shop subcommand runs with all arguments.

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
     "shopgen [shop] --db CONNSTR [--size demo|large] [--seed N] [--today YYYY-MM-DD] [--replace]"},
    {"terminal", shopgen::runTerminalCommand, "shopgen terminal DIR --profile fiscal|nfce|sat [--db CONNSTR]"},
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        std::fprintf(stderr, "usage:\n");
        for (const Subcommand& s : kSubcommands)
            std::fprintf(stderr, "  %s\n", s.usage);
        return args.isEmpty() ? 2 : 0;
    }
    for (const Subcommand& s : kSubcommands)
        if (args.first() == QLatin1String(s.name))
            return s.run(args.mid(1));
    return kSubcommands[0].run(args);
}
