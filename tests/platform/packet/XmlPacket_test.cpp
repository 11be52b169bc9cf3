// The XML encoding: the host's exact style on writing, tolerant reading of what hosts
// write (8-bit text, UTF-8, BOM, references to surrogate halves), NULL versus empty,
// the change log, and malformed input.

#include "platform/packet/PacketBytes.h"

#include "platform/Error.h"
#include "platform/dataset/DataPacket.h"

#include <QDateTime>
#include <gtest/gtest.h>

using namespace platform;
using packettest::fieldDef;

namespace {

const QByteArray kProlog = "<?xml version=\"1.0\" standalone=\"yes\"?>  ";

QByteArray packetXml(const QByteArray& fields, const QByteArray& rows, const QByteArray& params = "<PARAMS/>",
                     const QByteArray& prolog = kProlog)
{
    return prolog + "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>" + fields + "</FIELDS>" + params
           + "</METADATA><ROWDATA>" + rows + "</ROWDATA></DATAPACKET>";
}

QString errorOf(const QByteArray& bytes, const QString& source = QStringLiteral("test.xml"))
{
    try {
        readPacket(bytes, source);
    } catch (const PacketError& e) {
        return e.text();
    }
    return QStringLiteral("(no error)");
}

}  // namespace

TEST(XmlPacket, WritesTheHostStyleExactly)
{
    DataPacket p;
    p.fields = {fieldDef("Name", FieldType::String, 24), fieldDef("Area", FieldType::Float),
                fieldDef("Notes", FieldType::Memo),      fieldDef("Born", FieldType::Date),
                fieldDef("At", FieldType::DateTime),     fieldDef("Ok", FieldType::Boolean),
                fieldDef("Cod Cli", FieldType::Integer)};
    p.fields[6].required = true;
    p.rows = {{QStringLiteral("S\u00e3o <Paulo> & \"co\""), 8.5, QStringLiteral("a\r\nb"), QDate(1996, 11, 30),
               QDateTime(QDate(1995, 2, 2), QTime(1, 5, 3)), true, 7},
              {QVariant(), QVariant(), QVariant(), QVariant(), QDateTime(QDate(2020, 1, 2), QTime(0, 0)), false,
               QVariant()}};
    const QByteArray expected = kProlog
        + "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
          "<FIELD attrname=\"Name\" fieldtype=\"string\" WIDTH=\"24\"/>"
          "<FIELD attrname=\"Area\" fieldtype=\"r8\"/>"
          "<FIELD attrname=\"Notes\" fieldtype=\"bin.hex\" SUBTYPE=\"Text\"/>"
          "<FIELD attrname=\"Born\" fieldtype=\"date\"/>"
          "<FIELD attrname=\"At\" fieldtype=\"dateTime\"/>"
          "<FIELD attrname=\"Ok\" fieldtype=\"boolean\"/>"
          "<FIELD attrname=\"Cod_Cli\" fieldname=\"Cod Cli\" fieldtype=\"i4\" required=\"true\"/>"
          "</FIELDS><PARAMS LCID=\"1033\"/></METADATA><ROWDATA>"
          "<ROW Name=\"S\xE3o &lt;Paulo&gt; &amp; &quot;co&quot;\" Area=\"8.5\" Notes=\"a&#013;&#010;b\" "
          "Born=\"19961130\" At=\"19950202T01:05:03000\" Ok=\"TRUE\" Cod_Cli=\"7\"/>"
          "<ROW At=\"20200102\" Ok=\"FALSE\"/>"
          "</ROWDATA></DATAPACKET>";
    EXPECT_EQ(writePacket(p, PacketFormat::Xml), expected);
    const DataPacket read = readPacket(expected);
    EXPECT_EQ(read.fields[6].name, "Cod Cli");
    EXPECT_TRUE(read.fields[6].required);
    EXPECT_EQ(read.rows, p.rows);
}

TEST(XmlPacket, Utf8FlavourDeclaresItAndWritesUtf8Text)
{
    DataPacket p;
    p.fields = {fieldDef("Cidade", FieldType::String, 20), fieldDef("W", FieldType::WideString, 10)};
    p.rows = {{QStringLiteral("São Paulo €"), QStringLiteral("é☺")}};
    const QByteArray bytes = writePacket(p, PacketFormat::XmlUtf8);
    EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>  <DATAPACKET"));
    EXPECT_TRUE(bytes.contains("Cidade=\"S\xC3\xA3o Paulo \xE2\x82\xAC\""));
    // Wide strings are references in both flavours; their WIDTH counts bytes.
    EXPECT_TRUE(bytes.contains("W=\"&#233;&#9786;\""));
    EXPECT_TRUE(bytes.contains("fieldtype=\"string.uni\" WIDTH=\"20\""));
    const DataPacket read = readPacket(bytes);
    EXPECT_EQ(read.sourceFormat, PacketFormat::XmlUtf8);
    EXPECT_EQ(read.fields[1].size, 10);
    EXPECT_EQ(read.rows, p.rows);
}

