#pragma once
// Several terminals redeeming at once, each a redemption_terminal process on a terminal
// folder of its own: started together, each opens its screen and says it is ready, then
// all are let go at the same moment and confirm their gifts one after another. Used by the
// tests and the benchmark with several terminals on one database server.
//
// Reads the processes' results; throws nothing (a process that fails is reported in its
// run's `failure`).

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace terminalrun {

// What every terminal does: `count` times the gift of the campaign for its consumer.
struct Job {
    QString db;
    QString client;
    QString campaign;
    QString gift;
    int count = 1;
};

struct Redemption {
    double ms = 0;          // F5 to the balances reloaded
    double cpuMs = 0;       // the terminal process's processor time over the same span
    double lockWaitMs = 0;  // the close-out waiting for another terminal's hold on the consumer
    QString sale;           // empty: no sale concluded
};

struct Run {
    QString dir;       // the terminal folder
    QString consumer;
    // Filled by runTerminals: the process's result (the fields of redemption_terminal's
    // file), its confirmations, and why it failed (empty when it ended well).
    QJsonObject result{};
    QList<Redemption> redemptions{};
    QString failure{};
    qint64 end = 0;  // epoch ms of the last confirmation's end
    int concluded() const;
};

// Runs the terminals; returns the seconds from the moment they were let go to the end of
// the last confirmation. `atGo`, when given, is called just before they are let go.
double runTerminals(const Job& job, QList<Run>& runs, const std::function<void()>& atGo = {});

// Over all confirmations of all terminals.
struct Figures {
    double p50 = 0, p90 = 0, p99 = 0, max = 0;
    double firstMax = 0;   // the slowest of the terminals' first confirmations
    double firstCpuMs = 0; // terminal processor time of a first confirmation, on average
    double perSecond = 0;  // concluded redemptions per second of the whole run
    double cpuMs = 0;      // terminal processor time per confirmation, on average
    int attempts = 0, concluded = 0;
    double lockWaitMs = 0, lockWaitMaxMs = 0;
    int lockWaited = 0;
};
Figures figures(const QList<Run>& runs, double seconds);

// What went wrong: processes that failed, errors displayed, and, when `mustConclude` is
// above zero, terminals that concluded fewer redemptions.
QStringList problems(const QList<Run>& runs, int mustConclude);

}  // namespace terminalrun
