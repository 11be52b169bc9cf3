#pragma once
// Helpers of the consumer and gift selection that do not need the form.

#include "platform/dataset/ClientDataSet.h"

#include <QString>

#include <optional>

namespace Cli_Vak04100 {

// Display labels, widths and visibility of the consumer list and the gift catalogue,
// as the search list shows them.
void apresentaConsumidores(platform::ClientDataSet& cdsConsumidor);
void apresentaCatalogo(platform::ClientDataSet& cdsPesqBrinde);

// The price in an answer of the price lookup: decimal text with the system's decimal
// separator (no group separators). Empty when the text is no such number.
std::optional<double> precoDaResposta(const QString& resposta);

// Removes from the catalogue every row whose tax rate and tax type have no row in the
// terminal's tax table (rate compared as a number, type without regard to case).
// Returns the number of rows that remain.
int filtraPorAliquota(platform::ClientDataSet& catalogo, platform::ClientDataSet& aliquotas);

}  // namespace Cli_Vak04100
