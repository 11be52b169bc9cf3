#include "host/possvc/devices/SatCfe.h"

#include "host/possvc/devices/NFCeKey.h"

#include <QCryptographicHash>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace possvc::sat {

namespace {

const QString kSatNamespace = QStringLiteral("http://www.fazenda.sp.gov.br/sat");

// A signature-shaped value: 256 bytes (an RSA-2048 signature's size) derived from the
// signed data, in base64 (344 characters). The simulated device has no private key;
// what matters to the rest of the system is the layout and that the same data gives
// the same value.
QString pseudoSignature(const QByteArray& data)
{
    QByteArray bytes;
    QByteArray block = data;
    while (bytes.size() < 256) {
        block = QCryptographicHash::hash(block, QCryptographicHash::Sha256);
        bytes += block;
    }
    return QString::fromLatin1(bytes.left(256).toBase64());
}

QString quantity(double q)
{
    return QString::number(q, 'f', 4);
}

void text(QXmlStreamWriter& w, const QString& name, const QString& value)
{
    w.writeTextElement(name, value);
}

void writeIde(QXmlStreamWriter& w, const CfeInput& in, const Cfe& cfe, const QString& signAC)
{
    w.writeStartElement(QStringLiteral("ide"));
    text(w, "cUF", cfe.key.left(2));
    text(w, "cNF", cfe.key.mid(37, 6));
    text(w, "mod", "59");
    text(w, "nserieSAT", in.satSerial);
    text(w, "nCFe", cfe.number);
    text(w, "dEmi", in.issuedAt.toString(QStringLiteral("yyyyMMdd")));
    text(w, "hEmi", in.issuedAt.toString(QStringLiteral("HHmmss")));
    text(w, "cDV", cfe.key.right(1));
    text(w, "tpAmb", QString::number(in.environment));
    text(w, "CNPJ", in.softwareHouseCnpj);
    text(w, "signAC", signAC);
    text(w, "assinaturaQRCODE", cfe.qrSignature);
    text(w, "numeroCaixa", onlyDigits(in.cashRegister).right(3).rightJustified(3, QLatin1Char('0')));
    w.writeEndElement();
}

void writeEmit(QXmlStreamWriter& w, const Issuer& is)
{
    w.writeStartElement(QStringLiteral("emit"));
    text(w, "CNPJ", onlyDigits(is.cnpj));
    text(w, "xNome", is.name);
    text(w, "xFant", is.tradeName);
    w.writeStartElement(QStringLiteral("enderEmit"));
    text(w, "xLgr", is.street);
    text(w, "nro", is.number);
    text(w, "xBairro", is.district);
    text(w, "xMun", is.city);
    text(w, "CEP", onlyDigits(is.zip));
    w.writeEndElement();
    text(w, "IE", onlyDigits(is.stateRegistration));
    text(w, "cRegTrib", "3");
    text(w, "indRatISSQN", "N");
    w.writeEndElement();
}

void writeDest(QXmlStreamWriter& w, const CfeInput& in)
{
    const QString doc = onlyDigits(in.consumerCpf);
    if (doc.isEmpty()) {
        w.writeEmptyElement(QStringLiteral("dest"));
        return;
    }
    w.writeStartElement(QStringLiteral("dest"));
    text(w, doc.size() == 14 ? "CNPJ" : "CPF", doc);
    if (!in.consumerName.trimmed().isEmpty())
        text(w, "xNome", in.consumerName.trimmed().left(60));
    w.writeEndElement();
}

// ICMS group of an item by its fiscal tax type; the amount is what the device computes.
double writeIcms(QXmlStreamWriter& w, const SaleItem& item)
{
    w.writeStartElement(QStringLiteral("ICMS"));
    double tax = 0;
    const QString type = item.taxType.trimmed().toUpper();
    if (type == QLatin1String("T") && item.taxRate > 0) {
        tax = roundCents(item.net() * item.taxRate / 100.0);
        w.writeStartElement(QStringLiteral("ICMS00"));
        text(w, "Orig", "0");
        text(w, "CST", "00");
        text(w, "pICMS", fiscalMoney(item.taxRate));
        text(w, "vICMS", fiscalMoney(tax));
    } else {
        w.writeStartElement(QStringLiteral("ICMS40"));
        text(w, "Orig", "0");
        text(w, "CST", type == QLatin1String("F") ? "60" : type == QLatin1String("I") ? "40" : "41");
    }
    w.writeEndElement();
    w.writeEndElement();
    return tax;
}

double writeItem(QXmlStreamWriter& w, int n, const SaleItem& item)
{
    w.writeStartElement(QStringLiteral("det"));
    w.writeAttribute(QStringLiteral("nItem"), QString::number(n));
    w.writeStartElement(QStringLiteral("prod"));
    text(w, "cProd", item.product.trimmed());
    const QString ean = onlyDigits(item.barcode);
    if (ean == item.barcode.trimmed() && (ean.size() == 8 || ean.size() == 12 || ean.size() == 13 || ean.size() == 14))
        text(w, "cEAN", ean);
    text(w, "xProd", item.name.trimmed().left(120));
    text(w, "CFOP", "5102");
    text(w, "uCom", item.unit.trimmed().isEmpty() ? QStringLiteral("UN") : item.unit.trimmed().left(6));
    text(w, "qCom", quantity(item.quantity));
    text(w, "vUnCom", fiscalMoney(item.unitPrice));
    text(w, "vProd", fiscalMoney(item.gross()));
    text(w, "indRegra", "A");
    if (item.discount > 0)
        text(w, "vDesc", fiscalMoney(item.discount));
    text(w, "vItem", fiscalMoney(item.net()));
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("imposto"));
    const double tax = writeIcms(w, item);
    for (const char* group : {"PIS", "COFINS"}) {
        w.writeStartElement(QLatin1String(group));
        w.writeStartElement(QLatin1String(group) + QStringLiteral("NT"));
        text(w, "CST", "07");
        w.writeEndElement();
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndElement();
    return tax;
}

void writeTotals(QXmlStreamWriter& w, const CfeInput& in, double icms, const QString& total)
{
    double gross = 0, discount = 0;
    for (const SaleItem& item : in.items) {
        gross += item.gross();
        discount += item.discount;
    }
    w.writeStartElement(QStringLiteral("total"));
    w.writeStartElement(QStringLiteral("ICMSTot"));
    text(w, "vICMS", fiscalMoney(icms));
    text(w, "vProd", fiscalMoney(gross));
    text(w, "vDesc", fiscalMoney(discount));
    for (const char* zero : {"vPIS", "vCOFINS", "vPISST", "vCOFINSST", "vOutro"})
        text(w, zero, "0.00");
    w.writeEndElement();
    text(w, "vCFe", total);
    w.writeEndElement();

    w.writeStartElement(QStringLiteral("pgto"));
    w.writeStartElement(QStringLiteral("MP"));
    text(w, "cMP", "01");
    text(w, "vMP", fiscalMoney(in.paid));
    w.writeEndElement();
    text(w, "vTroco", fiscalMoney(in.paid - total.toDouble()));
    w.writeEndElement();
}

void writeSignature(QXmlStreamWriter& w, const Cfe& cfe, const QByteArray& signedPart)
{
    const QString dsig = QStringLiteral("http://www.w3.org/2000/09/xmldsig#");
    w.writeStartElement(QStringLiteral("Signature"));
    w.writeDefaultNamespace(dsig);
    w.writeStartElement(QStringLiteral("SignedInfo"));
    w.writeEmptyElement(QStringLiteral("CanonicalizationMethod"));
    w.writeAttribute(QStringLiteral("Algorithm"), QStringLiteral("http://www.w3.org/TR/2001/REC-xml-c14n-20010315"));
    w.writeEmptyElement(QStringLiteral("SignatureMethod"));
    w.writeAttribute(QStringLiteral("Algorithm"), QStringLiteral("http://www.w3.org/2001/04/xmldsig-more#rsa-sha256"));
    w.writeStartElement(QStringLiteral("Reference"));
    w.writeAttribute(QStringLiteral("URI"), QStringLiteral("#CFe") + cfe.key);
    w.writeEmptyElement(QStringLiteral("DigestMethod"));
    w.writeAttribute(QStringLiteral("Algorithm"), QStringLiteral("http://www.w3.org/2001/04/xmlenc#sha256"));
    text(w, "DigestValue",
         QString::fromLatin1(QCryptographicHash::hash(signedPart, QCryptographicHash::Sha256).toBase64()));
    w.writeEndElement();
    w.writeEndElement();
    text(w, "SignatureValue", pseudoSignature("cfe" + signedPart));
    w.writeEndElement();
}

// The same document with every element under the prefix "sat" of the device's
// namespace, as some integrations deliver it.
QString withPrefix(const QString& xml)
{
    QXmlStreamReader r(xml);
    QString out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.writeNamespace(kSatNamespace, QStringLiteral("sat"));
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartDocument())
            w.writeStartDocument();
        else if (r.isStartElement()) {
            w.writeStartElement(kSatNamespace, r.name().toString());
            for (const QXmlStreamAttribute& a : r.attributes())
                if (a.prefix().isEmpty() && a.name() != QLatin1String("xmlns"))
                    w.writeAttribute(a.name().toString(), a.value().toString());
        } else if (r.isEndElement())
            w.writeEndElement();
        else if (r.isCharacters() && !r.isWhitespace())
            w.writeCharacters(r.text().toString());
    }
    w.writeEndDocument();
    return out;
}

}  // namespace