TEST(XmlPacket, EncodingIsDetectedAsTheHostDoes)
{
    const QByteArray fields = "<FIELD attrname=\"S\" fieldtype=\"string\" WIDTH=\"20\"/>";
    // No declaration: Windows-1252 bytes.
    const DataPacket ansi = readPacket(packetXml(fields, "<ROW S=\"S\xE3o \x80\"/>"));
    EXPECT_EQ(ansi.rows[0][0].toString(), QStringLiteral("São €"));
    EXPECT_EQ(ansi.sourceFormat, PacketFormat::Xml);
    // Declared UTF-8 and valid.
    const QByteArray utf8Prolog = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>  ";
    const DataPacket utf8 = readPacket(packetXml(fields, "<ROW S=\"S\xC3\xA3o\"/>", "<PARAMS/>", utf8Prolog));
    EXPECT_EQ(utf8.rows[0][0].toString(), QStringLiteral("São"));
    // Declared UTF-8 but not valid UTF-8: the 8-bit code page.
    const DataPacket lying = readPacket(packetXml(fields, "<ROW S=\"S\xE3o\"/>", "<PARAMS/>", utf8Prolog));
    EXPECT_EQ(lying.rows[0][0].toString(), QStringLiteral("São"));
    EXPECT_EQ(lying.sourceFormat, PacketFormat::Xml);
    // A byte-order mark means UTF-8 whatever the prolog says.
    const DataPacket bom = readPacket("\xEF\xBB\xBF" + packetXml(fields, "<ROW S=\"S\xC3\xA3o\"/>"));
    EXPECT_EQ(bom.rows[0][0].toString(), QStringLiteral("São"));
    EXPECT_EQ(bom.sourceFormat, PacketFormat::XmlUtf8);
}

TEST(XmlPacket, ExpandsEntitiesAndSurrogateHalfReferences)
{
    const QByteArray fields = "<FIELD attrname=\"S\" fieldtype=\"string\" WIDTH=\"50\"/>"
                              "<FIELD attrname=\"W\" fieldtype=\"string.uni\" WIDTH=\"40\"/>";
    const DataPacket p = readPacket(packetXml(
        fields, "<ROW S=\"&lt;a&gt; &amp; &quot;b&quot; &apos;c&apos; &#013;&#010;&#x41;&#092; &bogus; & x\" "
                "W=\"&#55357;&#56832; &#233;\"/>"));
    EXPECT_EQ(p.rows[0][0].toString(), QStringLiteral("<a> & \"b\" 'c' \r\nA\\ &bogus; & x"));
    EXPECT_EQ(p.rows[0][1].toString(), QStringLiteral("😀 é"));
    // Written back, characters beyond the BMP become two surrogate references again.
    EXPECT_TRUE(writePacket(p, PacketFormat::Xml).contains("W=\"&#55357;&#56832; &#233;\""));
}

TEST(XmlPacket, OmittedIsNullAndEmptyIsEmptyOnlyForTexts)
{
    const QByteArray fields = "<FIELD attrname=\"S\" fieldtype=\"string\" WIDTH=\"5\"/>"
                              "<FIELD attrname=\"N\" fieldtype=\"i4\"/><FIELD attrname=\"D\" fieldtype=\"date\"/>";
    const DataPacket p = readPacket(packetXml(fields, "<ROW S=\"\" N=\"\" D=\"\"/><ROW/>"));
    ASSERT_EQ(p.rows.size(), 2);
    EXPECT_TRUE(p.rows[0][0].isValid());
    EXPECT_EQ(p.rows[0][0].toString(), "");
    EXPECT_FALSE(p.rows[0][1].isValid());
    EXPECT_FALSE(p.rows[0][2].isValid());
    EXPECT_FALSE(p.rows[1][0].isValid());
    // And the distinction survives both encodings.
    for (PacketFormat format : {PacketFormat::Binary, PacketFormat::Xml, PacketFormat::XmlUtf8}) {
        const DataPacket again = readPacket(writePacket(p, format));
        EXPECT_TRUE(again.rows[0][0].isValid());
        EXPECT_FALSE(again.rows[1][0].isValid());
    }
}

