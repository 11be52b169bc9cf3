#pragma once
// Access keys of electronic fiscal documents (NFC-e model 65, CF-e SAT model 59), their
// modulo-11 check digit, the state (UF) codes, and the NFC-e QR-code text and
// authorisation protocol that the simulated NFC-e service hands back.
//
// Pure functions: no state, no I/O. Builders throw platform::HostError when a part does
// not fit its place in the key (wrong length, non-digit where a digit is required).

#include "PossvcExport.h"
#include <QDate>
#include <QString>

namespace possvc::nfce {

// The check digit of the first 43 characters of a key: weights 2..9 repeated from the
// right, digit = 11 - (sum mod 11), 10 and 11 becoming 0. Characters count as
// (char - '0') so that alphanumeric issuer codes keep working.
POSSVC_EXPORT int modulo11(QStringView digits43);

// True for 44 characters whose last one is the modulo-11 digit of the other 43.
POSSVC_EXPORT bool isValidKey(QStringView key);

// The IBGE code of a state abbreviation ("SP" -> 35); 0 when unknown.
POSSVC_EXPORT int ufCode(const QString& sigla);

struct NfceKeyParts {
    int uf = 35;            // IBGE state code
    QDate issued;           // year and month go into the key (AAMM)
    QString cnpj;           // issuer, 14 characters
    QString series;         // up to 3 digits
    QString number;         // up to 9 digits
    int emissionType = 1;   // tpEmis: 1 normal, 9 offline contingency
    QString randomCode;     // cNF, up to 8 digits
};

// The 44-character NFC-e key: cUF AAMM CNPJ 65 serie nNF tpEmis cNF cDV.
POSSVC_EXPORT QString nfceKey(const NfceKeyParts& parts);

struct CfeKeyParts {
    int uf = 35;
    QDate issued;
    QString cnpj;           // issuer (the shop), 14 characters
    QString satSerial;      // nserieSAT, 9 digits
    QString number;         // nCFe, up to 6 digits
    QString randomCode;     // cNF, up to 6 digits
};

// The 44-character CF-e key: cUF AAMM CNPJ 59 nserieSAT nCFe cNF cDV.
POSSVC_EXPORT QString cfeKey(const CfeKeyParts& parts);

// A random code for a key that differs from the document number, as the fiscal rules
// ask, derived from `seed` so that the same sale gets the same code.
POSSVC_EXPORT QString randomCode(const QByteArray& seed, int width, const QString& number);

// NFC-e QR-code text, version 2, online issue:
//   url?p=key|2|tpAmb|cIdToken|SHA1(key|2|tpAmb|cIdToken + CSC) in upper-case hex.
// cIdToken is written without leading zeros.
POSSVC_EXPORT QString nfceQrText(const QString& baseUrl, const QString& key, int environment,
                                 const QString& idToken, const QString& csc);

// The environment code (1 production, 2 homologation) of the terminal's NFC-e
// environment parameter: "1", "P" or "PRODUCAO" mean production, anything else
// homologation, so that a terminal never issues for real by mistake.
POSSVC_EXPORT int environmentCode(const QString& terminalValue);

// A 15-digit authorisation protocol: 1, cUF, two-digit year, 10-digit sequence.
POSSVC_EXPORT QString protocol(int uf, const QDate& date, qint64 sequence);

// The key in blocks of four characters separated by blanks, as printed on documents.
POSSVC_EXPORT QString groupedKey(const QString& key);

}  // namespace possvc::nfce
