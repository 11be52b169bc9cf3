#pragma once
// The field lists of the sale's datasets, in their order (set while a dataset is inactive).

#include "platform/dataset/FieldDef.h"

namespace Cli_Vak04100 {

platform::FieldDefs camposMovCaixa();       // 43 fields of the cash movement
platform::FieldDefs camposVenda();          // 71 fields of the sale rows
platform::FieldDefs camposParamImpCupNF();  // 52 fields of the print parameters

}  // namespace Cli_Vak04100
