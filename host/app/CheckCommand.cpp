#include "host/app/CheckCommand.h"

#include "host/app/Check.h"
#include "host/hostkit/HostHooks.h"
#include "hostapi/hostkit.h"
#include "platform/CommandLine.h"
#include "platform/db/Connection.h"
#include "platform/system/ProgramDirectory.h"

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

}  // namespace

std::optional<int> parseCheckCommand(const QStringList& args, CheckOptions& o)
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
    o.terminal = QFileInfo(o.terminal).absoluteFilePath();
    if (!QFileInfo(o.terminal).isDir()) {
        std::fprintf(stderr, "pdvhost check: %s is not a directory\n", o.terminal.toLocal8Bit().constData());
        return 2;
    }
    return std::nullopt;
}

Findings checkTerminal(const QString& dir, const QString& connectionString)
{
    platform::setProgramDirectory(dir);
    Findings findings;
    check::Terminal terminal;
    terminal.dir = dir;
    check::checkFiles(terminal, findings);
    auto db = check::checkDatabase(terminal, connectionString, findings);
    if (db)
        check::checkCatalogue(terminal, *db, connectionString, findings);
    check::checkDevices(terminal, findings);
    check::checkPending(terminal, db.get(), findings);
    return findings;
}

int runCheckCommand(const CheckOptions& o)
{
    const Findings findings = checkTerminal(o.terminal, o.db);
    const QByteArray out = o.json ? QJsonDocument(findings.json(o.terminal)).toJson(QJsonDocument::Indented)
                                  : findings.text(o.terminal).toUtf8();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return findings.exitCode();
}

}  // namespace pdvhost
