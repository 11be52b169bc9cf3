// Text and number helpers: the reversible encoding, Ajusta, Trunc2, iif, RecebeParams.

#include "HostkitInternal.h"

#include <QStringDecoder>

#include <cmath>

namespace hostkit {

namespace {

// The key stream: a 32-bit linear congruential generator seeded with the key.
struct KeyStream {
    quint32 s;
    explicit KeyStream(int key) : s(quint32(key)) {}
    quint8 next()
    {
        s = s * 1103515245u + 12345u;
        return quint8(s >> 16);
    }
};

int hexValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

}  // namespace

QString Cripto(const QString& texto, int chave)
{
    const QByteArray plain = texto.toUtf8();
    KeyStream ks(chave);
    quint8 prev = quint8(chave & 0xFF);
    QByteArray out;
    out.reserve(plain.size());
    for (char c : plain) {
        const quint8 e = quint8(c) ^ ks.next() ^ prev;
        out.append(char(e));
        prev = e;
    }
    return QString::fromLatin1(out.toHex().toUpper());
}

QString Uncripto(const QString& texto, int chave)
{
    const QString t = texto.trimmed();
    if (t.size() % 2 != 0)
        throw platform::HostError(QStringLiteral("Texto criptografado inválido: comprimento ímpar"));
    QByteArray plain;
    plain.reserve(t.size() / 2);
    KeyStream ks(chave);
    quint8 prev = quint8(chave & 0xFF);
    for (int i = 0; i < t.size(); i += 2) {
        const int hi = hexValue(t[i]), lo = hexValue(t[i + 1]);
        if (hi < 0 || lo < 0)
            throw platform::HostError(QStringLiteral("Texto criptografado inválido: caractere '%1'").arg(hi < 0 ? t[i] : t[i + 1]));
        const quint8 e = quint8(hi * 16 + lo);
        plain.append(char(e ^ ks.next() ^ prev));
        prev = e;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString result = utf8(plain);
    if (utf8.hasError())
        throw platform::HostError(QStringLiteral("Texto criptografado inválido: chave errada ou texto corrompido"));
    return result;
}

QString Ajusta(const QString& texto, int largura)
{
    if (largura <= 0)
        return {};
    const QString t = texto.trimmed();
    bool digitsOnly = !t.isEmpty();
    for (QChar c : t)
        digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    if (digitsOnly)
        return t.size() >= largura ? t.right(largura) : t.rightJustified(largura, QLatin1Char('0'));
    return texto.leftJustified(largura, QLatin1Char(' '), true);
}

bool EmptyString(const QString& texto)
{
    return texto.trimmed().isEmpty();
}

QVariant iif(bool condicao, const QVariant& seVerdadeiro, const QVariant& seFalso)
{
    return condicao ? seVerdadeiro : seFalso;
}

double Trunc2(double valor)
{
    if (!std::isfinite(valor))
        return valor;
    // The shortest decimal text at 9 places removes the binary noise (0.28999999999999998
    // reads "0.290000000"); the cut is then made on decimal digits, not on the binary value.
    QString text = QString::number(valor, 'f', 9);
    const int dot = int(text.indexOf(QLatin1Char('.')));
    if (dot >= 0)
        text.truncate(dot + 3);
    const double result = text.toDouble();
    return result == 0.0 ? 0.0 : result;  // no negative zero
}

namespace {

// The value of the first key equal to `nome`, letter case aside, in a map or a hash.
template <typename Container>
QVariant valueByName(const Container& values, const QString& nome)
{
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        if (it.key().compare(nome, Qt::CaseInsensitive) == 0)
            return it.value();
    return {};
}

}  // namespace

QVariant RecebeParams(const QVariant& parametros, const QString& nome)
{
    switch (parametros.typeId()) {
    case QMetaType::QVariantMap:
        return valueByName(parametros.toMap(), nome);
    case QMetaType::QVariantHash:
        return valueByName(parametros.toHash(), nome);
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        const QStringList lines = parametros.toStringList();
        const QString prefix = nome + QLatin1Char('=');
        for (const QString& line : lines)
            if (line.startsWith(prefix, Qt::CaseInsensitive))
                return line.mid(prefix.size());
        return {};
    }
    default:
        return {};
    }
}

}  // namespace hostkit
