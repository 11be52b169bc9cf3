// Reading the SAT device's answer: values by name, the QR-code text, the CF-e number in
// every form the document may arrive in.

#include "hostapi/SatAnswer.h"
#include "host/possvc/devices/SatCfe.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace {

using namespace hostapi::sat;

const QString kChave = QStringLiteral("35150708723218000186599000040190000215133408");

// A sale's answer as the device gives it, the document in `arq` as it stands.
QStringList resposta(const QString& arq, const QString& cpf = {})
{
    possvc::sat::Cfe cfe;
    cfe.key = kChave;
    cfe.xml = arq;
    cfe.timeStamp = QStringLiteral("20150718154423");
    cfe.total = QStringLiteral("2.00");
    cfe.consumer = cpf;
    cfe.qrSignature = QStringLiteral("Z5nVOl+/IwQ==");
    return possvc::sat::issuedAnswer(123456, cfe, possvc::sat::XmlForm::Xml);
}

const QString kXml = QStringLiteral(
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CFe>\n  <infCFe Id=\"CFe%1\"\n     versao=\"0.07\">\n"
    "    <ide>\n      <cUF>35</cUF>\n      <nserieSAT>900004019</nserieSAT>\n      <nCFe>000123</nCFe>\n"
    "      <dEmi>20150718</dEmi>\n    </ide>\n    <infAdic><infCpl>linha 1\nlinha=2</infCpl></infAdic>\n"
    "  </infCFe>\n</CFe>\n").arg(kChave);

TEST(RetornoSat, ValorPeloNomeAteOPrimeiroIgual)
{
    const QStringList r = resposta(QStringLiteral("PD94bWw="));
    EXPECT_EQ(answerValue(r, QStringLiteral("ASSINATURAQRCODE")), QStringLiteral("Z5nVOl+/IwQ=="));
    EXPECT_EQ(answerValue(r, QStringLiteral("arqxmlnfce")), QStringLiteral("PD94bWw="));
    EXPECT_EQ(answerValue(r, QStringLiteral("CPFCNPJValue")), QString());
    EXPECT_EQ(answerValue(r, QStringLiteral("naoExiste")), QString());
}

TEST(RetornoSat, QrCodeSemPrefixoDaChaveComOsCincoCampos)
{
    EXPECT_EQ(qrText(resposta({})), kChave + QStringLiteral("|20150718154423|2.00||Z5nVOl+/IwQ=="));
    EXPECT_EQ(qrText(resposta({}, QStringLiteral("46541673000150"))),
              kChave + QStringLiteral("|20150718154423|2.00|46541673000150|Z5nVOl+/IwQ=="));
    EXPECT_EQ(bareKey(QStringLiteral("CFe") + kChave), kChave);
    EXPECT_EQ(bareKey(kChave), kChave);
}

TEST(RetornoSat, NumeroDoCfeEmBase64)
{
    const QString base64 = QString::fromLatin1(kXml.toUtf8().toBase64());
    const QStringList r = resposta(base64);
    // The base64 text does not contain "nCFe": the element is found only after decoding.
    ASSERT_FALSE(base64.contains(QLatin1String("nCFe")));
    EXPECT_EQ(cfeNumber(answerXml(r), answerValue(r, QStringLiteral("chaveConsulta"))), QStringLiteral("000123"));
}

TEST(RetornoSat, NumeroDoCfeEmXmlQuebradoEmLinhas)
{
    // A pretty-printed document whose lines became lines of the answer.
    const QStringList r = resposta(kXml).join(QLatin1Char('\n')).split(QLatin1Char('\n'));
    const QString xml = answerXml(r);
    EXPECT_TRUE(xml.contains(QLatin1String("<nCFe>000123</nCFe>")));
    EXPECT_TRUE(xml.trimmed().endsWith(QLatin1String("</CFe>")));
    EXPECT_EQ(cfeNumber(xml, QStringLiteral("CFe") + kChave), QStringLiteral("000123"));
    // The lines after the document keep their own values.
    EXPECT_EQ(answerValue(r, QStringLiteral("timeStamp")), QStringLiteral("20150718154423"));
}

