#pragma once
// The application object of the benchmarks that show widgets: on the offscreen platform
// unless the runner chose one.

#include <QApplication>

#include <benchmark/benchmark.h>

namespace bench {

// The offscreen platform says, at every window given a size limit, that it cannot pass the
// limit on: thousands of lines in a run that opens a dialog per iteration, and nothing to
// act on. Other messages pass.
inline void quietOffscreenSizeHints()
{
    static QtMessageHandler next = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context,
                                                              const QString& message) {
        if (message != QLatin1String("This plugin does not support propagateSizeHints()"))
            next(type, context, message);
    });
}

inline void chooseOffscreenPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    quietOffscreenSizeHints();
}

// The QApplication of this process, made on first use (for fixtures built inside a
// benchmark, before any main() of ours).
inline void ensureGuiApplication()
{
    static int argc = 1;
    static char name[] = "bench";
    static char* argv[] = {name, nullptr};
    chooseOffscreenPlatform();
    if (!QCoreApplication::instance())
        new QApplication(argc, argv);
}

// main() of a benchmark executable: the registered benchmarks run with a QApplication.
inline int runWithGuiApplication(int argc, char** argv)
{
    chooseOffscreenPlatform();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace bench
