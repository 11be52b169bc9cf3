// pdvhost: the reference point-of-sale host (see Host.h), and `pdvhost call`, which calls
// one data-service function of the module (see CallCommand.h).
#include "host/app/Host.h"

#include "host/app/CallCommand.h"
#include "host/app/CheckCommand.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // `call`, `check` and scripted runs are headless: they must work on a terminal without a display.
    bool headless = argc > 1 && (std::strcmp(argv[1], "call") == 0 || std::strcmp(argv[1], "check") == 0);
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--script") == 0)
            headless = true;
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pdvhost"));
    QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args.first() == QLatin1String("call"))
        return pdvhost::runCallCommand(args.mid(1));
    if (!args.isEmpty() && args.first() == QLatin1String("check"))
        return pdvhost::runCheckCommand(args.mid(1));
    if (args.isEmpty() || args.first() == QLatin1String("--help")) {
        std::fputs(pdvhost::usage().toLocal8Bit().constData(), stderr);
        return args.isEmpty() ? 2 : 0;
    }
    pdvhost::HostOptions options;
    QString error;
    if (!pdvhost::parseOptions(args, options, &error)) {
        std::fprintf(stderr, "pdvhost: %s\n%s", error.toLocal8Bit().constData(), pdvhost::usage().toLocal8Bit().constData());
        return 2;
    }
    return pdvhost::runHost(options);
}
