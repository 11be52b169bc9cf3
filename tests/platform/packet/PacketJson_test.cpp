// The JSON form of packets that cdstool prints and the host transcript uses.

#include "platform/packet/PacketBytes.h"

#include "platform/Error.h"
#include "platform/dataset/DataPacket.h"
#include "platform/dataset/PacketCodec.h"
#include "platform/dataset/PacketJson.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace platform;
using packettest::fieldDef;

namespace {

DataPacket sample()
{
    DataPacket p;
    p.fields = {fieldDef("NAME", FieldType::String, 21), fieldDef("W", FieldType::WideString, 5),
                fieldDef("QTY", FieldType::Integer),     fieldDef("BIG", FieldType::LargeInt),
                fieldDef("PRICE", FieldType::Float),     fieldDef("OK", FieldType::Boolean),
                fieldDef("DAY", FieldType::Date),        fieldDef("AT", FieldType::DateTime),
                fieldDef("HOUR", FieldType::Time),       fieldDef("NOTE", FieldType::Memo),
                fieldDef("PIC", FieldType::Blob),        fieldDef("DEC", FieldType::Bcd, 8, 2)};
    p.rows = {{QStringLiteral("Ana \"A\" ção"), QStringLiteral("Ω"), 3, Q_INT64_C(9007199254740993), 0.1 + 0.2, true,
               QDate(2026, 12, 7), QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0, 5)), QTime(9, 30, 0, 250),
               QStringLiteral("a\r\nb"), QByteArray("\x00\xFF", 2), 12.5},
              QVariantList(12)};
    return p;
}

}  // namespace

TEST(PacketJson, WritesTheAgreedShapeWithKeysInOrder)
{
    const QByteArray expected =
        "{\"fields\":[{\"name\":\"NAME\",\"type\":\"string\",\"size\":21},"
        "{\"name\":\"W\",\"type\":\"string.uni\",\"size\":5},{\"name\":\"QTY\",\"type\":\"i4\",\"size\":0},"
        "{\"name\":\"BIG\",\"type\":\"i8\",\"size\":0},{\"name\":\"PRICE\",\"type\":\"r8\",\"size\":0},"
        "{\"name\":\"OK\",\"type\":\"boolean\",\"size\":0},{\"name\":\"DAY\",\"type\":\"date\",\"size\":0},"
        "{\"name\":\"AT\",\"type\":\"dateTime\",\"size\":0},{\"name\":\"HOUR\",\"type\":\"time\",\"size\":0},"
        "{\"name\":\"NOTE\",\"type\":\"bin.hex\",\"size\":0,\"subtype\":\"Text\"},"
        "{\"name\":\"PIC\",\"type\":\"bin.hex\",\"size\":0},{\"name\":\"DEC\",\"type\":\"fixed\",\"size\":8,"
        "\"decimals\":2}],"
        "\"rows\":[[\"Ana \\\"A\\\" ção\",\"Ω\",3,9007199254740993,0.30000000000000004,true,\"2026-12-07\","
        "\"2026-12-07T10:00:00.005\",\"09:30:00.250\",\"a\\r\\nb\",\"AP8=\",12.5],"
        "[null,null,null,null,null,null,null,null,null,null,null,null]]}";
    EXPECT_EQ(QString::fromUtf8(packetToJsonText(sample())), QString::fromUtf8(expected));
    // The object form holds the same content.
    EXPECT_EQ(QJsonDocument::fromJson(expected).object(), packetToJson(sample()));
}

TEST(PacketJson, ReadsBackToTheSamePacket)
{
    const DataPacket p = sample();
    const DataPacket back = packetFromJson(packetToJson(p));
    ASSERT_EQ(back.fields.size(), p.fields.size());
    for (int i = 0; i < p.fields.size(); ++i) {
        EXPECT_EQ(back.fields[i].type, p.fields[i].type) << i;
        EXPECT_EQ(back.fields[i].size, p.fields[i].size) << i;
    }
    EXPECT_EQ(back.rows, p.rows);
    EXPECT_EQ(writePacket(back), writePacket(p));
}

TEST(PacketJson, AcceptsStringsForNumbersDatesAndBooleans)
{
    EXPECT_EQ(valueFromJson(QStringLiteral("42"), fieldDef("I", FieldType::Integer)), QVariant(42));
    EXPECT_EQ(valueFromJson(QStringLiteral("12.5"), fieldDef("F", FieldType::Float)), QVariant(12.5));
    EXPECT_EQ(valueFromJson(QStringLiteral("20261207"), fieldDef("D", FieldType::Date)), QVariant(QDate(2026, 12, 7)));
    EXPECT_EQ(valueFromJson(QStringLiteral("2026-12-07"), fieldDef("D", FieldType::DateTime)),
              QVariant(QDateTime(QDate(2026, 12, 7), QTime(0, 0))));
    EXPECT_EQ(valueFromJson(QStringLiteral("2026-12-07T10:00:00Z"), fieldDef("D", FieldType::DateTime)),
              QVariant(QDateTime(QDate(2026, 12, 7), QTime(10, 0))));
    EXPECT_EQ(valueFromJson(QStringLiteral("false"), fieldDef("B", FieldType::Boolean)), QVariant(false));
    EXPECT_FALSE(valueFromJson(QStringLiteral(""), fieldDef("I", FieldType::Integer)).isValid());
    EXPECT_EQ(valueFromJson(QStringLiteral(""), fieldDef("S", FieldType::String)), QVariant(QString("")));
}

