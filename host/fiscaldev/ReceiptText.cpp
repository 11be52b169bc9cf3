#include "host/fiscaldev/ReceiptText.h"

#include <QLocale>

#include <cmath>

namespace fiscaldev::sim::text {

namespace {

const QLocale& brazil()
{
    static const QLocale locale = [] {
        QLocale l(QLocale::Portuguese, QLocale::Brazil);
        l.setNumberOptions(QLocale::OmitGroupSeparator);
        return l;
    }();
    return locale;
}

QString dateTime(const QDateTime& when)
{
    return when.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
}

}  // namespace

QString money(double value, int decimals)
{
    // Rounded to the printed decimals first, so that -0,00 never appears.
    const double scale = std::pow(10.0, decimals);
    double rounded = std::round(value * scale) / scale;
    if (rounded == 0)
        rounded = 0;
    return brazil().toString(rounded, 'f', decimals);
}

QString spread(const QString& left, const QString& right, int width)
{
    const int room = width - right.size() - 1;
    QString l = left;
    if (room < 0)
        return right.left(width);
    if (l.size() > room)
        l.truncate(room);
    return l + QString(width - l.size() - right.size(), QLatin1Char(' ')) + right;
}

QString centred(const QString& text, int width)
{
    if (text.size() >= width)
        return text.left(width);
    return QString((width - text.size()) / 2, QLatin1Char(' ')) + text;
}

QStringList wrapped(const QString& text, int width)
{
    QStringList lines;
    QString line;
    for (QString word : text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        while (word.size() > width) {
            if (!line.isEmpty()) {
                lines.append(line);
                line.clear();
            }
            lines.append(word.left(width));
            word.remove(0, width);
        }
        if (word.isEmpty())
            continue;
        if (line.isEmpty())
            line = word;
        else if (line.size() + 1 + word.size() <= width)
            line += QLatin1Char(' ') + word;
        else {
            lines.append(line);
            line = word;
        }
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

QString rule(QChar c)
{
    return QString(kWidth, c);
}

QString number6(int n)
{
    return QStringLiteral("%1").arg(n, 6, 10, QLatin1Char('0'));
}

QStringList openingLines(const Opening& o)
{
    QStringList lines{rule(QLatin1Char('=')), centred(QStringLiteral("ECF SIMULADA")),
                      centred(QStringLiteral("Nº de série ") + o.serial), rule(),
                      spread(dateTime(o.when), QStringLiteral("CCF:%1 COO:%2").arg(number6(o.ccf), number6(o.coo)))};
    if (!o.cpf.trimmed().isEmpty() || !o.name.trimmed().isEmpty() || !o.address.trimmed().isEmpty()) {
        lines.append(rule());
        if (!o.cpf.trimmed().isEmpty())
            lines.append(QStringLiteral("CPF/CNPJ consumidor: ") + o.cpf.trimmed());
        if (!o.name.trimmed().isEmpty())
            lines += wrapped(QStringLiteral("Nome: ") + o.name);
        if (!o.address.trimmed().isEmpty())
            lines += wrapped(QStringLiteral("Endereço: ") + o.address);
    }
    lines += {rule(), centred(QStringLiteral("CUPOM FISCAL")), QStringLiteral("ITEM CÓDIGO DESCRIÇÃO"),
              spread(QStringLiteral("     QTD. UN. VL.UNIT(R$)  ST"), QStringLiteral("VL.ITEM(R$)")), rule()};
    return lines;
}

double Item::total() const
{
    return std::round((quantity * unitPrice - discount + surcharge) * 100.0) / 100.0;
}

QStringList itemLines(const Item& item)
{
    const QString head = QStringLiteral("%1 %2 ").arg(item.number, 3, 10, QLatin1Char('0')).arg(item.code);
    QStringList lines = wrapped(head + item.description);
    const QString tax = item.taxCode + QLatin1Char(' ') + item.rate + QLatin1Char('%');
    const QString detail = QStringLiteral("     %1 %2 X %3  %4")
                               .arg(money(item.quantity, 3), item.unit.isEmpty() ? QStringLiteral("UN") : item.unit,
                                    money(item.unitPrice), tax);
    lines.append(spread(detail, money(item.quantity * item.unitPrice)));
    if (item.discount > 0)
        lines.append(spread(QStringLiteral("     desconto item"), QLatin1Char('-') + money(item.discount)));
    if (item.surcharge > 0)
        lines.append(spread(QStringLiteral("     acréscimo item"), QLatin1Char('+') + money(item.surcharge)));
    return lines;
}

QStringList closingLines(const Closing& c)
{
    QStringList lines{rule()};
    if (c.discount > 0) {
        lines.append(spread(QStringLiteral("SUBTOTAL R$"), money(c.subtotal)));
        lines.append(spread(QStringLiteral("DESCONTO R$"), QLatin1Char('-') + money(c.discount)));
    }
    lines.append(spread(QStringLiteral("TOTAL R$"), money(c.total)));
    lines.append(spread(QStringLiteral("Dinheiro"), money(c.total)));
    lines.append(rule());
    if (!c.operatorCode.isEmpty() || !c.operatorName.isEmpty())
        lines += wrapped(QStringLiteral("Operador: %1 %2").arg(c.operatorCode, c.operatorName).trimmed());
    if (!c.password.isEmpty())
        lines.append(QStringLiteral("Senha: ") + c.password);
    if (!c.footnote.trimmed().isEmpty())
        lines += wrapped(c.footnote);
    if (!c.md5.trimmed().isEmpty())
        lines += wrapped(c.md5.trimmed().startsWith(QStringLiteral("MD-5"), Qt::CaseInsensitive)
                             ? c.md5.trimmed()
                             : QStringLiteral("MD-5: ") + c.md5.trimmed());
    lines.append(spread(dateTime(c.when), QStringLiteral("COO:") + number6(c.coo)));
    lines.append(rule(QLatin1Char('=')));
    return lines;
}

QStringList cancellationLines(const Cancellation& c)
{
    QStringList lines;
    if (c.coo > 0) {
        // A closed receipt is cancelled by a document of its own.
        lines += {rule(QLatin1Char('=')), centred(QStringLiteral("ECF SIMULADA")),
                  spread(dateTime(c.when), QStringLiteral("COO:") + number6(c.coo))};
    }
    lines += {rule(), centred(QStringLiteral("CUPOM FISCAL CANCELADO")),
              spread(QStringLiteral("COO do cupom cancelado:"), number6(c.cancelledCoo)),
              spread(QStringLiteral("Valor cancelado R$"), money(c.total))};
    if (!c.reason.isEmpty())
        lines += wrapped(c.reason);
    lines += {dateTime(c.when), rule(QLatin1Char('='))};
    return lines;
}

}  // namespace fiscaldev::sim::text
