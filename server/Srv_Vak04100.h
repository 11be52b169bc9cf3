#pragma once
// Srv_Vak04100: the loyalty data service. The data module TrdmFidelidade (held in
// rdmFidelidade while the screen is open) and the seven data-service functions the
// screen calls directly, in-process.
//
// C++ interface (namespace Srv_Vak04100). Every result is a QVariant:
//   - the reading functions return a data packet (QByteArray, the binary encoding), or
//     the error text (QString) made by hostkit::ADOExceptionMessage;
//   - SetGravaCupomInicial returns an empty (invalid) variant, or the error text;
//   - GetSenhaCupom / getNumeroNFCe return the number as text and let errors propagate
//     (platform::Error subclasses) after releasing the numbering component;
//   - setNumeroNFCe returns the number taken as text, or the error text.
// Text arguments are UTF-16 (QString) and are brought to the 8-bit Windows-1252 text of
// the shop database before they are used; a text with a character outside it is refused
// (the error text names it), never bound with substitutes.
// Only GetSenhaCupom and getNumeroNFCe raise; the others never let an exception out.
// The functions other than GetSenhaCupom and getNumeroNFCe need rdmFidelidade created and
// connected; without it they return an error text.
//
// Exported C interface (extern "C"). The module's export table (package/CMakeLists.txt)
// lists each function under its plain name <Function> and its unit-qualified name
// "Srv_Vak04100.<Function>"; Srv_Vak04100_<Function> is its name in C++. Conventions:
//   - text arguments: const char16_t*, NUL-terminated UTF-16; nullptr is the empty text;
//   - date-time arguments: double, days since 1899-12-30 00:00 local time, the fraction
//     being the time of day (toDateTimeValue / fromDateTimeValue convert);
//   - flags: int, 0 false, anything else true;
//   - the result is written to *result (a QVariant owned by the caller; nullptr: not
//     written). The return value is 0 when the function returned normally and 1 when it
//     raised (only GetSenhaCupom and getNumeroNFCe do): *result then holds the error's
//     text. No exception leaves these functions.

#include "Vak04100Export.h"
#include "server/TrdmFidelidade.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

namespace Srv_Vak04100 {

// The data module of the open screen; created, connected and released by the screen's
// code (its initialisation and the entry). nullptr while no screen is open. Exported
// under its plain name (C linkage).
extern "C" VAK04100_EXPORT TrdmFidelidade* rdmFidelidade;

// Consumers with their client's trade name (packet of dspConsumidor), or error text.
QVariant GetConsumidor();
// Points balance per campaign of one consumer on today's date (packet of
// dspSaldoConsCamp), or error text.
QVariant GetSaldoConsCamp(const QString& cdCliente, const QString& cdConsumidor);
// Gift catalogue of a campaign at a branch (packet of dspBrinde), or error text.
QVariant GetBrinde(const QString& cdCampanha, const QString& cdFilial);

// Records the first receipt number of a fiscal day at a register (key "CUPINICIAL" +
// branch + register + short date text of dtFiscal), unless already recorded. Empty
// variant, or error text.
QVariant SetGravaCupomInicial(const QString& cdFilial, const QString& cdCaixa, const QString& nrCupom,
                              const QDateTime& dtFiscal);
// The next daily sale number of the branch for the date, as text. Raises on failure.
QVariant GetSenhaCupom(const QString& cdFilial, const QDateTime& data);
// The next NFC-e number of branch, series and environment, as text. Raises on failure.
QVariant getNumeroNFCe(const QString& cdFilial, const QString& serie, const QString& ambiente);
// Draws the next NFC-e number, records the day's first number for branch, series and
// environment (key "NFCEPRIM_" + branch + series + "-" + today's short date text + "_AMB"
// + environment) unless already recorded, and, when gravaInutiliza, records the number
// for voiding in INUTILIZANFCE with status "P". The number as text, or error text.
QVariant setNumeroNFCe(const QString& cdFilial, const QString& cdCaixa, const QString& serie,
                       const QString& ambiente, bool gravaInutiliza);

// The date text of counter keys: the date in the system's short date format.
QString textoData(const QDate& date);
// The 8-bit text a wide argument becomes (Windows-1252). Throws platform::Error naming
// the text when a character of it has no place in the code page.
QString textoAnsi(const QString& text);
// True when every character of `text` has a place in Windows-1252.
bool representavelAnsi(const QString& text);

// Date-time values of the C interface.
double toDateTimeValue(const QDateTime& dateTime);
QDateTime fromDateTimeValue(double value);

}  // namespace Srv_Vak04100

extern "C" {
VAK04100_EXPORT int Srv_Vak04100_GetConsumidor(QVariant* result) noexcept;
VAK04100_EXPORT int Srv_Vak04100_GetSaldoConsCamp(const char16_t* cdCliente, const char16_t* cdConsumidor,
                                                  QVariant* result) noexcept;
VAK04100_EXPORT int Srv_Vak04100_GetBrinde(const char16_t* cdCampanha, const char16_t* cdFilial,
                                           QVariant* result) noexcept;
VAK04100_EXPORT int Srv_Vak04100_SetGravaCupomInicial(const char16_t* cdFilial, const char16_t* cdCaixa,
                                                      const char16_t* nrCupom, double dtFiscal,
                                                      QVariant* result) noexcept;
VAK04100_EXPORT int Srv_Vak04100_GetSenhaCupom(const char16_t* cdFilial, double data, QVariant* result) noexcept;
VAK04100_EXPORT int Srv_Vak04100_getNumeroNFCe(const char16_t* cdFilial, const char16_t* serie,
                                               const char16_t* ambiente, QVariant* result) noexcept;
VAK04100_EXPORT int Srv_Vak04100_setNumeroNFCe(const char16_t* cdFilial, const char16_t* cdCaixa,
                                               const char16_t* serie, const char16_t* ambiente, int gravaInutiliza,
                                               QVariant* result) noexcept;

// For hosts and tools that use the data service without the screen (the screen creates
// and releases the data module itself): creates rdmFidelidade when it is empty and
// connects it with the host's connection string. 0 on success; 1 when the module cannot
// be created or connected, with the error's text in *error (nullptr: not written).
VAK04100_EXPORT int Srv_Vak04100_CriaModuloDados(QVariant* error) noexcept;
// Releases rdmFidelidade, closing its connection, when there is one.
VAK04100_EXPORT void Srv_Vak04100_LiberaModuloDados() noexcept;
}
