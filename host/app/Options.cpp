#include "host/app/Host.h"

#include "platform/CommandLine.h"

namespace pdvhost {

QString usage()
{
    return QStringLiteral(
        "usage: pdvhost --terminal DIR [--db CONNSTR] [--consumer CODE [--name N] [--cpf C] [--address A]\n"
        "               [--client K]] [--script FILE] [--transcript FILE.jsonl] [--out DIR]\n"
        "               [--contract-only]   (only the host libraries' published operations, every call checked)\n"
        "       pdvhost call [--db CONNSTR] FUNCTION [ARGS...]   (calls a data-service function of the module)\n"
        "       pdvhost check --terminal DIR [--db CONNSTR] [--json]   (judges the terminal's set-up)\n"
        "       pdvhost --help | --version\n"
        "\n"
        "Exit status: 0 the screen opened and closed, 1 it could not open (the reason on standard\n"
        "error), another host runs the terminal, a pending redemption cannot be settled now, or the\n"
        "module could not be loaded, 2 bad usage or a bad script, 3 a call outside the published\n"
        "contract (--contract-only).\n");
}

std::optional<int> parseOptions(const QStringList& args, HostOptions& o)
{
    const QList<std::pair<const char*, QString*>> table = {
        {"terminal", &o.terminal}, {"db", &o.db},           {"consumer", &o.consumer},
        {"name", &o.name},         {"cpf", &o.cpf},         {"address", &o.address},
        {"client", &o.client},     {"script", &o.script},   {"transcript", &o.transcript},
        {"out", &o.out},
    };
    QCommandLineParser parser;
    for (const auto& [name, field] : table)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
    parser.addOption(QCommandLineOption(QStringLiteral("contract-only")));
    if (const auto status = platform::cli::parse(parser, args, "pdvhost", usage()))
        return status;
    if (!parser.positionalArguments().isEmpty())
        return platform::cli::usageError("pdvhost",
                                         QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments()[0]),
                                         usage());
    for (const auto& [name, field] : table)
        *field = parser.value(QString::fromLatin1(name));
    o.contractOnly = parser.isSet(QStringLiteral("contract-only"));
    if (o.terminal.isEmpty())
        return platform::cli::usageError("pdvhost", QStringLiteral("--terminal DIR is required"), usage());
    if (o.consumer.isEmpty() && !(o.name.isEmpty() && o.cpf.isEmpty() && o.address.isEmpty() && o.client.isEmpty()))
        return platform::cli::usageError(
            "pdvhost", QStringLiteral("--name, --cpf, --address and --client go with --consumer"), usage());
    return std::nullopt;
}

}  // namespace pdvhost