TEST(RetornoSat, NumeroDoCfeComPrefixoDeNamespace)
{
    QString declarado = kXml;
    declarado.replace(QLatin1String("<CFe>"), QLatin1String("<sat:CFe xmlns:sat=\"http://www.fazenda.sp.gov.br/sat\">"))
        .replace(QLatin1String("</CFe>"), QLatin1String("</sat:CFe>"))
        .replace(QLatin1String("<nCFe>"), QLatin1String("<sat:nCFe>"))
        .replace(QLatin1String("</nCFe>"), QLatin1String("</sat:nCFe>"));
    EXPECT_EQ(cfeNumber(declarado, {}), QStringLiteral("000123"));
    // A prefix that is never declared: the reader gives up, the element is still found.
    QString solto = kXml;
    solto.replace(QLatin1String("<nCFe>"), QLatin1String("<ns0:nCFe>")).replace(QLatin1String("</nCFe>"), QLatin1String("</ns0:nCFe>"));
    EXPECT_EQ(cfeNumber(solto, {}), QStringLiteral("000123"));
}

TEST(RetornoSat, SemElementoUsaAsPosicoesDaChave)
{
    EXPECT_EQ(cfeNumber(QStringLiteral("<CFe><infCFe/></CFe>"), QStringLiteral("CFe") + kChave), QStringLiteral("000021"));
    EXPECT_EQ(cfeNumber(QString(), QStringLiteral("CFe") + kChave), QStringLiteral("000021"));
    EXPECT_EQ(cfeNumber(QStringLiteral("lixo"), kChave), QStringLiteral("000021"));
    EXPECT_EQ(cfeNumber(QString(), QString()), QString());
    // Not the text after the word "nCFe" anywhere: only the element counts.
    EXPECT_EQ(cfeNumber(QStringLiteral("<CFe><obs>nCFe>999999</obs></CFe>"), kChave), QStringLiteral("000021"));
}

// The reference device's answers, in each form it can send the document.
TEST(RetornoSat, RespostasDoDispositivoDeReferencia)
{
    possvc::sat::CfeInput in;
    in.cashRegister = QStringLiteral("003");
    in.number = 321;
    in.issuedAt = QDateTime(QDate(2026, 12, 7), QTime(10, 0));
    in.items = {possvc::SaleItem{.sequence = QStringLiteral("001"), .product = QStringLiteral("P1"),
                                 .barcode = QStringLiteral("7890000000011"), .name = QStringLiteral("Caneca"),
                                 .unitPrice = 10.0, .discount = 9.99, .taxRate = 18, .taxType = QStringLiteral("T"),
                                 .taxCode = {}}};
    in.paid = 0.01;
    const possvc::sat::Cfe cfe = possvc::sat::buildCfe(in);
    for (auto forma : {possvc::sat::XmlForm::Base64, possvc::sat::XmlForm::Xml, possvc::sat::XmlForm::XmlPrefixed}) {
        for (bool quebrada : {false, true}) {
            QStringList r = possvc::sat::issuedAnswer(1, cfe, forma);
            if (quebrada)
                r = r.join(QLatin1Char('\n')).split(QLatin1Char('\n'));
            const QString chave = answerValue(r, QStringLiteral("chaveConsulta"));
            EXPECT_EQ(chave, QStringLiteral("CFe") + cfe.key);
            EXPECT_EQ(cfeNumber(answerXml(r), chave), QStringLiteral("000321")) << int(forma) << quebrada;
            EXPECT_EQ(qrText(r), possvc::sat::qrText(r));
            EXPECT_TRUE(qrText(r).startsWith(cfe.key + QLatin1Char('|')));
        }
    }
}

}  // namespace
