// cdstool: inspect, convert and edit the terminal's client-dataset files.

#include "Commands.h"

#include "platform/Error.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

const char* const kUsage =
    "usage: cdstool dump FILE [--csv | --xml | --json]\n"
    "       cdstool convert IN OUT [--binary | --xml | --xml-utf8]\n"
    "       cdstool create OUT FROM.json [--xml]\n"
    "       cdstool set FILE FIELD=VALUE... [--row N]\n"
    "\n"
    "  dump     prints the current rows: a table, CSV, the XML packet, or one JSON object\n"
    "           {\"fields\":[{\"name\",\"type\",\"size\"}],\"rows\":[[...]]}\n"
    "  convert  writes IN again as binary or XML (Windows-1252 or UTF-8); without an option\n"
    "           the format follows OUT's extension (.xml: XML, else binary)\n"
    "  create   writes a file from the JSON shape that dump --json prints\n"
    "  set      changes values of one row (the first unless --row) in place, keeping the\n"
    "           file's encoding; an empty VALUE makes a non-text field null\n";

// Splits options (--x, and --row's value) from positional arguments.
struct Args {
    QStringList positional;
    QStringList options;
    int row = 1;
};

Args parseArgs(const QStringList& raw)
{
    Args args;
    for (int i = 0; i < raw.size(); ++i) {
        const QString& a = raw[i];
        if (a == QLatin1String("--row")) {
            bool ok = false;
            args.row = i + 1 < raw.size() ? raw[i + 1].toInt(&ok) : 0;
            if (!ok || args.row < 1)
                throw cdstool::UsageError(QStringLiteral("--row needs a row number from 1"));
            ++i;
        } else if (a.startsWith(QLatin1String("--"))) {
            args.options << a;
        } else {
            args.positional << a;
        }
    }
    return args;
}

void allowOptions(const Args& args, const QStringList& allowed, int maxChosen = 1)
{
    for (const QString& o : args.options)
        if (!allowed.contains(o))
            throw cdstool::UsageError(QStringLiteral("unknown option %1").arg(o));
    if (args.options.size() > maxChosen)
        throw cdstool::UsageError(QStringLiteral("choose one of %1").arg(allowed.join(QLatin1String(", "))));
}

int run(const QStringList& raw)
{
    if (raw.isEmpty())
        throw cdstool::UsageError(QStringLiteral("no command"));
    const QString command = raw.first();
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const Args args = parseArgs(raw.mid(1));
    auto needPositional = [&](int n) {
        if (args.positional.size() != n)
            throw cdstool::UsageError(
                QStringLiteral("%1 takes %2 file argument%3").arg(command).arg(n).arg(n > 1 ? "s" : ""));
    };
    if (command != QLatin1String("set") && args.row != 1)
        throw cdstool::UsageError(QStringLiteral("--row belongs to set"));
    if (command == QLatin1String("dump")) {
        needPositional(1);
        allowOptions(args, {QStringLiteral("--csv"), QStringLiteral("--xml"), QStringLiteral("--json")});
        const QString o = args.options.value(0);
        const auto style = o == QLatin1String("--csv")   ? cdstool::DumpStyle::Csv
                           : o == QLatin1String("--xml") ? cdstool::DumpStyle::Xml
                           : o == QLatin1String("--json") ? cdstool::DumpStyle::Json
                                                          : cdstool::DumpStyle::Table;
        return cdstool::dump(args.positional[0], style);
    }
    if (command == QLatin1String("convert")) {
        needPositional(2);
        allowOptions(args, {QStringLiteral("--binary"), QStringLiteral("--xml"), QStringLiteral("--xml-utf8")});
        return cdstool::convert(args.positional[0], args.positional[1], args.options.value(0));
    }
    if (command == QLatin1String("create")) {
        needPositional(2);
        allowOptions(args, {QStringLiteral("--xml")});
        return cdstool::create(args.positional[0], args.positional[1], !args.options.isEmpty());
    }
    if (command == QLatin1String("set")) {
        if (args.positional.size() < 2)
            throw cdstool::UsageError(QStringLiteral("set takes a file and at least one FIELD=VALUE"));
        allowOptions(args, {}, 0);
        return cdstool::set(args.positional[0], args.positional.mid(1), args.row);
    }
    throw cdstool::UsageError(QStringLiteral("unknown command '%1'").arg(command));
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    try {
        return run(app.arguments().mid(1));
    } catch (const cdstool::UsageError& e) {
        std::fprintf(stderr, "cdstool: %s\n\n%s", e.what(), kUsage);
        return 2;
    } catch (const platform::Error& e) {
        std::fprintf(stderr, "cdstool: %s\n", e.text().toUtf8().constData());
        return 1;
    }
}
