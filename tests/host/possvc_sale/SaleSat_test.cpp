// The CF-e document and the SAT answer: built by the simulated device, read back as the
// module reads it.

#include "host/possvc/devices/NFCeKey.h"
#include "host/possvc/devices/SatCfe.h"

#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace possvc;

namespace {

sat::CfeInput sampleSale()
{
    sat::CfeInput in;
    in.cashRegister = QStringLiteral("003");
    in.number = 123;
    in.issuedAt = QDateTime(QDate(2026, 12, 7), QTime(10, 15, 30));
    in.consumerCpf = QStringLiteral("123.456.789-09");
    in.consumerName = QStringLiteral("Maria da Silva");
    SaleItem a;
    a.product = QStringLiteral("P1");
    a.barcode = QStringLiteral("7891234567895");
    a.name = QStringLiteral("Caneca");
    a.unitPrice = 10.0;
    a.discount = 10.0;
    a.taxRate = 18;
    a.taxType = QStringLiteral("T");
    SaleItem b = a;
    b.product = QStringLiteral("P2");
    b.name = QStringLiteral("Camiseta <P&M>");
    b.unitPrice = 25.5;
    b.discount = 25.49;
    in.items = {a, b};
    in.paid = 0.01;
    return in;
}

// Text of the first element with this local name.
QString element(const QString& xml, const QString& name)
{
    QXmlStreamReader r(xml);
    while (!r.atEnd())
        if (r.readNext() == QXmlStreamReader::StartElement && r.name() == name)
            return r.readElementText(QXmlStreamReader::IncludeChildElements);
    return QStringLiteral("<absent>");
}

}  // namespace

TEST(CfeDocument, LayoutAndTotals)
{
    const sat::Cfe cfe = sat::buildCfe(sampleSale());
    EXPECT_TRUE(nfce::isValidKey(cfe.key)) << qPrintable(cfe.key);
    EXPECT_EQ(cfe.key.mid(20, 2), QStringLiteral("59"));
    EXPECT_EQ(cfe.key.mid(22, 9), QStringLiteral("900001234"));
    EXPECT_EQ(cfe.key.mid(31, 6), QStringLiteral("000123"));
    EXPECT_EQ(cfe.number, QStringLiteral("000123"));
    EXPECT_EQ(cfe.timeStamp, QStringLiteral("20261207101530"));
    EXPECT_EQ(cfe.total, QStringLiteral("0.01"));
    EXPECT_EQ(cfe.consumer, QStringLiteral("12345678909"));
    EXPECT_EQ(cfe.qrSignature.size(), 344);

    QXmlStreamReader r(cfe.xml);
    ASSERT_TRUE(r.readNextStartElement());
    EXPECT_EQ(r.name(), QLatin1String("CFe"));
    ASSERT_TRUE(r.readNextStartElement());
    EXPECT_EQ(r.name(), QLatin1String("infCFe"));
    EXPECT_EQ(r.attributes().value(QLatin1String("Id")), QString(QStringLiteral("CFe") + cfe.key));
    EXPECT_EQ(element(cfe.xml, QStringLiteral("nCFe")), QStringLiteral("000123"));
    EXPECT_EQ(element(cfe.xml, QStringLiteral("vCFe")), QStringLiteral("0.01"));
    EXPECT_EQ(element(cfe.xml, QStringLiteral("cDV")), cfe.key.right(1));
    EXPECT_EQ(element(cfe.xml, QStringLiteral("CPF")), QStringLiteral("12345678909"));
    EXPECT_EQ(element(cfe.xml, QStringLiteral("assinaturaQRCODE")), cfe.qrSignature);
    EXPECT_EQ(element(cfe.xml, QStringLiteral("dEmi")) + element(cfe.xml, QStringLiteral("hEmi")), cfe.timeStamp);
    EXPECT_TRUE(cfe.xml.contains(QStringLiteral("Camiseta &lt;P&amp;M&gt;")));
    EXPECT_EQ(cfe.xml.count(QStringLiteral("<det nItem=")), 2);
    EXPECT_TRUE(cfe.xml.contains(QStringLiteral("<vDesc>35.49</vDesc>")));  // total discount
}

