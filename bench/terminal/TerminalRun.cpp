#include "TerminalRun.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include <algorithm>
#include <cmath>
#include <memory>

namespace terminalrun {

namespace {

constexpr int kWaitMs = 300000;

QString outputOf(const Run& run)
{
    return run.dir + QStringLiteral("/resultado.json");
}

std::unique_ptr<QProcess> start(const Job& job, const Run& run)
{
    auto p = std::make_unique<QProcess>();
    // The terminal's log (the close-out's refusals among it) stays beside its files.
    p->setStandardErrorFile(run.dir + QStringLiteral("/terminal.log"));
    QFile::remove(outputOf(run));
    p->start(QStringLiteral(REDEMPTION_TERMINAL),
             {QStringLiteral("--dir"), run.dir, QStringLiteral("--db"), job.db, QStringLiteral("--consumer"), run.consumer,
              QStringLiteral("--client"), job.client, QStringLiteral("--campaign"), job.campaign, QStringLiteral("--gift"),
              job.gift, QStringLiteral("--count"), QString::number(job.count), QStringLiteral("--out"), outputOf(run)});
    return p;
}

bool waitReady(QProcess& p)
{
    QByteArray said;
    while (!said.contains("ready\n")) {
        if (!p.waitForReadyRead(kWaitMs))
            return false;
        said += p.readAllStandardOutput();
    }
    return true;
}

void collect(QProcess& p, Run& run)
{
    if (!p.waitForFinished(kWaitMs) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        run.failure = QStringLiteral("terminal %1 ended badly (exit %2, %3); its log: %4/terminal.log")
                          .arg(run.dir)
                          .arg(p.exitCode())
                          .arg(p.errorString(), run.dir);
        p.kill();
        p.waitForFinished();
    }
    QFile f(outputOf(run));
    if (!f.open(QIODevice::ReadOnly)) {
        run.failure += QStringLiteral(" no result in %1").arg(f.fileName());
        return;
    }
    run.result = QJsonDocument::fromJson(f.readAll()).object();
    run.end = qint64(run.result.value(QStringLiteral("end")).toDouble());
    for (const QJsonValue& v : run.result.value(QStringLiteral("redemptions")).toArray()) {
        const QJsonObject o = v.toObject();
        run.redemptions << Redemption{o.value(QStringLiteral("ms")).toDouble(), o.value(QStringLiteral("cpuMs")).toDouble(),
                                      o.value(QStringLiteral("lockWaitMs")).toDouble(), o.value(QStringLiteral("sale")).toString()};
    }
}

// Nearest rank: the smallest value with at least `share` of the values at or below it.
double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t rank = size_t(std::ceil(share * double(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

}  // namespace

int Run::concluded() const
{
    return int(std::count_if(redemptions.begin(), redemptions.end(), [](const Redemption& r) { return !r.sale.isEmpty(); }));
}

double runTerminals(const Job& job, QList<Run>& runs, const std::function<void()>& atGo)
{
    std::vector<std::unique_ptr<QProcess>> processes;
    for (const Run& run : runs)
        processes.push_back(start(job, run));
    for (size_t i = 0; i < processes.size(); ++i)
        if (!waitReady(*processes[i]))
            runs[int(i)].failure = QStringLiteral("terminal %1 did not open its screen").arg(runs[int(i)].dir);
    if (atGo)
        atGo();
    const qint64 go = QDateTime::currentMSecsSinceEpoch();
    for (auto& p : processes) {
        p->write("go\n");
        p->waitForBytesWritten(kWaitMs);
    }
    qint64 last = go;
    for (size_t i = 0; i < processes.size(); ++i) {
        collect(*processes[i], runs[int(i)]);
        last = std::max(last, runs[int(i)].end);
    }
    return double(last - go) / 1000.0;
}

Figures figures(const QList<Run>& runs, double seconds)
{
    Figures f;
    std::vector<double> times;
    double cpuMs = 0;
    int firsts = 0;
    for (const Run& run : runs) {
        if (!run.redemptions.isEmpty()) {
            f.firstMax = std::max(f.firstMax, run.redemptions.first().ms);
            f.firstCpuMs += run.redemptions.first().cpuMs;
            ++firsts;
        }
        for (const Redemption& r : run.redemptions) {
            times.push_back(r.ms);
            cpuMs += r.cpuMs;
            f.lockWaitMs += r.lockWaitMs;
            f.lockWaitMaxMs = std::max(f.lockWaitMaxMs, r.lockWaitMs);
            f.lockWaited += r.lockWaitMs > 0 ? 1 : 0;
        }
        f.concluded += run.concluded();
    }
    f.attempts = int(times.size());
    f.p50 = percentile(times, 0.50);
    f.p90 = percentile(times, 0.90);
    f.p99 = percentile(times, 0.99);
    f.max = percentile(times, 1.0);
    f.perSecond = seconds > 0 ? f.concluded / seconds : 0;
    f.cpuMs = times.empty() ? 0 : cpuMs / double(times.size());
    f.firstCpuMs = firsts > 0 ? f.firstCpuMs / firsts : 0;
    return f;
}

QStringList problems(const QList<Run>& runs, int mustConclude)
{
    QStringList found;
    for (const Run& run : runs) {
        if (!run.failure.isEmpty())
            found << run.failure;
        for (const QJsonValue& e : run.result.value(QStringLiteral("errors")).toArray())
            found << QStringLiteral("terminal %1 showed an error: %2").arg(run.dir, e.toString());
        if (mustConclude > 0 && run.concluded() < mustConclude)
            found << QStringLiteral("terminal %1 concluded %2 of its %3 redemptions; messages: %4")
                         .arg(run.dir)
                         .arg(run.concluded())
                         .arg(mustConclude)
                         .arg(run.result.value(QStringLiteral("messages")).toVariant().toStringList().join(QStringLiteral(" | ")));
    }
    return found;
}

}  // namespace terminalrun
