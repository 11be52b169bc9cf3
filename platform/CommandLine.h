#pragma once
// The command lines of the tools and of pdvhost, in one style: QCommandLineParser over
// the arguments exactly as the process got them, "--help" and "--version" everywhere,
// and "<tool>: <what is wrong>" followed by the usage, exit status 2, on bad usage.
//
// The arguments are taken from argv before any Qt application object exists, because a
// platform plugin removes the options it takes for itself (X11 takes --name).

#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>
#include <optional>

#ifndef VAK_VERSION
#define VAK_VERSION "1.0"
#endif

namespace platform::cli {

inline QStringList rawArguments(int argc, char** argv)
{
    QStringList out;
    for (int i = 1; i < argc; ++i)
        out << QString::fromLocal8Bit(argv[i]);
    return out;
}

inline int usageError(const char* tool, const QString& message, const QString& usage)
{
    std::fprintf(stderr, "%s: %s\n\n%s", tool, message.toLocal8Bit().constData(), usage.toLocal8Bit().constData());
    return 2;
}

// Adds --help and --version to `parser`, parses `args` (without the program name) and
// answers those two. Returns the exit status when the run is over (help, version, bad
// usage), nothing when the command goes on.
inline std::optional<int> parse(QCommandLineParser& parser, const QStringList& args, const char* tool,
                                const QString& usage)
{
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("This help."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("The version."));
    parser.addOption(help);
    parser.addOption(version);
    if (!parser.parse(QStringList{QString::fromLatin1(tool)} + args))
        return usageError(tool, parser.errorText(), usage);
    if (parser.isSet(help)) {
        std::fputs(usage.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", tool, VAK_VERSION);
        return 0;
    }
    return std::nullopt;
}

}  // namespace platform::cli
