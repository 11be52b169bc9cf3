#pragma once
// A number as the tax rate is written in the printer's tax-table key and in the sale rows.

#include <QString>

namespace Cli_Vak04100 {

// General form, at most 15 significant digits, no trailing zeros, no group separator, the
// system's decimal separator (18 -> "18", 7.6 -> "7,6" under a comma locale).
QString textoNumero(double valor);

}  // namespace Cli_Vak04100
