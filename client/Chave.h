#pragma once
// The program's fixed key for the protected values of the terminal files (Uncripto);
// whatever writes those files encodes them with hostkit's Cripto and this key.
#include "terminal/TerminalFiles.h"

namespace Cli_Vak04100 {
constexpr int kChaveCripto = terminal::kChaveCripto;
}
