#pragma once
// Helpers of the receipt and the sale document that do not need the form: number texts,
// the field lists of the sale's datasets and the reading of the SAT device's answer.

#include "platform/dataset/FieldDef.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

namespace Cli_Vak04100 {

// A number as the rate is written in the tax-table key and in the sale rows: general
// form, at most 15 significant digits, no trailing zeros, no group separator, the
// system's decimal separator (18 -> "18", 7.6 -> "7,6" under a comma locale).
QString textoNumero(double valor);

// Field lists, in their order.
platform::FieldDefs camposMovCaixa();       // 43 fields of the cash movement
platform::FieldDefs camposVenda();          // 71 fields of the sale rows
platform::FieldDefs camposParamImpCupNF();  // 52 fields of the print parameters

// ---- the SAT device's answer (name=value lines) ------------------------------------------

// The value of `nome`: the text after the first "=" of the first line with that name
// (names compared without regard to case); "" when absent.
QString valorRetornoSat(const QStringList& linhas, const QString& nome);
// The CF-e document of the answer. The device's XML may reach us base64-encoded, as
// XML on one line, or pretty-printed and split over several lines of the answer: the
// lines after "arqxmlnfce" that name no field of the answer are part of it.
QString xmlRetornoSat(const QStringList& linhas);
// The 44-digit key of a "chaveConsulta" value (without its "CFe" prefix).
QString chaveSemPrefixo(const QString& chaveConsulta);
// The CF-e number: the nCFe element of the document (base64 or XML, any namespace
// prefix, any layout), else positions 32 to 37 of the access key.
QString numeroCfe(const QString& arqxml, const QString& chaveConsulta);
// The CF-e QR-code text: key without "CFe" | timeStamp | valorTotalCFe | CPFCNPJValue |
// assinaturaQRCODE.
QString qrCodeSat(const QStringList& linhas);

}  // namespace Cli_Vak04100
