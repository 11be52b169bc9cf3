#include "host/app/CheckCommand.h"

#include "host/app/Check.h"
#include "host/hostkit/HostHooks.h"
#include "hostapi/hostkit.h"
#include "platform/db/Connection.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

#include <cstdio>

namespace pdvhost {

namespace {

const char* const kUsage = "usage: pdvhost check --terminal DIR [--db CONNSTR] [--json]\n";

struct CheckOptions {
    QString terminal, db;
    bool json = false;
};

bool parse(const QStringList& args, CheckOptions& o)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--json")) {
            o.json = true;
        } else if ((a == QLatin1String("--terminal") || a == QLatin1String("--db")) && i + 1 < args.size()) {
            (a == QLatin1String("--terminal") ? o.terminal : o.db) = args[++i];
        } else {
            std::fprintf(stderr, "pdvhost check: unexpected argument '%s'\n", a.toLocal8Bit().constData());
            return false;
        }
    }
    if (o.terminal.isEmpty()) {
        std::fprintf(stderr, "pdvhost check: --terminal DIR is required\n");
        return false;
    }
    return true;
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
    if (!parse(args, o))
        return std::fputs(kUsage, stderr), 2;
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
