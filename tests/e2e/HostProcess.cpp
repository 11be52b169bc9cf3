#include "HostProcess.h"

#include <QDir>

namespace e2e {

HostProcess::HostProcess(const QString& terminalDir, const QString& db, const QString& script, const QString& name)
    : transcriptPath_(terminalDir + QLatin1Char('/') + name + QStringLiteral(".jsonl")),
      logPath_(terminalDir + QLatin1Char('/') + name + QStringLiteral(".log"))
{
    const QString scriptPath = terminalDir + QLatin1Char('/') + name + QStringLiteral(".txt");
    QFile f(scriptPath);
    if (!f.open(QIODevice::WriteOnly) || f.write(script.toUtf8()) < 0)
        throw std::runtime_error("cannot write " + scriptPath.toStdString());
    f.close();
    const QString out = terminalDir + QStringLiteral("/out");
    QDir().mkpath(out);
    QFile::remove(transcriptPath_);
    process_.setWorkingDirectory(out);
    // Files, not pipes: sixteen hosts never wait on a pipe the test is slow to drain.
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(logPath_);
    process_.start(QStringLiteral(PDVHOST),
                   {QStringLiteral("--terminal"), terminalDir, QStringLiteral("--db"), db, QStringLiteral("--consumer"),
                    QStringLiteral("C1"), QStringLiteral("--name"), QStringLiteral("Ana Souza"), QStringLiteral("--cpf"),
                    QStringLiteral("12345678901"), QStringLiteral("--client"), QStringLiteral("001"),
                    QStringLiteral("--script"), scriptPath, QStringLiteral("--transcript"), transcriptPath_,
                    QStringLiteral("--out"), out});
    clock_.start();
}

int HostProcess::transcriptLines()
{
    if (!followed_.isOpen()) {
        followed_.setFileName(transcriptPath_);
        if (!followed_.open(QIODevice::ReadOnly))
            return 0;  // not written yet
    }
    lines_ += followed_.readAll().count('\n');
    return lines_;
}

void HostProcess::kill()
{
    killed_ = true;
    process_.kill();
    process_.waitForFinished(30000);
}

int HostProcess::exitCode() const
{
    return !killed_ && process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

QStringList HostProcess::logLines() const
{
    QFile f(logPath_);
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                       : QStringList();
}

}  // namespace e2e
