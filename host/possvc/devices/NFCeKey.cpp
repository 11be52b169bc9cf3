#include "host/possvc/devices/NFCeKey.h"

#include "platform/Error.h"

#include <QCryptographicHash>
#include <QHash>

namespace possvc::nfce {

namespace {

// Brings a numeric part to its width with leading zeros; refuses what does not fit,
// since a longer value would shift every later field of the key.
QString fixed(const QString& value, int width, const char* what, bool digitsOnly = true)
{
    const QString v = value.trimmed();
    if (v.size() > width)
        throw platform::HostError(QStringLiteral("Chave de acesso: %1 '%2' excede %3 dígitos")
                                      .arg(QLatin1String(what), v).arg(width));
    if (digitsOnly) {
        for (QChar c : v)
            if (!c.isDigit())
                throw platform::HostError(QStringLiteral("Chave de acesso: %1 '%2' não é numérico")
                                              .arg(QLatin1String(what), v));
    }
    return v.rightJustified(width, QLatin1Char('0'));
}

QString cnpjPart(const QString& cnpj)
{
    QString v;
    for (QChar c : cnpj)
        if (c.isLetterOrNumber())
            v += c.toUpper();
    if (v.size() != 14)
        throw platform::HostError(QStringLiteral("Chave de acesso: CNPJ '%1' não tem 14 caracteres").arg(cnpj));
    return v;
}

QString withDigit(const QString& body)
{
    return body + QString::number(modulo11(body));
}

}  // namespace

int modulo11(QStringView digits43)
{
    int sum = 0;
    int weight = 2;
    for (qsizetype i = digits43.size() - 1; i >= 0; --i) {
        sum += (digits43[i].unicode() - '0') * weight;
        weight = weight == 9 ? 2 : weight + 1;
    }
    const int digit = 11 - sum % 11;
    return digit >= 10 ? 0 : digit;
}

bool isValidKey(QStringView key)
{
    if (key.size() != 44 || !key.back().isDigit())
        return false;
    for (QChar c : key)
        if (!c.isLetterOrNumber() || c.unicode() > 127)
            return false;
    return modulo11(key.left(43)) == key.back().unicode() - '0';
}

int ufCode(const QString& sigla)
{
    static const QHash<QString, int> codes{
        {"RO", 11}, {"AC", 12}, {"AM", 13}, {"RR", 14}, {"PA", 15}, {"AP", 16}, {"TO", 17},
        {"MA", 21}, {"PI", 22}, {"CE", 23}, {"RN", 24}, {"PB", 25}, {"PE", 26}, {"AL", 27},
        {"SE", 28}, {"BA", 29}, {"MG", 31}, {"ES", 32}, {"RJ", 33}, {"SP", 35}, {"PR", 41},
        {"SC", 42}, {"RS", 43}, {"MS", 50}, {"MT", 51}, {"GO", 52}, {"DF", 53}};
    return codes.value(sigla.trimmed().toUpper(), 0);
}

QString nfceKey(const NfceKeyParts& p)
{
    if (!p.issued.isValid())
        throw platform::HostError(QStringLiteral("Chave de acesso: data de emissão inválida"));
    const QString body = fixed(QString::number(p.uf), 2, "cUF") + p.issued.toString(QStringLiteral("yyMM"))
                         + cnpjPart(p.cnpj) + QStringLiteral("65") + fixed(p.series, 3, "série")
                         + fixed(p.number, 9, "número") + fixed(QString::number(p.emissionType), 1, "tpEmis")
                         + fixed(p.randomCode, 8, "cNF");
    return withDigit(body);
}

QString cfeKey(const CfeKeyParts& p)
{
    if (!p.issued.isValid())
        throw platform::HostError(QStringLiteral("Chave de acesso: data de emissão inválida"));
    const QString body = fixed(QString::number(p.uf), 2, "cUF") + p.issued.toString(QStringLiteral("yyMM"))
                         + cnpjPart(p.cnpj) + QStringLiteral("59") + fixed(p.satSerial, 9, "nserieSAT")
                         + fixed(p.number, 6, "nCFe") + fixed(p.randomCode, 6, "cNF");
    return withDigit(body);
}

QString randomCode(const QByteArray& seed, int width, const QString& number)
{
    const QByteArray hash = QCryptographicHash::hash(seed, QCryptographicHash::Sha256);
    quint64 n = 0;
    for (int i = 0; i < 8; ++i)
        n = (n << 8) | quint8(hash[i]);
    quint64 modulus = 1;
    for (int i = 0; i < width; ++i)
        modulus *= 10;
    QString code = QString::number(n % modulus).rightJustified(width, QLatin1Char('0'));
    // The code must not repeat the document number.
    if (code.toULongLong() == number.toULongLong())
        code = QString::number((n + 1) % modulus).rightJustified(width, QLatin1Char('0'));
    return code;
}

QString nfceQrText(const QString& baseUrl, const QString& key, int environment,
                   const QString& idToken, const QString& csc)
{
    QString token = idToken.trimmed();
    while (token.size() > 1 && token.startsWith(QLatin1Char('0')))
        token.remove(0, 1);
    const QString data = key + QStringLiteral("|2|") + QString::number(environment) + QLatin1Char('|') + token;
    const QByteArray hash =
        QCryptographicHash::hash((data + csc).toUtf8(), QCryptographicHash::Sha1).toHex().toUpper();
    return baseUrl + QStringLiteral("?p=") + data + QLatin1Char('|') + QString::fromLatin1(hash);
}

int environmentCode(const QString& terminalValue)
{
    const QString v = terminalValue.trimmed().toUpper();
    return (v == QLatin1String("1") || v == QLatin1String("P") || v == QLatin1String("PRODUCAO")) ? 1 : 2;
}

QString protocol(int uf, const QDate& date, qint64 sequence)
{
    return QStringLiteral("1") + QString::number(uf).rightJustified(2, QLatin1Char('0'))
           + date.toString(QStringLiteral("yy"))
           + QString::number(sequence % 10000000000LL).rightJustified(10, QLatin1Char('0'));
}

QString groupedKey(const QString& key)
{
    QString out;
    for (qsizetype i = 0; i < key.size(); i += 4) {
        if (!out.isEmpty())
            out += QLatin1Char(' ');
        out += key.mid(i, 4);
    }
    return out;
}

}  // namespace possvc::nfce
