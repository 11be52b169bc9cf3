#pragma once
// The CF-e SAT document (model 59) in the device's layout, and the device's answer to a
// sale as the host hands it on: name=value lines. Builders for the simulated device and
// readers for the answer, so that both ends agree on one layout.
//
// Pure functions; buildCfe throws platform::HostError when the sale cannot make a valid
// key (see NFCeKey.h).

#include "PossvcExport.h"
#include "host/possvc/sale/SaleServicesModel.h"
#include "hostapi/SatAnswer.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace possvc::sat {

// The serial number of the simulated device (nserieSAT, 9 digits).
constexpr char kSimulatedSerial[] = "900001234";

struct POSSVC_EXPORT CfeInput {
    Issuer issuer;
    QString satSerial = QString::fromLatin1(kSimulatedSerial);
    QString softwareHouseCnpj = QStringLiteral("16716114000172");
    QString cashRegister;       // numeroCaixa, up to 3 digits
    int number = 1;             // nCFe
    QDateTime issuedAt;
    int environment = 2;        // tpAmb
    QString consumerCpf;        // CPF (11) or CNPJ (14); empty: consumer not identified
    QString consumerName;
    QList<SaleItem> items;
    double paid = 0.0;          // paid in cash (cMP 01)
};

struct Cfe {
    QString key;                // 44 digits, without the "CFe" prefix
    QString xml;                // the signed document, pretty-printed, UTF-8 declaration
    QString timeStamp;          // AAAAMMDDHHMMSS
    QString total;              // vCFe, "0.01"
    QString consumer;           // CPF/CNPJ or empty
    QString qrSignature;        // assinaturaQRCODE, 344 base64 characters
    QString number;             // nCFe, 6 digits
};

POSSVC_EXPORT Cfe buildCfe(const CfeInput& input);

// How the document travels in the answer's "arqxmlnfce" line.
enum class XmlForm {
    Base64,         // as the device returns it (arquivoCFeSAT)
    Xml,            // decoded, pretty-printed
    XmlPrefixed,    // decoded, every element under a namespace prefix
};

// The answer to a sale that was issued: numeroSessao, EEEEE 06000, CCCC, mensagem,
// cod, mensagemSEFAZ, arqxmlnfce, timeStamp, chaveConsulta ("CFe" + key),
// valorTotalCFe, CPFCNPJValue, assinaturaQRCODE, one name=value line each.
POSSVC_EXPORT QStringList issuedAnswer(int session, const Cfe& cfe, XmlForm form);
// The answer to a refused sale: numeroSessao, EEEEE, CCCC, mensagem, cod, mensagemSEFAZ.
POSSVC_EXPORT QStringList refusedAnswer(int session, const QString& code, const QString& message);

// Readers of the answer, shared with the module (hostapi/SatAnswer.h).
using hostapi::sat::answerValue;
using hostapi::sat::answerXml;
using hostapi::sat::bareKey;
using hostapi::sat::cfeNumber;
using hostapi::sat::decodeXml;
using hostapi::sat::qrText;

}  // namespace possvc::sat
