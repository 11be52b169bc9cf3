#include "host/app/Host.h"

namespace pdvhost {

QString usage()
{
    return QStringLiteral(
        "usage: pdvhost --terminal DIR [--db CONNSTR] [--consumer CODE [--name N] [--cpf C] [--address A]\n"
        "               [--client K]] [--script FILE] [--transcript FILE.jsonl] [--out DIR]\n"
        "       pdvhost call FUNCTION [ARGS...]   (calls a data-service function of the module)\n"
        "       pdvhost check --terminal DIR [--db CONNSTR] [--json]   (judges the terminal's set-up)\n");
}

bool parseOptions(const QStringList& args, HostOptions& o, QString* error)
{
    const QList<std::pair<const char*, QString*>> table = {
        {"--terminal", &o.terminal}, {"--db", &o.db},           {"--consumer", &o.consumer},
        {"--name", &o.name},         {"--cpf", &o.cpf},         {"--address", &o.address},
        {"--client", &o.client},     {"--script", &o.script},   {"--transcript", &o.transcript},
        {"--out", &o.out},
    };
    for (int i = 0; i < args.size(); ++i) {
        QString* target = nullptr;
        for (const auto& [name, field] : table)
            if (args[i] == QLatin1String(name))
                target = field;
        if (!target) {
            *error = QStringLiteral("unknown option '%1'").arg(args[i]);
            return false;
        }
        if (i + 1 >= args.size()) {
            *error = QStringLiteral("option '%1' needs a value").arg(args[i]);
            return false;
        }
        *target = args[++i];
    }
    if (o.terminal.isEmpty()) {
        *error = QStringLiteral("--terminal DIR is required");
        return false;
    }
    if (o.consumer.isEmpty() && !(o.name.isEmpty() && o.cpf.isEmpty() && o.address.isEmpty() && o.client.isEmpty())) {
        *error = QStringLiteral("--name, --cpf, --address and --client go with --consumer");
        return false;
    }
    return true;
}

}  // namespace pdvhost