TEST(XmlPacket, ReadsValueFormsOfEveryType)
{
    const QByteArray fields =
        "<FIELD attrname=\"T\" fieldtype=\"time\"/><FIELD attrname=\"DT\" fieldtype=\"dateTime\"/>"
        "<FIELD attrname=\"SQ\" fieldtype=\"SQLdateTimeOffset\"/><FIELD attrname=\"B\" fieldtype=\"boolean\"/>"
        "<FIELD attrname=\"F\" fieldtype=\"fixed\" WIDTH=\"10\" DECIMALS=\"2\"/>"
        "<FIELD attrname=\"R\" fieldtype=\"r8\"/><FIELD attrname=\"BIN\" fieldtype=\"bin.hex\" SUBTYPE=\"Binary\"/>"
        "<FIELD attrname=\"BY\" fieldtype=\"bin.hex\" WIDTH=\"2\"/><FIELD attrname=\"I\" fieldtype=\"int\"/>"
        "<FIELD attrname=\"U\" fieldtype=\"ui8\"/>";
    const DataPacket p = readPacket(packetXml(
        fields, "<ROW T=\"14:10:33250\" DT=\"19950202T01:05:03000\" SQ=\"20240501T10:30:00000-03:00\" B=\"true\" "
                "F=\"-123.45\" R=\"1.5E+20\" BIN=\"AAH+/w==\" BY=\"AQI=\" I=\"-5\" U=\"42\"/>"));
    EXPECT_EQ(p.fields[1].type, FieldType::DateTime);
    EXPECT_EQ(p.fields[2].type, FieldType::TimeStamp);
    EXPECT_EQ(p.fields[4].type, FieldType::Bcd);
    EXPECT_EQ(p.fields[4].decimals, 2);
    EXPECT_EQ(p.fields[6].type, FieldType::Blob);
    EXPECT_EQ(p.fields[7].type, FieldType::Bytes);
    EXPECT_EQ(p.fields[8].type, FieldType::Integer);
    const QVariantList& r = p.rows[0];
    EXPECT_EQ(r[0].toTime(), QTime(14, 10, 33, 250));
    EXPECT_EQ(r[1].toDateTime(), QDateTime(QDate(1995, 2, 2), QTime(1, 5, 3)));
    EXPECT_EQ(r[2].toDateTime(), QDateTime(QDate(2024, 5, 1), QTime(10, 30)));
    EXPECT_TRUE(r[3].toBool());
    EXPECT_DOUBLE_EQ(r[4].toDouble(), -123.45);
    EXPECT_EQ(r[5].toDouble(), 1.5e20);
    EXPECT_EQ(r[6].toByteArray(), QByteArray("\x00\x01\xFE\xFF", 4));
    EXPECT_EQ(r[7].toByteArray(), QByteArray("\x01\x02", 2));
    EXPECT_EQ(r[8].toInt(), -5);
    EXPECT_EQ(r[9].toLongLong(), 42);
}

TEST(XmlPacket, IsTolerantOfOtherWritersStyles)
{
    // Lower-case parameter names, single quotes, line breaks, comments, attributes out
    // of order, a self-closed ROWDATA.
    const QByteArray text = "<?xml version='1.0'?>\n<!-- exported -->\n<DATAPACKET Version='2.0'>\n"
                            " <METADATA>\n  <FIELDS>\n   <FIELD fieldtype='string' width='10' attrname='Name'/>\n"
                            "   <FIELD attrname='Qty' fieldtype='i2'></FIELD>\n  </FIELDS>\n  <PARAMS/>\n"
                            " </METADATA>\n <ROWDATA>\n  <ROW Qty='3' Name='pen'/>\n </ROWDATA>\n</DATAPACKET>\n";
    const DataPacket p = readPacket(text);
    EXPECT_EQ(p.fields[0].size, 10);
    EXPECT_EQ(p.rows, (QList<QVariantList>{{QStringLiteral("pen"), 3}}));
    const DataPacket empty = readPacket(packetXml("<FIELD attrname=\"A\" fieldtype=\"i4\"/>", "").replace(
        "<ROWDATA></ROWDATA>", "<ROWDATA/>"));
    EXPECT_EQ(empty.fields.size(), 1);
    EXPECT_TRUE(empty.rows.isEmpty());
}

