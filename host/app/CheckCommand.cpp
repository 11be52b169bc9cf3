#include "host/app/CheckCommand.h"

#include "host/app/Check.h"
#include "host/hostkit/HostHooks.h"
#include "hostapi/hostkit.h"
#include "platform/CommandLine.h"
#include "platform/db/Connection.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

#include <cstdio>
#include <optional>

namespace pdvhost {

namespace {

const char* const kTool = "pdvhost check";
const char* const kUsage = "usage: pdvhost check --terminal DIR [--db CONNSTR] [--json]\n"
                           "       pdvhost check --help | --version\n";

struct CheckOptions {
    QString terminal, db;
    bool json = false;
};

// Reads the command line into `o`. Returns the exit status when the run is over (help,
// version, bad usage), nothing when the check goes on.
std::optional<int> parse(const QStringList& args, CheckOptions& o)
{
    const QString usage = QString::fromLatin1(kUsage);
    QCommandLineParser parser;
    const QCommandLineOption terminal(QStringLiteral("terminal"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption db(QStringLiteral("db"), QString(), QStringLiteral("CONNSTR"));
    const QCommandLineOption json(QStringLiteral("json"));
    parser.addOptions({terminal, db, json});
    if (const auto status = platform::cli::parse(parser, args, kTool, usage))
        return status;
    if (!parser.positionalArguments().isEmpty())
        return platform::cli::usageError(
            kTool, QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments()[0]), usage);
    o.terminal = parser.value(terminal);
    o.db = parser.value(db);
    o.json = parser.isSet(json);
    if (o.terminal.isEmpty())
        return platform::cli::usageError(kTool, QStringLiteral("--terminal DIR is required"), usage);
    return std::nullopt;
}

}  // namespace

Findings checkTerminal(const QString& dir, const QString& connectionString)
{
    hostkit::setHostDirectory(dir);
    Findings findings;
    check::Terminal terminal;
    terminal.dir = dir;
    check::checkFiles(terminal, findings);
    if (auto db = check::checkDatabase(terminal, connectionString, findings))
        check::checkCatalogue(terminal, *db, connectionString, findings);
    check::checkDevices(terminal, findings);
    return findings;
}

int runCheckCommand(const QStringList& args)
{
    CheckOptions o;
    if (const auto status = parse(args, o))
        return *status;
    const QString dir = QFileInfo(o.terminal).absoluteFilePath();
    if (!QFileInfo(dir).isDir()) {
        std::fprintf(stderr, "pdvhost check: %s is not a directory\n", dir.toLocal8Bit().constData());
        return 2;
    }
    const Findings findings = checkTerminal(dir, o.db);
    const QByteArray out = o.json ? QJsonDocument(findings.json(dir)).toJson(QJsonDocument::Indented)
                                  : findings.text(dir).toUtf8();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return findings.exitCode();
}

}  // namespace pdvhost
