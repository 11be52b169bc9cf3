#pragma once
// The SAT device's answer to a sale (possvc SATOnline) as both ends read it: name=value
// lines — numeroSessao, EEEEE, CCCC, mensagem, cod, mensagemSEFAZ, arqxmlnfce, timeStamp,
// chaveConsulta ("CFe" + the 44-digit key), valorTotalCFe, CPFCNPJValue,
// assinaturaQRCODE. The module reads the issued CF-e from it; the host reads it again when
// it records or recovers that CF-e. Pure functions.

#include <QByteArray>
#include <QChar>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

namespace hostapi::sat {

namespace detail {

// The names of the answer's lines; a line that starts with one of them and "=" begins a
// new value, any other line continues the one before (a pretty-printed document).
inline const QStringList& answerNames()
{
    static const QStringList names{
        QStringLiteral("numeroSessao"), QStringLiteral("EEEEE"),         QStringLiteral("CCCC"),
        QStringLiteral("mensagem"),     QStringLiteral("cod"),           QStringLiteral("mensagemSEFAZ"),
        QStringLiteral("arqxmlnfce"),   QStringLiteral("timeStamp"),     QStringLiteral("chaveConsulta"),
        QStringLiteral("valorTotalCFe"), QStringLiteral("CPFCNPJValue"), QStringLiteral("assinaturaQRCODE"),
    };
    return names;
}

// The name a line gives a value to, or "" for a line that names none.
inline QString lineName(const QString& line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.left(eq).trimmed();
}

inline bool startsValue(const QString& line)
{
    const QString name = lineName(line);
    if (name.isEmpty())
        return false;
    for (const QString& known : answerNames())
        if (name.compare(known, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

inline QString withoutByteOrderMark(QString text)
{
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

// A CF-e number of one to six digits, brought to its six places; "" for anything else.
inline QString sixDigits(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^\\d{1,6}$"));
    return re.match(text).hasMatch() ? text.rightJustified(6, QLatin1Char('0')) : QString();
}

}  // namespace detail

// The value of `name`: the text after the first "=" of the first line with that name
// (names compared without regard to case); "" when absent.
inline QString answerValue(const QStringList& lines, const QString& name)
{
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq >= 0 && line.left(eq).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return {};
}

// The CF-e document of the answer. The device's XML may reach us base64-encoded, as XML
// on one line, or pretty-printed and split over several lines of the answer: the lines
// after "arqxmlnfce" that name no field of the answer are part of it.
inline QString answerXml(const QStringList& lines)
{
    // An element of the list may itself hold several lines.
    const QStringList all = lines.join(QLatin1Char('\n')).split(QLatin1Char('\n'));
    QStringList parts;
    bool inside = false;
    for (const QString& line : all) {
        if (!inside) {
            if (detail::lineName(line).compare(QLatin1String("arqxmlnfce"), Qt::CaseInsensitive) == 0) {
                parts << line.mid(line.indexOf(QLatin1Char('=')) + 1);
                inside = true;
            }
        } else if (detail::startsValue(line)) {
            break;
        } else {
            parts << line;
        }
    }
    return parts.join(QLatin1Char('\n'));
}

// The document as XML text: as it stands when it starts with "<" (after a byte-order
// mark), decoded when it is base64 (line breaks and blanks ignored); "" otherwise.
inline QString decodeXml(const QString& value)
{
    const QString v = detail::withoutByteOrderMark(value.trimmed());
    if (v.startsWith(QLatin1Char('<')))
        return v;
    QByteArray base64 = v.toLatin1();
    base64.replace('\n', QByteArray()).replace('\r', QByteArray()).replace(' ', QByteArray());
    const auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return {};
    const QString xml = detail::withoutByteOrderMark(QString::fromUtf8(decoded.decoded).trimmed());
    return xml.startsWith(QLatin1Char('<')) ? xml : QString();
}

// The 44-digit key of a "chaveConsulta" value (without its "CFe" prefix).
inline QString bareKey(const QString& chaveConsulta)
{
    const QString key = chaveConsulta.trimmed();
    return key.startsWith(QLatin1String("CFe"), Qt::CaseInsensitive) ? key.mid(3) : key;
}

// The CF-e number: the nCFe element of the document (base64 or XML, any namespace
// prefix, any layout), else positions 32 to 37 of the access key; "" when neither has it.
inline QString cfeNumber(const QString& arqxml, const QString& chaveConsulta)
{
    const QString xml = decodeXml(arqxml);
    if (!xml.isEmpty()) {
        QXmlStreamReader reader(xml);
        while (!reader.atEnd()) {
            if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == QLatin1String("nCFe")) {
                const QString n = detail::sixDigits(reader.readElementText().trimmed());
                if (!n.isEmpty())
                    return n;
                break;
            }
        }
        // A document the reader cannot take whole (cut, or an undeclared prefix) may
        // still carry the element.
        static const QRegularExpression element(QStringLiteral("<(?:[\\w.-]+:)?nCFe\\s*>\\s*(\\d{1,6})\\s*<"));
        const auto m = element.match(xml);
        if (m.hasMatch())
            return detail::sixDigits(m.captured(1));
    }
    const QString key = bareKey(chaveConsulta);
    return key.size() == 44 ? key.mid(31, 6) : QString();
}

// The CF-e QR-code text: key without "CFe" | timeStamp | valorTotalCFe | CPFCNPJValue |
// assinaturaQRCODE.
inline QString qrText(const QStringList& answer)
{
    return QStringList{bareKey(answerValue(answer, QStringLiteral("chaveConsulta"))),
                       answerValue(answer, QStringLiteral("timeStamp")),
                       answerValue(answer, QStringLiteral("valorTotalCFe")),
                       answerValue(answer, QStringLiteral("CPFCNPJValue")),
                       answerValue(answer, QStringLiteral("assinaturaQRCODE"))}
        .join(QLatin1Char('|'));
}

}  // namespace hostapi::sat