TEST(XmlPacket, ResolvesRowStatesAndTheChangeLog)
{
    const QByteArray fields = "<FIELD attrname=\"A\" fieldtype=\"i4\"/><FIELD attrname=\"B\" fieldtype=\"string\" "
                              "WIDTH=\"10\"/>";
    const QByteArray rows = "<ROW RowState=\"1\" A=\"1\" B=\"one\"/><ROW RowState=\"4\" A=\"2\" B=\"two\"/>"
                            "<ROW RowState=\"8\" B=\"uno\"/>";
    const DataPacket p = readPacket(packetXml(fields, rows, "<PARAMS CHANGE_LOG=\"2 0 4 3 1 8\"/>"));
    EXPECT_EQ(p.rows, (QList<QVariantList>{{1, QStringLiteral("uno")}, {2, QStringLiteral("two")}}));
    EXPECT_FALSE(writePacket(p, PacketFormat::Xml).contains("CHANGE_LOG"));
}

TEST(XmlPacket, ReadsNestedDatasets)
{
    const QByteArray fields = "<FIELD attrname=\"ID\" fieldtype=\"i4\"/><FIELD attrname=\"Lines\" fieldtype=\"nested\">"
                              "<FIELDS><FIELD attrname=\"ITEM\" fieldtype=\"string\" WIDTH=\"8\"/></FIELDS>"
                              "<PARAMS/></FIELD>";
    const QByteArray rows = "<ROW ID=\"1\"><Lines><ROWLines ITEM=\"pen\"/><ROWLines ITEM=\"ink\"/></Lines></ROW>"
                            "<ROW ID=\"2\"><Lines></Lines></ROW><ROW ID=\"3\"/>";
    const DataPacket p = readPacket(packetXml(fields, rows));
    ASSERT_EQ(p.rows.size(), 3);
    EXPECT_EQ(p.fields[1].children.size(), 1);
    EXPECT_EQ(p.rows[0][1].value<DataPacket>().rows,
              (QList<QVariantList>{{QStringLiteral("pen")}, {QStringLiteral("ink")}}));
    EXPECT_TRUE(p.rows[1][1].value<DataPacket>().rows.isEmpty());
    EXPECT_FALSE(p.rows[2][1].isValid());
    EXPECT_EQ(writePacket(readPacket(writePacket(p, PacketFormat::Xml)), PacketFormat::Xml),
              writePacket(p, PacketFormat::Xml));
}

TEST(XmlPacket, FlatTablesRewriteByteForByteInBothFlavours)
{
    const QByteArray fields = "<FIELD attrname=\"CODE\" fieldtype=\"i4\" required=\"true\"/>"
                              "<FIELD attrname=\"NAME\" fieldtype=\"string\" WIDTH=\"30\"/>"
                              "<FIELD attrname=\"PRICE\" fieldtype=\"r8\" SUBTYPE=\"Money\"/>"
                              "<FIELD attrname=\"NOTE\" fieldtype=\"bin.hex\" SUBTYPE=\"Text\" WIDTH=\"1\"/>"
                              "<FIELD attrname=\"WHEN\" fieldtype=\"dateTime\"/>";
    const QByteArray rows = "<ROW CODE=\"1\" NAME=\"Caf\xE9 &amp; p\xE3o\" PRICE=\"12.34\" NOTE=\"x&#013;&#010;y\" "
                            "WHEN=\"20261207T10:00:00000\"/><ROW CODE=\"2\" NAME=\"\" WHEN=\"20261207\"/>";
    const QByteArray ansi = packetXml(fields, rows, "<PARAMS DEFAULT_ORDER=\"1\" PRIMARY_KEY=\"1\" LCID=\"1046\"/>");
    EXPECT_EQ(writePacket(readPacket(ansi), PacketFormat::Xml), ansi);
    const QByteArray utf8 = writePacket(readPacket(ansi), PacketFormat::XmlUtf8);
    const DataPacket fromUtf8 = readPacket(utf8);
    EXPECT_EQ(fromUtf8.sourceFormat, PacketFormat::XmlUtf8);
    EXPECT_EQ(writePacket(fromUtf8, PacketFormat::XmlUtf8), utf8);
    // Through the binary form and back: the same XML.
    EXPECT_EQ(writePacket(readPacket(writePacket(readPacket(ansi))), PacketFormat::Xml), ansi);
}

