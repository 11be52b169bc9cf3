#pragma once
// The sale as the simulated sale services see it: the issuer (the shop), the items, the
// consumer and the identifiers of its electronic document. Built from the close-out's
// datasets, from the stored sale, or from the non-fiscal print's packets; read by the
// CF-e builder and by the customer copy.

#include "PossvcExport.h"
#include <QDateTime>
#include <QList>
#include <QString>

namespace possvc {

// The shop that issues the documents. Simulated values, settable by the host
// (possvc::sim::setIssuer); the CNPJ carries valid check digits.
struct POSSVC_EXPORT Issuer {
    QString cnpj = QStringLiteral("11222333000181");
    QString stateRegistration = QStringLiteral("111111111111");
    QString name = QStringLiteral("Loja de Demonstração Ltda.");
    QString tradeName = QStringLiteral("Loja Demonstração");
    QString street = QStringLiteral("Rua das Flores");
    QString number = QStringLiteral("100");
    QString district = QStringLiteral("Centro");
    QString city = QStringLiteral("São Paulo");
    QString zip = QStringLiteral("01001000");
    QString uf = QStringLiteral("SP");
};

struct POSSVC_EXPORT SaleItem {
    QString sequence;     // "001", "002", ...
    QString product;      // internal product code
    QString barcode;      // code on fiscal documents
    QString name;
    QString unit = QStringLiteral("UN");
    double quantity = 1.0;
    double unitPrice = 0.0;
    double discount = 0.0;
    double taxRate = 0.0;  // percent
    QString taxType;       // fiscal tax type: T taxed, F substitution, I exempt, N not taxed
    QString taxCode;

    double gross() const;  // quantity × unit price, in cents precision
    double net() const;    // gross less discount
};

enum class DocumentKind { Nfce, Sat };

struct POSSVC_EXPORT SaleDocument {
    DocumentKind kind = DocumentKind::Nfce;
    QString branch;
    QString cashRegister;
    QString sequence;      // NRSEQVENDA
    QString operatorName;
    QString consumerName;
    QString consumerCpf;
    QString consumerAddress;
    QString password;      // coupon password drawn by the receipt
    QList<SaleItem> items;
    double paid = 0.0;     // amount paid (the cash movement)

    QString number;        // NFC-e number or CF-e number
    QString series;        // NFC-e series
    QString satSerial;     // SAT device serial
    QString key;           // 44-digit access key, without prefix
    QString qrText;
    QString protocol;      // NFC-e authorisation protocol
    int environment = 2;   // 1 production, 2 homologation
    QDateTime issuedAt;

    double grossTotal() const;
    double discountTotal() const;
    double netTotal() const;
};

// Money with a dot and two decimals ("0.01"), as fiscal documents write it.
POSSVC_EXPORT QString fiscalMoney(double value);
// Money as the customer reads it ("1.234,56").
POSSVC_EXPORT QString displayMoney(double value);
// The digits of a text, in order ("123.456.789-09" -> "12345678909").
POSSVC_EXPORT QString onlyDigits(const QString& text);
// A value rounded to cents, half away from zero, free of binary noise.
POSSVC_EXPORT double roundCents(double value);

}  // namespace possvc