namespace {

// The document's identity: number, time stamp, total, access key and the QR code's
// signature, all derived from the input.
Cfe identifyCfe(const CfeInput& in)
{
    Cfe cfe;
    cfe.number = QString::number(in.number).rightJustified(6, QLatin1Char('0'));
    cfe.timeStamp = in.issuedAt.toString(QStringLiteral("yyyyMMddHHmmss"));
    cfe.consumer = onlyDigits(in.consumerCpf);
    double net = 0;
    for (const SaleItem& item : in.items)
        net += item.net();
    cfe.total = fiscalMoney(net);

    nfce::CfeKeyParts parts;
    parts.uf = nfce::ufCode(in.issuer.uf);
    parts.issued = in.issuedAt.date();
    parts.cnpj = in.issuer.cnpj;
    parts.satSerial = in.satSerial;
    parts.number = cfe.number;
    parts.randomCode = nfce::randomCode((in.satSerial + cfe.number + cfe.timeStamp).toUtf8(), 6, cfe.number);
    cfe.key = nfce::cfeKey(parts);
    cfe.qrSignature = pseudoSignature(
        (cfe.key + '|' + cfe.timeStamp + '|' + cfe.total + '|' + cfe.consumer).toUtf8());
    return cfe;
}

// The signed part, infCFe, on its own.
QString signedPart(const CfeInput& in, const Cfe& cfe)
{
    const QString signAC = pseudoSignature((in.softwareHouseCnpj + onlyDigits(in.issuer.cnpj)).toUtf8());
    QString body;
    QXmlStreamWriter w(&body);
    w.setAutoFormatting(true);
    w.writeStartElement(QStringLiteral("infCFe"));
    w.writeAttribute(QStringLiteral("Id"), QStringLiteral("CFe") + cfe.key);
    w.writeAttribute(QStringLiteral("versao"), QStringLiteral("0.08"));
    w.writeAttribute(QStringLiteral("versaoDadosEnt"), QStringLiteral("0.08"));
    w.writeAttribute(QStringLiteral("versaoSB"), QStringLiteral("010000"));
    writeIde(w, in, cfe, signAC);
    writeEmit(w, in.issuer);
    writeDest(w, in);
    double icms = 0;
    for (int i = 0; i < in.items.size(); ++i)
        icms += writeItem(w, i + 1, in.items[i]);
    writeTotals(w, in, icms, cfe.total);
    w.writeStartElement(QStringLiteral("infAdic"));
    text(w, "infCpl", QStringLiteral("Resgate do Programa de Fidelidade"));
    w.writeEndElement();
    w.writeEndElement();
    return body;
}

// The whole document: the signed part inside the root, then its signature.
QString signedDocument(const QString& body, const Cfe& cfe)
{
    QString xml;
    QXmlStreamWriter doc(&xml);
    doc.setAutoFormatting(true);
    doc.writeStartDocument();
    doc.writeStartElement(QStringLiteral("CFe"));
    // Re-emit the signed part inside the root so that the indentation stays uniform.
    QXmlStreamReader r(body);
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement()) {
            doc.writeStartElement(r.name().toString());
            doc.writeAttributes(r.attributes());
        } else if (r.isEndElement())
            doc.writeEndElement();
        else if (r.isCharacters() && !r.isWhitespace())
            doc.writeCharacters(r.text().toString());
    }
    writeSignature(doc, cfe, body.toUtf8());
    doc.writeEndElement();
    doc.writeEndDocument();
    return xml;
}

}  // namespace

