#pragma once
// Building blocks shared by the demo and the large shop: names, documents, codes, dates,
// the product tree's tax rates, and the writer of earlier redemption sales.

#include "tools/shopgen/Random.h"
#include "tools/shopgen/Sink.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace shopgen {

// A date of the shop at midnight, `offset` days from `today`.
QDateTime dia(const QDate& today, int offset);
// `n` as decimal text, zero-filled on the left to `width`.
QString codigo(qint64 n, int width);
// A CPF (11 digits) with valid check digits.
QString cpf(Rng& rng);
// The EAN-13 barcode of a 12-digit text (check digit appended).
QString ean13(const QString& digits12);
QString nomePessoa(Rng& rng);
QString endereco(Rng& rng);
QString nomeFantasia(Rng& rng, int n);

// A tax rate of the branches' ALIQIMPFIS rows.
struct Aliquota {
    double rate;
    const char* tipo;    // IDTPIMPOSFIS
    const char* codigo;  // CDIMPOSTO
};
extern const QList<Aliquota> kAliquotas;

// The columns of a point movement, in the order both shops write them.
QStringList colunasMovimentoPontos();

// One loyalty item of an earlier redemption sale.
struct ItemResgate {
    QString campanha, produto, nome, arvore;
    double pontos = 0;
    char tipo = 'R';  // 'R' points from the balance, 'V' from vouchers
};

// An earlier redemption: a sale of 0.01 with its loyalty items.
struct VendaResgate {
    QString filial, caixa, numero;  // NRSEQVENDA
    char situacao = 'O';            // IDSITUVENDA
    char impressa = 'I';            // IDIMPVENDA
    QString cliente, consumidor, nomeConsumidor;
    QDateTime quando;
    QList<ItemResgate> itens;
};

// Writes VENDA, ITVENDA, ITFIDELIDADE, MOVCAIXA and, for cancelled sales, VENDACANCELADA
// with ITVENDACANCELADA.
void writeVendas(Sink& sink, const QList<VendaResgate>& vendas);

}  // namespace shopgen