TEST(CfeDocument, ConsumerNotIdentifiedLeavesDestEmpty)
{
    sat::CfeInput in = sampleSale();
    in.consumerCpf.clear();
    const sat::Cfe cfe = sat::buildCfe(in);
    EXPECT_TRUE(cfe.consumer.isEmpty());
    EXPECT_TRUE(cfe.xml.contains(QStringLiteral("<dest/>")));
    const QStringList answer = sat::issuedAnswer(1, cfe, sat::XmlForm::Base64);
    EXPECT_TRUE(sat::qrText(answer).contains(QStringLiteral("|0.01||")));  // the empty field is kept
}

TEST(SatAnswer, RoundTripInEveryXmlForm)
{
    const sat::Cfe cfe = sat::buildCfe(sampleSale());
    for (sat::XmlForm form : {sat::XmlForm::Base64, sat::XmlForm::Xml, sat::XmlForm::XmlPrefixed}) {
        const QStringList answer = sat::issuedAnswer(42, cfe, form);
        EXPECT_EQ(sat::answerValue(answer, QStringLiteral("EEEEE")), QStringLiteral("06000"));
        EXPECT_EQ(sat::answerValue(answer, QStringLiteral("CHAVECONSULTA")), QStringLiteral("CFe") + cfe.key);
        EXPECT_EQ(sat::answerValue(answer, QStringLiteral("assinaturaQRCODE")), cfe.qrSignature);  // '=' inside kept
        const QString arq = sat::answerValue(answer, QStringLiteral("arqxmlnfce"));
        EXPECT_EQ(sat::cfeNumber(arq, QString()), QStringLiteral("000123")) << int(form);
        EXPECT_EQ(element(sat::decodeXml(arq), QStringLiteral("vCFe")), QStringLiteral("0.01"));
        EXPECT_EQ(sat::qrText(answer),
                  cfe.key + QStringLiteral("|20261207101530|0.01|12345678909|") + cfe.qrSignature);
    }
    const QString prefixed = sat::answerValue(sat::issuedAnswer(1, cfe, sat::XmlForm::XmlPrefixed), QStringLiteral("arqxmlnfce"));
    EXPECT_TRUE(prefixed.contains(QStringLiteral("<sat:nCFe>")));
    const QString base64 = sat::answerValue(sat::issuedAnswer(1, cfe, sat::XmlForm::Base64), QStringLiteral("arqxmlnfce"));
    EXPECT_FALSE(base64.contains(QStringLiteral("nCFe")));  // the number is only found after decoding
}

TEST(SatAnswer, NumberFallsBackToTheKey)
{
    const QString key = QStringLiteral("35150708723218000186599000040190000215133408");
    EXPECT_EQ(sat::cfeNumber(QString(), QStringLiteral("CFe") + key), QStringLiteral("000021"));
    EXPECT_EQ(sat::cfeNumber(QStringLiteral("not base64 at all!"), key), QStringLiteral("000021"));
    EXPECT_EQ(sat::cfeNumber(QStringLiteral("<CFe><infCFe><ide/></infCFe></CFe>"), key), QStringLiteral("000021"));
    // A BOM before the XML is tolerated.
    EXPECT_EQ(sat::cfeNumber(QString(QChar(0xFEFF)) + QStringLiteral("<CFe><nCFe> 000777 </nCFe></CFe>"), key),
              QStringLiteral("000777"));
}

TEST(SatAnswer, RefusalCarriesTheMessage)
{
    const QStringList answer = sat::refusedAnswer(7, QStringLiteral("06001"), QStringLiteral("Código de ativação inválido."));
    EXPECT_EQ(sat::answerValue(answer, QStringLiteral("mensagem")), QStringLiteral("Código de ativação inválido."));
    EXPECT_EQ(sat::answerValue(answer, QStringLiteral("numeroSessao")), QStringLiteral("000007"));
    EXPECT_EQ(sat::answerValue(answer, QStringLiteral("chaveConsulta")), QString());
    EXPECT_EQ(sat::answerValue({QStringLiteral("semigual"), QStringLiteral("a=1"), QStringLiteral("A=2")}, QStringLiteral("a")),
              QStringLiteral("1"));
}
