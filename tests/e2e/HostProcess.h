#pragma once
// One pdvhost process playing a script on a terminal for consumer C1 of client 001 ("Ana
// Souza"), whose transcript is followed while it is written, so that a test can kill the
// host (SIGKILL) at a chosen line or moment. The script, transcript and the host's error
// output are kept in the terminal folder under the run's name; the devices' output in its
// "out" folder.

#include "support/Transcript.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace e2e {

class HostProcess {
public:
    HostProcess(const QString& terminalDir, const QString& db, const QString& script, const QString& name);

    // The transcript lines written so far (read on from where the last call stopped).
    int transcriptLines();
    qint64 elapsedMs() const { return clock_.elapsed(); }
    // Whether the process has ended (events are processed by the caller).
    bool finished() const { return process_.state() == QProcess::NotRunning; }
    // SIGKILL, as a power cut or an operating system that ends the host gives.
    void kill();
    bool killed() const { return killed_; }
    // The exit status of a host that ended by itself; -1 when it was killed or crashed.
    int exitCode() const;

    testsupport::Transcript transcript() const { return testsupport::Transcript::read(transcriptPath_); }
    // What the host wrote on its error output (its log).
    QStringList logLines() const;

private:
    QProcess process_;
    QString transcriptPath_, logPath_;
    QFile followed_;
    int lines_ = 0;
    bool killed_ = false;
    QElapsedTimer clock_;
};

}  // namespace e2e
