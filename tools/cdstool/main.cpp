// cdstool: inspect, convert and edit the terminal's client-dataset files.

#include "Commands.h"

#include "platform/CommandLine.h"
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
    "       cdstool --help | --version\n"
    "\n"
    "  dump     prints the current rows: a table, CSV, the XML packet, or one JSON object\n"
    "           {\"fields\":[{\"name\",\"type\",\"size\"}],\"rows\":[[...]]}\n"
    "  convert  writes IN again as binary or XML (Windows-1252 or UTF-8); without an option\n"
    "           the format follows OUT's extension (.xml: XML, else binary)\n"
    "  create   writes a file from the JSON shape that dump --json prints\n"
    "  set      changes values of one row (the first unless --row) in place, keeping the\n"
    "           file's encoding; an empty VALUE makes a non-text field null\n"
    "\n"
    "  convert, create and set write beside the target, read the result back and compare it,\n"
    "  then replace the target in one rename: a failure leaves the target as it was. A\n"
    "  target that is a symbolic link has its file replaced, with that file's owner and mode.\n"
    "  Exit status: 0 done, 1 a file could not be read or written, 2 bad usage.\n";

const QStringList kStyleOptions = {QStringLiteral("csv"), QStringLiteral("xml"), QStringLiteral("json")};
const QStringList kFormatOptions = {QStringLiteral("binary"), QStringLiteral("xml"), QStringLiteral("xml-utf8")};

// The format options given, as "--name"; only those in `allowed`, at most one.
QString chosenOption(const QCommandLineParser& parser, const QStringList& allowed)
{
    QStringList chosen;
    for (const QString& name : parser.optionNames()) {
        if (name == QLatin1String("row"))
            continue;
        if (!allowed.contains(name))
            throw cdstool::UsageError(QStringLiteral("--%1 does not go with this command").arg(name));
        chosen << QStringLiteral("--") + name;
    }
    chosen.removeDuplicates();
    if (chosen.size() > 1)
        throw cdstool::UsageError(QStringLiteral("choose one of %1").arg(chosen.join(QLatin1String(", "))));
    return chosen.value(0);
}

int run(const QCommandLineParser& parser)
{
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        throw cdstool::UsageError(QStringLiteral("no command"));
    const QString command = positional.first();
    const QStringList files = positional.mid(1);
    auto needFiles = [&](int n) {
        if (files.size() != n)
            throw cdstool::UsageError(
                QStringLiteral("%1 takes %2 file argument%3").arg(command).arg(n).arg(n > 1 ? "s" : ""));
    };
    int row = 1;
    if (parser.isSet(QStringLiteral("row"))) {
        bool ok = false;
        row = parser.value(QStringLiteral("row")).toInt(&ok);
        if (command != QLatin1String("set"))
            throw cdstool::UsageError(QStringLiteral("--row belongs to set"));
        if (!ok || row < 1)
            throw cdstool::UsageError(QStringLiteral("--row needs a row number from 1"));
    }
    if (command == QLatin1String("help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == QLatin1String("dump")) {
        needFiles(1);
        const QString o = chosenOption(parser, kStyleOptions);
        const auto style = o == QLatin1String("--csv")   ? cdstool::DumpStyle::Csv
                           : o == QLatin1String("--xml") ? cdstool::DumpStyle::Xml
                           : o == QLatin1String("--json") ? cdstool::DumpStyle::Json
                                                          : cdstool::DumpStyle::Table;
        return cdstool::dump(files[0], style);
    }
    if (command == QLatin1String("convert")) {
        needFiles(2);
        return cdstool::convert(files[0], files[1], chosenOption(parser, kFormatOptions));
    }
    if (command == QLatin1String("create")) {
        needFiles(2);
        return cdstool::create(files[0], files[1], !chosenOption(parser, {QStringLiteral("xml")}).isEmpty());
    }
    if (command == QLatin1String("set")) {
        if (files.size() < 2)
            throw cdstool::UsageError(QStringLiteral("set takes a file and at least one FIELD=VALUE"));
        chosenOption(parser, {});
        return cdstool::set(files[0], files.mid(1), row);
    }
    throw cdstool::UsageError(QStringLiteral("unknown command '%1'").arg(command));
}

}  // namespace

int main(int argc, char** argv)
{
    const QStringList args = platform::cli::rawArguments(argc, argv);
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    QStringList names = kStyleOptions + kFormatOptions;
    names.removeDuplicates();
    for (const QString& name : names)
        parser.addOption(QCommandLineOption(name));
    parser.addOption(QCommandLineOption(QStringLiteral("row"), QString(), QStringLiteral("N")));
    const QString usage = QString::fromLatin1(kUsage);
    if (const auto status = platform::cli::parse(parser, args, "cdstool", usage))
        return *status;
    try {
        return run(parser);
    } catch (const cdstool::UsageError& e) {
        return platform::cli::usageError("cdstool", QString::fromUtf8(e.what()), usage);
    } catch (const platform::Error& e) {
        std::fprintf(stderr, "cdstool: %s\n", e.text().toUtf8().constData());
        return 1;
    }
}
