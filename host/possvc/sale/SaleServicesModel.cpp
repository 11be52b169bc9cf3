#include "host/possvc/sale/SaleServicesModel.h"

#include <QLocale>

#include <cmath>

namespace possvc {

double roundCents(double value)
{
    return std::round(value * 100.0 + (value >= 0 ? 1e-7 : -1e-7)) / 100.0;
}

QString onlyDigits(const QString& text)
{
    QString out;
    for (QChar c : text)
        if (c.isDigit())
            out += c;
    return out;
}

QString fiscalMoney(double value)
{
    return QString::number(roundCents(value), 'f', 2);
}

QString displayMoney(double value)
{
    static const QLocale br(QLocale::Portuguese, QLocale::Brazil);
    return br.toString(roundCents(value), 'f', 2);
}

double SaleItem::gross() const
{
    return roundCents(quantity * unitPrice);
}

double SaleItem::net() const
{
    return roundCents(gross() - discount);
}

double SaleDocument::grossTotal() const
{
    double sum = 0;
    for (const SaleItem& item : items)
        sum += item.gross();
    return roundCents(sum);
}

double SaleDocument::discountTotal() const
{
    double sum = 0;
    for (const SaleItem& item : items)
        sum += item.discount;
    return roundCents(sum);
}

double SaleDocument::netTotal() const
{
    return roundCents(grossTotal() - discountTotal());
}

}  // namespace possvc