TEST(PacketJson, RefusesValuesTheFieldCannotHoldNamingIt)
{
    auto errorOf = [](const QJsonValue& v, const FieldDef& d) {
        try {
            valueFromJson(v, d);
        } catch (const PacketError& e) {
            return e.text();
        }
        return QStringLiteral("(no error)");
    };
    EXPECT_EQ(errorOf(QStringLiteral("abc"), fieldDef("QTY", FieldType::Integer)),
              "field 'QTY': 'abc' is not a valid i4");
    EXPECT_EQ(errorOf(1.5, fieldDef("QTY", FieldType::Integer)), "field 'QTY': '1.5' is not a valid i4");
    EXPECT_EQ(errorOf(QStringLiteral("31/12/2026"), fieldDef("D", FieldType::Date)),
              "field 'D': '31/12/2026' is not a valid date");
    EXPECT_EQ(errorOf(QStringLiteral("%%"), fieldDef("B", FieldType::Blob)), "field 'B': '%%' is not a valid bin.hex");
    EXPECT_EQ(errorOf(5e9, fieldDef("I", FieldType::Integer)), "field 'I': '5e+09' is not a valid i4");

    const QJsonObject badRow = QJsonDocument::fromJson(
        R"({"fields":[{"name":"A","type":"i4","size":0}],"rows":[[1],[1,2]]})").object();
    EXPECT_THROW(packetFromJson(badRow), PacketError);
    const QJsonObject badType = QJsonDocument::fromJson(R"({"fields":[{"name":"A","type":"money"}]})").object();
    try {
        packetFromJson(badType);
        FAIL();
    } catch (const PacketError& e) {
        EXPECT_EQ(e.text(), "field 'A' has an unknown type 'money'");
    }
}

namespace {

// A number as each writer spells it. The JSON writer gives integral values up to 2^53 as
// integers and any other in the shortest text that reads back, with trailing zeros where
// that text is not in exponent form; the XML writer gives the shortest text, in exponent
// form whenever that is shorter, and the exact digits of large integral values. So they
// differ on round values from 100000 up, on large integral values and on negative zero.
struct Numero {
    double value;
    const char* json;
    const char* xml;
};

// The XML text is the value's shortest exact text.
void PrintTo(const Numero& n, std::ostream* os)
{
    *os << n.xml << ": JSON " << n.json;
}

constexpr double kInf = std::numeric_limits<double>::infinity();

const Numero kNumeros[] = {
    {0, "0", "0"},
    {-0.0, "0", "-0"},
    {-20, "-20", "-20"},
    {70, "70", "70"},
    {10000, "10000", "10000"},
    {100000, "100000", "1e+05"},
    {1200000, "1200000", "1200000"},
    {1e15, "1000000000000000", "1e+15"},
    {9007199254740992.0, "9007199254740992", "9007199254740992"},
    {287345119790351776.0, "287345119790351780", "287345119790351776"},
    {1e21, "1e+21", "1e+21"},
    {0.1, "0.1", "0.1"},
    {0.1 + 0.2, "0.30000000000000004", "0.30000000000000004"},
    {1e-7, "1e-07", "1e-07"},
    {0.0001, "1e-04", "1e-04"},
    {1234567.89, "1234567.89", "1234567.89"},
    {99999999.99, "99999999.99", "99999999.99"},
    {-123456789012.34, "-123456789012.34", "-123456789012.34"},
    {std::numeric_limits<double>::quiet_NaN(), "\"NaN\"", "NAN"},
    {kInf, "\"Infinity\"", "INF"},
    {-kInf, "\"-Infinity\"", "-INF"},
};

class PacketJsonNumbers : public ::testing::TestWithParam<Numero> {};

TEST_P(PacketJsonNumbers, EachWriterSpellsItsOwnWayAndJsonReadsBack)
{
    const Numero& n = GetParam();
    DataPacket p;
    p.fields = {fieldDef("V", FieldType::Float)};
    p.rows = {{n.value}};
    const QByteArray text = packetToJsonText(p);
    EXPECT_EQ(text, QByteArray(R"({"fields":[{"name":"V","type":"r8","size":0}],"rows":[[)") + n.json + "]]}");
    EXPECT_EQ(packet::formatDouble(n.value), QByteArray(n.xml));
    const double back = packetFromJson(QJsonDocument::fromJson(text).object()).rows.value(0).value(0).toDouble();
    if (std::isnan(n.value))
        EXPECT_TRUE(std::isnan(back));
    else
        EXPECT_EQ(back, n.value);  // negative zero reads back as zero, which compares equal
}

INSTANTIATE_TEST_SUITE_P(Table, PacketJsonNumbers, ::testing::ValuesIn(kNumeros),
                         [](const ::testing::TestParamInfo<Numero>& info) {
                             std::string name = "value_";  // a name of digits alone would read as an index
                             for (const char* c = info.param.xml; *c; ++c)
                                 name += *c == '-' ? "minus" : *c == '.' ? "_" : *c == '+' ? "" : std::string(1, *c);
                             return name;
                         });

}  // namespace
