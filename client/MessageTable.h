#pragma once
// The screen's message table (msgPadrao): one line per message, key, bar, text.

#include <QStringList>

namespace Cli_Vak04100 {

QStringList tabelaMensagens();

// The result codes of the price lookup, in the order they are tested; each is also the
// key of its message.
QStringList codigosRecusaPreco();

}  // namespace Cli_Vak04100
