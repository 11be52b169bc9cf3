// pdvhost: the reference point-of-sale host (see Host.h), `pdvhost call`, which calls one
// data-service function of the module (see CallCommand.h), and `pdvhost check`, which
// judges a terminal's installation (see CheckCommand.h).
#include "host/app/Host.h"

#include "host/app/CallCommand.h"
#include "host/app/CheckCommand.h"
#include "platform/CommandLine.h"

#include <QApplication>

#include <optional>

int main(int argc, char** argv)
{
    // Read before the application exists: a platform plugin removes the options it takes
    // for itself from argv (X11 takes --name, the consumer's name here).
    const QStringList args = platform::cli::rawArguments(argc, argv);
    const QString command = args.value(0);
    const bool call = command == QLatin1String("call"), check = command == QLatin1String("check");
    // `call`, `check` and scripted runs are headless: they must work on a terminal without a display.
    bool headless = call || check;
    for (const QString& a : args)
        headless = headless || a == QLatin1String("--script") || a.startsWith(QLatin1String("--script="));
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Help, version and bad usage are answered before any display is needed (setting one
    // up may itself warn on stderr).
    pdvhost::HostOptions options;
    pdvhost::CallRequest callRequest;
    pdvhost::CheckOptions checkOptions;
    const std::optional<int> status = call    ? pdvhost::parseCallCommand(args.mid(1), callRequest)
                                      : check ? pdvhost::parseCheckCommand(args.mid(1), checkOptions)
                                              : pdvhost::parseOptions(args, options);
    if (status)
        return *status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pdvhost"));
    if (call)
        return pdvhost::runCallCommand(callRequest);
    if (check)
        return pdvhost::runCheckCommand(checkOptions);
    return pdvhost::runHost(options);
}
