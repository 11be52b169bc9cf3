#pragma once
// The parameter record of one fiscal printer command: what the fiscaldev parameter
// builders return and the printer commands (AbreCupom, VendaItem, Atu_TotGeral) take.
//
// Values are kept under upper-case names. Every record names its command under
// "COMANDO". A command passed its record by reference may leave results in it: the
// opening leaves the receipt number under "CUPNR" and the receipt counter under
// "CONTCUPOM", which hostkit's RecebeParams reads back by name.

#include <QVariantMap>

namespace hostapi {

using ParamRecord = QVariantMap;

// Names used in the records of the reference fiscal printer.
namespace param {
inline constexpr const char* Comando = "COMANDO";
inline constexpr const char* CupNr = "CUPNR";
inline constexpr const char* ContCupom = "CONTCUPOM";
}  // namespace param

}  // namespace hostapi
