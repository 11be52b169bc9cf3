#include "hostapi/hostkit.h"

#include <gtest/gtest.h>

using namespace hostkit;

TEST(Trunc2, CutsDecimalDigitsNotBinaryNoise)
{
    EXPECT_EQ(Trunc2(0.29), 0.29);                // a bare trunc(x*100)/100 gives 0.28
    EXPECT_EQ(Trunc2(10.00 - 0.01), 9.99);        // and 9.98 here
    EXPECT_EQ(Trunc2(1.999), 1.99);               // cut, not rounded
    EXPECT_EQ(Trunc2(2.675), 2.67);
    EXPECT_EQ(Trunc2(-1.999), -1.99);             // towards zero
    EXPECT_EQ(Trunc2(-0.29), -0.29);
    EXPECT_EQ(Trunc2(4.35 * 100 / 100), 4.35);
    EXPECT_EQ(Trunc2(0.1 + 0.2), 0.3);            // 0.30000000000000004
    EXPECT_EQ(Trunc2(1.0099999999999), 1.01);     // noise below 1e-9 is not a lost cent
    EXPECT_EQ(Trunc2(1.00999999), 1.0);           // a real difference of 1e-8 is
    EXPECT_EQ(Trunc2(123456789.129), 123456789.12);
    EXPECT_EQ(Trunc2(0.0), 0.0);
    EXPECT_FALSE(std::signbit(Trunc2(-0.001)));   // no negative zero
    for (int cents = 0; cents < 100000; ++cents) {
        const double v = cents / 100.0;
        ASSERT_EQ(Trunc2(v), v) << cents;
    }
}

TEST(Ajusta, DigitsRightAlignedWithZerosOtherTextPadded)
{
    EXPECT_EQ(Ajusta(QStringLiteral("1"), 3), QStringLiteral("001"));
    EXPECT_EQ(Ajusta(QStringLiteral("123"), 3), QStringLiteral("123"));
    EXPECT_EQ(Ajusta(QStringLiteral(" 45 "), 10), QStringLiteral("0000000045"));
    EXPECT_EQ(Ajusta(QStringLiteral("12345"), 3), QStringLiteral("345"));
    EXPECT_EQ(Ajusta(QStringLiteral("AB"), 4), QStringLiteral("AB  "));
    EXPECT_EQ(Ajusta(QStringLiteral("ABCDEF"), 4), QStringLiteral("ABCD"));
    EXPECT_EQ(Ajusta(QString(), 3), QStringLiteral("   "));
    EXPECT_EQ(Ajusta(QStringLiteral("-5"), 3), QStringLiteral("-5 "));
    EXPECT_EQ(Ajusta(QStringLiteral("7"), 0), QString());
    // The same input gives the same text (item sequence and last-item test).
    EXPECT_EQ(Ajusta(QString::number(12), 3), Ajusta(QStringLiteral("012"), 3));
}

TEST(Cripto, RoundTripsAndRejectsWhatItDidNotWrite)
{
    const int key = 1234;
    for (const QString& text : {QString(), QStringLiteral("A"), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"),
                                QStringLiteral("Provider=SQLite;Data Source=/opt/pdv/Dados/loja.db"),
                                QStringLiteral("Ativação çãõ € 🙂")}) {
        const QString enc = Cripto(text, key);
        EXPECT_EQ(Uncripto(enc, key), text);
        EXPECT_EQ(enc.size(), text.toUtf8().size() * 2);
        if (text.size() > 3) {
            EXPECT_FALSE(enc.contains(text.left(4)));
        }
        for (QChar c : enc)
            EXPECT_TRUE(c.isDigit() || (c >= QLatin1Char('A') && c <= QLatin1Char('F')));
    }
    EXPECT_EQ(Uncripto(Cripto(QStringLiteral("abc"), key).toLower(), key), QStringLiteral("abc"));
    EXPECT_NE(Cripto(QStringLiteral("segredo"), 1), Cripto(QStringLiteral("segredo"), 2));
    // Same characters at different places encode differently (chained).
    const QString aaaa = Cripto(QStringLiteral("aaaa"), key);
    EXPECT_NE(aaaa.mid(0, 2), aaaa.mid(2, 2));
    EXPECT_THROW(Uncripto(QStringLiteral("ABC"), key), platform::HostError);
    EXPECT_THROW(Uncripto(QStringLiteral("ZZ"), key), platform::HostError);
}

TEST(RecebeParams, ReadsANamedValueOfARecord)
{
    QVariantMap record{{QStringLiteral("CUPNR"), QStringLiteral("000123")}, {QStringLiteral("CONTCUPOM"), 45}};
    EXPECT_EQ(RecebeParams(record, QStringLiteral("CUPNR")), QVariant(QStringLiteral("000123")));
    EXPECT_EQ(RecebeParams(record, QStringLiteral("contcupom")), QVariant(45));
    EXPECT_FALSE(RecebeParams(record, QStringLiteral("OUTRO")).isValid());
    EXPECT_EQ(RecebeParams(QStringList{QStringLiteral("CUPNR=9")}, QStringLiteral("CUPNR")), QVariant(QStringLiteral("9")));
    EXPECT_FALSE(RecebeParams(QVariant(42), QStringLiteral("CUPNR")).isValid());
}

TEST(SmallHelpers, EmptyStringAndIif)
{
    EXPECT_TRUE(EmptyString(QString()));
    EXPECT_TRUE(EmptyString(QStringLiteral("   ")));
    EXPECT_FALSE(EmptyString(QStringLiteral(" x ")));
    EXPECT_EQ(iif(EmptyString(QString()), QStringLiteral("ARV"), QStringLiteral("IMP")), QVariant(QStringLiteral("ARV")));
    EXPECT_EQ(iif(false, 1, 2), QVariant(2));
}