Cfe buildCfe(const CfeInput& in)
{
    Cfe cfe = identifyCfe(in);
    cfe.xml = signedDocument(signedPart(in, cfe), cfe);
    return cfe;
}

QStringList issuedAnswer(int session, const Cfe& cfe, XmlForm form)
{
    QString arq;
    switch (form) {
    case XmlForm::Base64: arq = QString::fromLatin1(cfe.xml.toUtf8().toBase64()); break;
    case XmlForm::Xml: arq = cfe.xml; break;
    case XmlForm::XmlPrefixed: arq = withPrefix(cfe.xml); break;
    }
    return {
        QStringLiteral("numeroSessao=%1").arg(session, 6, 10, QLatin1Char('0')),
        QStringLiteral("EEEEE=06000"),
        QStringLiteral("CCCC=0000"),
        QStringLiteral("mensagem=Emitido com sucesso + conteúdo notas."),
        QStringLiteral("cod="),
        QStringLiteral("mensagemSEFAZ="),
        QStringLiteral("arqxmlnfce=") + arq,
        QStringLiteral("timeStamp=") + cfe.timeStamp,
        QStringLiteral("chaveConsulta=CFe") + cfe.key,
        QStringLiteral("valorTotalCFe=") + cfe.total,
        QStringLiteral("CPFCNPJValue=") + cfe.consumer,
        QStringLiteral("assinaturaQRCODE=") + cfe.qrSignature,
    };
}

QStringList refusedAnswer(int session, const QString& code, const QString& message)
{
    return {
        QStringLiteral("numeroSessao=%1").arg(session, 6, 10, QLatin1Char('0')),
        QStringLiteral("EEEEE=") + code,
        QStringLiteral("CCCC=0000"),
        QStringLiteral("mensagem=") + message,
        QStringLiteral("cod="),
        QStringLiteral("mensagemSEFAZ="),
    };
}

}  // namespace possvc::sat