TEST(XmlPacket, BinaryAndXmlOfTheSameTableReadEqual)
{
    DataPacket p;
    p.fields = {fieldDef("S", FieldType::String, 10),    fieldDef("W", FieldType::WideString, 5),
                fieldDef("I", FieldType::SmallInt),      fieldDef("L", FieldType::LargeInt),
                fieldDef("R", FieldType::Float),         fieldDef("C", FieldType::Currency),
                fieldDef("F", FieldType::FmtBcd, 12, 3), fieldDef("D", FieldType::Date),
                fieldDef("T", FieldType::Time),          fieldDef("DT", FieldType::DateTime),
                fieldDef("TS", FieldType::TimeStamp),    fieldDef("M", FieldType::Memo),
                fieldDef("WM", FieldType::WideMemo),     fieldDef("B", FieldType::Blob),
                fieldDef("BY", FieldType::Bytes, 3),     fieldDef("BO", FieldType::Boolean),
                fieldDef("U", FieldType::LongWord),      fieldDef("R4", FieldType::Single)};
    p.rows = {
        {QStringLiteral("ação"), QStringLiteral("Ωx"), -12, Q_INT64_C(-5000000000), 0.1 + 0.2, 19.99, -1234.567,
         QDate(2026, 2, 28), QTime(23, 59, 59, 999), QDateTime(QDate(2000, 1, 1), QTime(12, 0)),
         QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0, 5)), QStringLiteral("memo\r\nline"), QStringLiteral("wide ☺"),
         QByteArray("\x00\x01\x02", 3), QByteArray("abc"), true, Q_INT64_C(4294967295), 0.25},
        QVariantList(18)};
    const DataPacket fromBinary = readPacket(writePacket(p, PacketFormat::Binary));
    const DataPacket fromXml = readPacket(writePacket(p, PacketFormat::Xml));
    const DataPacket fromUtf8 = readPacket(writePacket(p, PacketFormat::XmlUtf8));
    EXPECT_EQ(fromBinary.rows, p.rows);
    EXPECT_EQ(fromXml.rows, fromBinary.rows);
    EXPECT_EQ(fromUtf8.rows, fromBinary.rows);
    for (int i = 0; i < p.fields.size(); ++i) {
        EXPECT_EQ(fromXml.fields[i].name, fromBinary.fields[i].name);
        EXPECT_EQ(fromXml.fields[i].type, fromBinary.fields[i].type) << i;
        EXPECT_EQ(fromXml.fields[i].size, fromBinary.fields[i].size) << i;
        EXPECT_EQ(fromXml.fields[i].decimals, fromBinary.fields[i].decimals) << i;
    }
    // Converting back and forth is lossless.
    EXPECT_EQ(writePacket(readPacket(writePacket(fromXml, PacketFormat::Binary))), writePacket(fromBinary));
}

TEST(XmlPacket, MalformedInputIsAPacketErrorNamingSourceAndWhat)
{
    const QByteArray good = packetXml("<FIELD attrname=\"A\" fieldtype=\"i4\"/>", "<ROW A=\"1\"/>");
    for (qsizetype n = 1; n < good.size(); ++n) {
        const QString error = errorOf(good.left(n));
        EXPECT_TRUE(error.startsWith("test.xml: ")) << n << ": " << error.toStdString();
    }
    EXPECT_TRUE(errorOf(packetXml("<FIELD attrname=\"A\" fieldtype=\"i4\"/>", "<ROW A=\"abc\"/>"))
                    .contains("row 1: field 'A': 'abc' is not a valid i4"));
    EXPECT_TRUE(errorOf(packetXml("<FIELD attrname=\"A\" fieldtype=\"float80\"/>", ""))
                    .contains("field 'A' has an unknown type 'float80'"));
    EXPECT_TRUE(errorOf("<html><body/></html>").contains("not a data packet"));
    EXPECT_TRUE(errorOf(packetXml("<FIELD attrname=\"D\" fieldtype=\"date\"/>", "<ROW D=\"20261399\"/>"))
                    .contains("is not a valid date"));
    EXPECT_TRUE(errorOf(packetXml("<FIELD attrname=\"B\" fieldtype=\"bin.hex\" SUBTYPE=\"Binary\"/>",
                                  "<ROW B=\"***\"/>")).contains("is not a valid bin.hex"));
}

TEST(XmlPacket, DeepNestingIsRefused)
{
    QByteArray text = "<DATAPACKET><METADATA><FIELDS>";
    for (int i = 0; i < 200; ++i)
        text += "<FIELD attrname=\"N\" fieldtype=\"nested\"><FIELDS>";
    EXPECT_TRUE(errorOf(text).contains("nested too deeply"));
    QByteArray junk = "<DATAPACKET><X>";
    for (int i = 0; i < 100000; ++i)
        junk += "<Y>";
    EXPECT_TRUE(errorOf(junk).startsWith("test.xml: "));
}
