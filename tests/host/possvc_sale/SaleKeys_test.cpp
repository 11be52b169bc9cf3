// Access keys, check digits and the NFC-e QR-code text.

#include "host/possvc/devices/NFCeKey.h"

#include "platform/Error.h"

#include <gtest/gtest.h>

using namespace possvc::nfce;

TEST(AccessKey, CheckDigitOfPublishedKeys)
{
    // A published NF-e example and a CF-e of a public test fixture.
    EXPECT_EQ(modulo11(u"5206043300991100250655012000000780026730161"), 5);
    EXPECT_EQ(modulo11(u"3515070872321800018659900004019000021513340"), 8);
    EXPECT_TRUE(isValidKey(u"35150708723218000186599000040190000215133408"));
    EXPECT_FALSE(isValidKey(u"35150708723218000186599000040190000215133407"));
    EXPECT_FALSE(isValidKey(u"3515070872321800018659900004019000021513340"));  // 43 characters
}

TEST(AccessKey, RemainderZeroAndOneGiveDigitZero)
{
    // Sum 11 -> remainder 0 -> 11 -> 0; sum 12 -> remainder 1 -> 10 -> 0.
    QString body(43, QLatin1Char('0'));
    body[42] = QLatin1Char('1');  // weight 2: sum 2 -> 9
    EXPECT_EQ(modulo11(body), 9);
    body[41] = QLatin1Char('3');  // + 3*3 = 11 -> remainder 0
    EXPECT_EQ(modulo11(body), 0);
    body[41] = QLatin1Char('0');
    body[40] = QLatin1Char('2');  // weights 2 and 4: 2 + 8 = 10 -> 1
    EXPECT_EQ(modulo11(body), 1);
    body[42] = QLatin1Char('0');
    body[40] = QLatin1Char('3');  // 12 -> remainder 1 -> 0
    EXPECT_EQ(modulo11(body), 0);
}

TEST(AccessKey, NfceLayout)
{
    const QString key = nfceKey({.uf = 35, .issued = QDate(2026, 12, 7), .cnpj = QStringLiteral("11.222.333/0001-81"),
                                 .series = QStringLiteral("1"), .number = QStringLiteral("123"),
                                 .randomCode = QStringLiteral("1")});
    EXPECT_EQ(key, QStringLiteral("35261211222333000181650010000001231000000013"));
    EXPECT_TRUE(isValidKey(key));
}

TEST(AccessKey, CfeLayoutKeepsNumberAtPositions32To37)
{
    const QString key = cfeKey({.uf = 35, .issued = QDate(2026, 12, 1), .cnpj = QStringLiteral("11222333000181"),
                                .satSerial = QStringLiteral("900001234"), .number = QStringLiteral("42"),
                                .randomCode = QStringLiteral("123456")});
    EXPECT_EQ(key, QStringLiteral("35261211222333000181599000012340000421234562"));
    EXPECT_EQ(key.mid(31, 6), QStringLiteral("000042"));
}

TEST(AccessKey, PartsThatDoNotFitAreRefused)
{
    NfceKeyParts p;
    p.issued = QDate(2026, 12, 7);
    p.cnpj = QStringLiteral("11222333000181");
    p.series = QStringLiteral("1");
    p.randomCode = QStringLiteral("1");
    p.number = QStringLiteral("1234567890");  // ten digits
    EXPECT_THROW(nfceKey(p), platform::HostError);
    p.number = QStringLiteral("Erro de banco de dados");
    EXPECT_THROW(nfceKey(p), platform::HostError);
    p.number = QStringLiteral("1");
    p.cnpj = QStringLiteral("123");
    EXPECT_THROW(nfceKey(p), platform::HostError);
}

TEST(AccessKey, RandomCodeNeverRepeatsTheNumber)
{
    // With one digit, every seed and number: the code differs from the number.
    for (int seed = 0; seed < 50; ++seed)
        for (int number = 0; number < 10; ++number) {
            const QString code = randomCode(QByteArray::number(seed), 1, QString::number(number));
            ASSERT_EQ(code.size(), 1);
            EXPECT_NE(code.toInt(), number) << "seed " << seed;
        }
    EXPECT_EQ(randomCode("same", 8, "1"), randomCode("same", 8, "1"));
}

TEST(AccessKey, UfCodesAndEnvironment)
{
    EXPECT_EQ(ufCode(QStringLiteral("SP")), 35);
    EXPECT_EQ(ufCode(QStringLiteral(" ce ")), 23);
    EXPECT_EQ(ufCode(QStringLiteral("XX")), 0);
    EXPECT_EQ(environmentCode(QStringLiteral("1")), 1);
    EXPECT_EQ(environmentCode(QStringLiteral("P")), 1);
    EXPECT_EQ(environmentCode(QStringLiteral("2")), 2);
    EXPECT_EQ(environmentCode(QStringLiteral("")), 2);  // never production by mistake
    EXPECT_EQ(environmentCode(QStringLiteral("H")), 2);
}

TEST(NfceQrText, VersionTwoOnlineWithCscHash)
{
    // Hash: upper-case SHA-1 of "key|2|2|1" followed by the CSC, computed independently.
    const QString qr = nfceQrText(QStringLiteral("https://exemplo/qrcode"),
                                  QStringLiteral("35261211222333000181650010000001231000000010"), 2,
                                  QStringLiteral("000001"), QStringLiteral("CSC-TESTE"));
    EXPECT_EQ(qr, QStringLiteral("https://exemplo/qrcode?p=35261211222333000181650010000001231000000010|2|2|1|"
                                 "ECEFB58678BFDB9D23C5DFC060442F9109957EEE"));
}

TEST(NfceQrText, ProtocolAndGrouping)
{
    const QString p = protocol(35, QDate(2026, 12, 7), 123);
    EXPECT_EQ(p, QStringLiteral("135260000000123"));
    EXPECT_EQ(p.size(), 15);
    EXPECT_EQ(groupedKey(QStringLiteral("123456789")), QStringLiteral("1234 5678 9"));
}
