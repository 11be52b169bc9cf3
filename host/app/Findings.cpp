#include "host/app/Findings.h"

#include "terminal/TerminalFiles.h"

#include <QJsonArray>
#include <QStringList>

namespace pdvhost {

QString severityName(Severity severity)
{
    switch (severity) {
    case Severity::Note: return QStringLiteral("note");
    case Severity::Warning: return QStringLiteral("warning");
    case Severity::Error: return QStringLiteral("error");
    }
    return {};
}

void Findings::error(const QString& file, const QString& key, const QString& message, const QString& fix)
{
    list_.append({file, key, Severity::Error, message, fix});
}

void Findings::warning(const QString& file, const QString& key, const QString& message, const QString& fix)
{
    list_.append({file, key, Severity::Warning, message, fix});
}

void Findings::note(const QString& file, const QString& key, const QString& message)
{
    list_.append({file, key, Severity::Note, message, {}});
}

int Findings::count(Severity severity) const
{
    return int(std::count_if(list_.begin(), list_.end(), [&](const Finding& f) { return f.severity == severity; }));
}

QString Findings::text(const QString& terminalDir) const
{
    // The terminal's files in the order the screen reads them, then the rest (database,
    // catalogue, devices) in the order they were checked.
    QStringList files;
    for (const terminal::FileDef& def : terminal::files())
        for (const Finding& f : list_)
            if (f.file == QLatin1String(def.relative) && !files.contains(f.file))
                files << f.file;
    for (const Finding& f : list_)
        if (!files.contains(f.file))
            files << f.file;
    QString out = QStringLiteral("Terminal %1\n").arg(terminalDir);
    for (const QString& file : files) {
        out += QLatin1Char('\n') + file + QLatin1Char('\n');
        for (const Finding& f : list_) {
            if (f.file != file)
                continue;
            QString line = QStringLiteral("  %1 ").arg(severityName(f.severity).toUpper(), -7);
            if (!f.key.isEmpty())
                line += f.key + QStringLiteral(": ");
            line += f.message;
            if (!f.fix.isEmpty())
                line += QStringLiteral(" — fix: ") + f.fix;
            out += line + QLatin1Char('\n');
        }
    }
    const int errors = count(Severity::Error), warnings = count(Severity::Warning);
    out += QStringLiteral("\n%1 error(s), %2 warning(s): %3\n")
               .arg(errors)
               .arg(warnings)
               .arg(errors ? QStringLiteral("a redemption is blocked or would be recorded wrongly")
                           : QStringLiteral("nothing blocks a redemption"));
    return out;
}

QJsonObject Findings::json(const QString& terminalDir) const
{
    QJsonArray findings;
    for (const Finding& f : list_)
        findings.append(QJsonObject{{QStringLiteral("file"), f.file},
                                    {QStringLiteral("key"), f.key},
                                    {QStringLiteral("severity"), severityName(f.severity)},
                                    {QStringLiteral("message"), f.message},
                                    {QStringLiteral("fix"), f.fix}});
    return {{QStringLiteral("terminal"), terminalDir},
            {QStringLiteral("ok"), !blocking()},
            {QStringLiteral("errors"), count(Severity::Error)},
            {QStringLiteral("warnings"), count(Severity::Warning)},
            {QStringLiteral("findings"), findings}};
}

}  // namespace pdvhost
