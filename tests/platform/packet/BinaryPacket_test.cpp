// The binary encoding: hand-made files from the format note, every field type, the
// change log, byte-identical re-writing, and malformed input.

#include "PacketBytes.h"

#include "platform/Error.h"
#include "platform/dataset/BinaryPacketBuilder.h"
#include "platform/dataset/DataPacket.h"

#include <QDateTime>
#include <algorithm>
#include <gtest/gtest.h>

using namespace platform;
using namespace packettest;

namespace {

// The start of country.cds as the format note gives it, with its first row.
QByteArray countryBytes()
{
    Bytes b;
    b.header(5, 1);
    b.fieldWithWidth("Name", kZString1, 24);
    b.fieldWithWidth("Capital", kZString1, 24);
    b.fieldWithWidth("Continent", kZString1, 24);
    b.field("Area", kFloat8);
    b.field("Population", kFloat8);
    b.u16(3);
    b.str("DEFAULT_ORDER").u32(0x00820002).u32(1).u16(1);
    b.str("PRIMARY_KEY").u32(0x00820002).u32(1).u16(1);
    b.str("LCID").u32(0x00010004).i32(2057);
    b.finishMetadata();
    b.u8(0).u16(0).str("Argentina").str("Buenos Aires").str("South America").f64(2777815).f64(32300003);
    return b.out;
}

// One field of every flat type, with a row of values, a row of nulls and a row of
// edge values.
DataPacket everyType()
{
    DataPacket p;
    p.fields = {fieldDef("S", FieldType::String, 20),        fieldDef("FC", FieldType::FixedChar, 4),
                fieldDef("W", FieldType::WideString, 10),    fieldDef("I1", FieldType::ShortInt),
                fieldDef("I2", FieldType::SmallInt),         fieldDef("I4", FieldType::Integer),
                fieldDef("I8", FieldType::LargeInt),         fieldDef("U1", FieldType::Byte),
                fieldDef("U2", FieldType::Word),             fieldDef("U4", FieldType::LongWord),
                fieldDef("B", FieldType::Boolean),           fieldDef("R4", FieldType::Single),
                fieldDef("R8", FieldType::Float),            fieldDef("CUR", FieldType::Currency),
                fieldDef("BCD", FieldType::Bcd, 10, 2),      fieldDef("FMT", FieldType::FmtBcd, 18, 4),
                fieldDef("D", FieldType::Date),              fieldDef("T", FieldType::Time),
                fieldDef("DT", FieldType::DateTime),         fieldDef("TS", FieldType::TimeStamp),
                fieldDef("M", FieldType::Memo),              fieldDef("WM", FieldType::WideMemo),
                fieldDef("BY", FieldType::Bytes, 4),         fieldDef("VB", FieldType::VarBytes, 16),
                fieldDef("BL", FieldType::Blob),             fieldDef("G", FieldType::Graphic)};
    p.rows.append(QVariantList{
        QStringLiteral("Ação é <bom> & \"x\""), QStringLiteral("AB  "), QStringLiteral("Ωmega ☺"), -7, -300,
        123456789, Q_INT64_C(-9000000000), 200, 65000, Q_INT64_C(4000000000), true, 1.5, 33292.9375, 12.34,
        1234.56, -0.0625, QDate(1996, 11, 30), QTime(14, 10, 33, 250),
        QDateTime(QDate(1995, 2, 2), QTime(1, 5, 3)), QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0, 123)),
        QStringLiteral("line 1\r\nline 2\ttab \\ back"), QStringLiteral("wide ☺ memo"),
        QByteArray("\x01\x02\x03\x04", 4), QByteArray("\x00\xFF", 2), QByteArray("\x00\x01\xFE\xFF", 4),
        QByteArray("PNG...", 6)});
    p.rows.append(QVariantList(p.fields.size()));
    p.rows.append(QVariantList{
        QString(""), QStringLiteral("    "), QString(""), 127, 32767, -2147483647 - 1, Q_INT64_C(9000000000000000000),
        0, 0, Q_INT64_C(0), false, 0.0, 0.1 + 0.2, 0.0, 0.0, 99999999999999.0, QDate(1, 1, 1), QTime(0, 0),
        QDateTime(QDate(1899, 12, 30), QTime(0, 0)), QDateTime(QDate(1, 1, 1), QTime(23, 59, 59, 999)),
        QString(""), QString(""), QByteArray(4, '\0'), QByteArray(), QByteArray(), QByteArray()});
    return p;
}

void expectSameRows(const DataPacket& expected, const DataPacket& actual)
{
    ASSERT_EQ(expected.fields.size(), actual.fields.size());
    for (int i = 0; i < expected.fields.size(); ++i) {
        EXPECT_EQ(expected.fields[i].name, actual.fields[i].name);
        EXPECT_EQ(int(expected.fields[i].type), int(actual.fields[i].type)) << expected.fields[i].name.toStdString();
        EXPECT_EQ(expected.fields[i].size, actual.fields[i].size) << expected.fields[i].name.toStdString();
    }
    ASSERT_EQ(expected.rows.size(), actual.rows.size());
    for (int r = 0; r < expected.rows.size(); ++r)
        for (int f = 0; f < expected.fields.size(); ++f) {
            const QVariant& e = expected.rows[r][f];
            const QVariant& a = actual.rows[r][f];
            EXPECT_EQ(e.isValid(), a.isValid()) << "row " << r << " field " << expected.fields[f].name.toStdString();
            if (e.isValid() && a.isValid()) {
                EXPECT_EQ(e.toString(), a.toString())
                    << "row " << r << " field " << expected.fields[f].name.toStdString();
            }
        }
}

}  // namespace

TEST(BinaryPacket, ReadsTheCountryExampleOfTheFormatNote)
{
    const QByteArray bytes = countryBytes();
    ASSERT_EQ(quint8(bytes[22]), 0xC8);  // the hand-made metadata ends where the note says
    const DataPacket p = readPacket(bytes, QStringLiteral("country.cds"));
    ASSERT_EQ(p.fields.size(), 5);
    EXPECT_EQ(p.fields[0].name, "Name");
    EXPECT_EQ(p.fields[0].type, FieldType::String);
    EXPECT_EQ(p.fields[0].size, 24);
    EXPECT_EQ(p.fields[2].name, "Continent");
    EXPECT_EQ(p.fields[3].type, FieldType::Float);
    EXPECT_EQ(p.fields[4].name, "Population");
    ASSERT_EQ(p.rows.size(), 1);
    EXPECT_EQ(p.rows[0][0].toString(), "Argentina");
    EXPECT_EQ(p.rows[0][1].toString(), "Buenos Aires");
    EXPECT_EQ(p.rows[0][2].toString(), "South America");
    EXPECT_EQ(p.rows[0][3].toDouble(), 2777815.0);
    EXPECT_EQ(p.rows[0][4].toDouble(), 32300003.0);
    EXPECT_EQ(p.sourceFormat, PacketFormat::Binary);
    QStringList tableParams;
    for (const PacketParam& param : p.params)
        if (param.field == -1)
            tableParams << QString::fromLatin1(param.name);
    EXPECT_EQ(tableParams, QStringList({"DEFAULT_ORDER", "PRIMARY_KEY", "LCID"}));
}

TEST(BinaryPacket, RewritesTheCountryExampleByteForByte)
{
    const QByteArray bytes = countryBytes();
    EXPECT_EQ(writePacket(readPacket(bytes)).toHex(' '), bytes.toHex(' '));
}

TEST(BinaryPacket, EveryFlatTypeRoundTripsAndRewritesIdentically)
{
    const DataPacket original = everyType();
    const QByteArray bytes = writePacket(original);
    const DataPacket read = readPacket(bytes);
    expectSameRows(original, read);
    EXPECT_EQ(read.rows[0][10].toBool(), true);
    EXPECT_EQ(read.rows[2][12].toDouble(), 0.1 + 0.2);
    EXPECT_EQ(read.rows[0][22].toByteArray(), QByteArray("\x01\x02\x03\x04", 4));
    EXPECT_EQ(read.rows[0][18].toDateTime(), QDateTime(QDate(1995, 2, 2), QTime(1, 5, 3)));
    EXPECT_EQ(writePacket(read), bytes);
    for (int f = 0; f < read.fields.size(); ++f)  // values come back as the type table says they travel
        EXPECT_EQ(read.rows[0][f].typeId(), traitsOf(read.fields[f].type).variantType) << f;
}

// The reader keeps the rows as columns and makes values as they are read: walking,
// indexing and single values agree, references from indexing stay valid, and a copy
// written to leaves the packet it was copied from as read.
TEST(BinaryPacket, RowsReadAsColumnsBehaveAsAList)
{
    const DataPacket original = everyType();
    const DataPacket read = readPacket(writePacket(original));
    ASSERT_NE(read.rows.columns(), nullptr) << "the usual packet is read into columns";
    qsizetype r = 0;
    for (const QVariantList& row : read.rows) {
        const QVariantList& indexed = read.rows[r];
        EXPECT_EQ(row, indexed) << "row " << r;
        for (qsizetype f = 0; f < read.fields.size(); ++f)
            EXPECT_EQ(read.rows.value(r, f), indexed[f]) << "row " << r << " field " << f;
        ++r;
    }
    EXPECT_EQ(r, original.rows.size());
    EXPECT_FALSE(read.rows.value(r, 0).isValid());
    EXPECT_FALSE(read.rows.value(0, read.fields.size()).isValid());

    DataPacket edited = read;
    edited.rows[0][0] = QStringLiteral("outro");
    edited.rows.append(QVariantList(edited.fields.size()));
    EXPECT_EQ(read.rows.size(), original.rows.size());
    EXPECT_EQ(read.rows[0][0], original.rows[0][0]);
    const DataPacket again = readPacket(writePacket(edited));
    EXPECT_EQ(again.rows[0][0].toString(), "outro");
    EXPECT_EQ(again.rows.size(), original.rows.size() + 1);
    EXPECT_NE(again, read);
    EXPECT_EQ(readPacket(writePacket(read)), read);
}

// Text room is shared among the text columns by their declared sizes, so a narrow column
// next to a wide one in a short packet gets none at all. Its empty texts must still be
// rows of their own: once an empty text at no room was taken for a NUL and dropped, the
// column fell a row short of the others and later reads saw memory never written (a crash
// in the Release build, the customer copy's packet under pt_BR).
TEST(BinaryPacket, EmptyTextsInAColumnWithNoRoomReservedKeepTheirRows)
{
    Bytes b;
    b.header(2, 3);
    b.fieldWithWidth("WIDE", kZString1, 250);
    b.fieldWithWidth("NARROW", kZString1, 1);
    b.u16(0);
    b.finishMetadata();
    b.u8(0).u8(0).str("a").str("");
    b.u8(0).u8(0).str("b").str("y");
    b.u8(0).u8(0).str("").str("");
    const DataPacket read = readPacket(b.out);
    ASSERT_NE(read.rows.columns(), nullptr);
    const QList<QVariantList> expected{{"a", ""}, {"b", "y"}, {"", ""}};
    ASSERT_EQ(read.rows.size(), expected.size());
    for (qsizetype r = 0; r < expected.size(); ++r)
        for (qsizetype f = 0; f < 2; ++f) {
            EXPECT_EQ(read.rows.value(r, f), expected[r][f]) << "row " << r << " field " << f;
            EXPECT_TRUE(read.rows.value(r, f).isValid()) << "an empty text is not a null";
        }
}

TEST(BinaryPacket, WritesWhatTheHostWritesForAPacketBuiltInMemory)
{
    DataPacket p;
    p.fields = {fieldDef("NAME", FieldType::String, 24), fieldDef("NOTES", FieldType::Memo),
                fieldDef("PRICE", FieldType::Currency)};
    const DataPacket read = readPacket(writePacket(p));
    QStringList names;
    for (const PacketParam& param : read.params)
        names << QStringLiteral("%1:%2").arg(param.field).arg(QString::fromLatin1(param.name));
    EXPECT_EQ(names, QStringList({"0:WIDTH", "1:SUBTYPE", "2:SUBTYPE", "-1:LCID"}));
    EXPECT_EQ(read.fields[1].type, FieldType::Memo);
    EXPECT_EQ(read.fields[2].type, FieldType::Currency);
    EXPECT_EQ(fieldSubtype(read, 1), "Text");
    EXPECT_EQ(fieldSubtype(read, 2), "Money");
}

TEST(BinaryPacket, DecodesDayNumbersAndTimeStampsAsTheNoteGivesThem)
{
    Bytes b;
    b.header(2, 1).field("D", 0x00060004).field("DT", 0x00080008).u16(0).finishMetadata();
    b.u8(0).u8(0).i32(728993).f64(62927370303000.0);
    const DataPacket p = readPacket(b.out);
    EXPECT_EQ(p.rows[0][0].toDate(), QDate(1996, 11, 30));
    EXPECT_EQ(p.rows[0][1].toDateTime(), QDateTime(QDate(1995, 2, 2), QTime(1, 5, 3)));
}

TEST(BinaryPacket, ResolvesAChangeLogToTheCurrentRows)
{
    // Row 1 was modified (row 3 holds the change of B), row 2 deleted (row 4), row 5
    // inserted and then modified (row 6), row 7 inserted.
    Bytes b;
    b.header(2, 7).field("A", kInt4).fieldWithWidth("B", kZString1, 10);
    b.u16(1).str("CHANGE_LOG").u32(0x00820004).u32(15);
    for (quint32 v : {3u, 1u, 8u, 4u, 2u, 2u, 5u, 0u, 4u, 6u, 5u, 8u, 7u, 0u, 4u})
        b.u32(v);
    b.finishMetadata();
    b.u8(1).u8(0x00).i32(1).str("one");
    b.u8(1).u8(0x00).i32(2).str("two");
    b.u8(8).u8(0x02).str("uno");             // A not changed
    b.u8(2).u8(0x0A);                         // deleted version: both not changed
    b.u8(5).u8(0x04).i32(5);                  // B null
    b.u8(12).u8(0x02).str("five");            // A not changed
    b.u8(4).u8(0x00).i32(7).str("seven");
    const DataPacket p = readPacket(b.out);
    ASSERT_EQ(p.rows.size(), 3);
    EXPECT_EQ(p.rows[0], (QVariantList{1, QStringLiteral("uno")}));
    EXPECT_EQ(p.rows[1], (QVariantList{5, QStringLiteral("five")}));
    EXPECT_EQ(p.rows[2], (QVariantList{7, QStringLiteral("seven")}));
    // Written again, the rows are merged and the change log is gone.
    const DataPacket again = readPacket(writePacket(p));
    EXPECT_EQ(again.rows, p.rows);
    for (const PacketParam& param : again.params)
        EXPECT_NE(param.name, "CHANGE_LOG");
}

TEST(BinaryPacket, NotChangedWithoutAnOlderVersionIsNullAndCyclesDoNotHang)
{
    Bytes b;
    b.header(1, 3).field("A", kInt4);
    b.u16(1).str("CHANGE_LOG").u32(0x00820004).u32(9);
    for (quint32 v : {2u, 3u, 8u, 3u, 2u, 8u, 99u, 1u, 8u})  // a cycle and a row out of range
        b.u32(v);
    b.finishMetadata();
    b.u8(8).u8(0x02);         // no older version
    b.u8(8).u8(0x02);         // in a cycle with row 3
    b.u8(8).u8(0x00).i32(4);
    const DataPacket p = readPacket(b.out);
    ASSERT_EQ(p.rows.size(), 3);
    EXPECT_FALSE(p.rows[0][0].isValid());
    EXPECT_EQ(p.rows[2][0].toInt(), 4);
}

TEST(BinaryPacket, ReadsNestedDatasets)
{
    Bytes b;
    b.header(4, 2, 2).field("ID", kInt4);
    b.field("Lines", 0x050E0002);   // nested, two child descriptors follow
    b.fieldWithWidth("ITEM", kZString1, 8).field("QTY", kInt4);
    b.u16(0);                       // child table params
    b.u16(0).finishMetadata();      // table params
    b.u8(0).u8(0).i32(1).u32(2);
    b.u8(0).u8(0).str("pen").i32(3);
    b.u8(0).u8(0x04).str("ink");
    b.u8(0).u8(0x04).i32(2);        // nested field null
    const DataPacket p = readPacket(b.out);
    ASSERT_EQ(p.fields.size(), 2);
    EXPECT_EQ(p.fields[1].type, FieldType::DataSet);
    ASSERT_EQ(p.fields[1].children.size(), 2);
    EXPECT_EQ(p.fields[1].children[0].size, 8);
    ASSERT_EQ(p.rows.size(), 2);
    const DataPacket lines = p.rows[0][1].value<DataPacket>();
    ASSERT_EQ(lines.rows.size(), 2);
    EXPECT_EQ(lines.rows[0], (QVariantList{QStringLiteral("pen"), 3}));
    EXPECT_FALSE(lines.rows[1][1].isValid());
    EXPECT_FALSE(p.rows[1][1].isValid());
    // Written and read again (binary and XML), the nested rows survive.
    for (PacketFormat format : {PacketFormat::Binary, PacketFormat::Xml}) {
        const DataPacket again = readPacket(writePacket(p, format));
        ASSERT_EQ(again.rows.size(), 2);
        EXPECT_EQ(again.rows[0][1].value<DataPacket>().rows, lines.rows);
        EXPECT_FALSE(again.rows[1][1].isValid());
    }
}

TEST(BinaryPacket, NamesAreUtf8WhenValidElseWindows1252AndLongNamesSurvive)
{
    Bytes b;
    b.header(2, 0).field("A\xC3\xA7\xC3\xA3o", kInt4).field("Pre\xE7o", kInt4).u16(0).finishMetadata();
    const DataPacket p = readPacket(b.out);
    EXPECT_EQ(p.fields[0].name, QStringLiteral("Ação"));
    EXPECT_EQ(p.fields[1].name, QStringLiteral("Preço"));

    DataPacket longName;
    longName.fields = {fieldDef(QStringLiteral("A_FIELD_NAME_LONGER_THAN_THIRTY_ONE_BYTES"), FieldType::Integer)};
    longName.rows = {{42}};
    const DataPacket read = readPacket(writePacket(longName));
    EXPECT_EQ(read.fields[0].name, longName.fields[0].name);
    EXPECT_EQ(read.rows[0][0].toInt(), 42);
}

TEST(BinaryPacket, TextsAreWindows1252AndUnrepresentableCharactersBecomeQuestionMarks)
{
    DataPacket p;
    p.fields = {fieldDef("S", FieldType::String, 30)};
    p.rows = {{QStringLiteral("€ Ação → ok")}};
    const QByteArray bytes = writePacket(p);
    EXPECT_TRUE(bytes.contains(QByteArray("\x80 A\xE7\xE3o ? ok")));
    EXPECT_EQ(readPacket(bytes).rows[0][0].toString(), QStringLiteral("€ Ação ? ok"));
    // The bytes the code page leaves undefined survive a round trip.
    Bytes b;
    b.header(1, 1).fieldWithWidth("S", kZString1, 10).u16(1).str("LCID").u32(0x00010004).i32(1033).finishMetadata();
    b.u8(0).u8(0).str(QByteArray("\x81\x8D\x8F\x90\x9D"));
    EXPECT_EQ(writePacket(readPacket(b.out)), b.out);
}

TEST(BinaryPacket, TextsLongerThanTheirFieldAreCutToItsSize)
{
    DataPacket p;
    p.fields = {fieldDef("S", FieldType::String, 5)};
    p.rows = {{QStringLiteral("1234567890")}};
    EXPECT_EQ(readPacket(writePacket(p)).rows[0][0].toString(), "12345");
}

TEST(BinaryPacket, EmptyBytesAreANullPacketAndGarbageIsAnError)
{
    EXPECT_TRUE(readPacket(QByteArray()).isNull());
    try {
        readPacket(QByteArray("hello world"), QStringLiteral("junk.cds"));
        FAIL() << "no error";
    } catch (const PacketError& e) {
        EXPECT_TRUE(e.text().startsWith("junk.cds: not a data packet")) << e.text().toStdString();
    }
}

TEST(BinaryPacket, EveryTruncationIsAPacketErrorNamingSourceAndOffset)
{
    const QByteArray bytes = writePacket(everyType());
    for (qsizetype n = 4; n < bytes.size(); ++n) {
        try {
            readPacket(bytes.left(n), QStringLiteral("cut.cds"));
            ADD_FAILURE() << "no error at length " << n;
        } catch (const PacketError& e) {
            EXPECT_TRUE(e.text().startsWith("cut.cds: ")) << e.text().toStdString();
            EXPECT_TRUE(e.text().contains("offset")) << e.text().toStdString();
        }
    }
}

TEST(BinaryPacket, CorruptBytesNeverCrash)
{
    const QByteArray bytes = writePacket(everyType());
    int errors = 0;
    for (qsizetype i = 4; i < bytes.size(); ++i)
        for (char mask : {char(0xFF), char(0x80), char(0x01)}) {
            QByteArray corrupt = bytes;
            corrupt[i] = char(corrupt[i] ^ mask);
            try {
                readPacket(corrupt);
            } catch (const PacketError&) {
                ++errors;
            }
        }
    EXPECT_GT(errors, 0);
}

TEST(BinaryPacket, HugeDeclaredCountsAndLengthsAreErrorsNotAllocations)
{
    auto expectError = [](const QByteArray& bytes, const char* what) {
        try {
            readPacket(bytes, QStringLiteral("huge.cds"));
            ADD_FAILURE() << "no error for " << what;
        } catch (const PacketError& e) {
            EXPECT_TRUE(e.text().contains("truncated")) << what << ": " << e.text().toStdString();
        }
    };
    Bytes rows;
    rows.header(1, 0xFFFFFFFF).field("A", kInt4).u16(0).finishMetadata().u8(0).u8(0).i32(1);
    expectError(rows.out, "row count");
    Bytes columns;
    columns.header(0xFFFF, 0).field("A", kInt4);
    expectError(columns.out, "column count");
    Bytes param;
    param.header(1, 0).field("A", kInt4).u16(1).str("DEFAULT_ORDER").u32(0x00820002).u32(0x7FFFFFFF).u16(1);
    expectError(param.out, "parameter array");
    Bytes text;
    text.header(1, 1).field("S", 0x00490002).u16(0).finishMetadata().u8(0).u8(0).u16(0xFFFF).raw("abc");
    expectError(text.out, "text length");
    Bytes blob;
    blob.header(1, 1).field("B", kBlob).u16(0).finishMetadata().u8(0).u8(0).u32(0x7FFFFFFF).raw("abc");
    expectError(blob.out, "blob length");
    Bytes nested;
    nested.header(2, 1, 2).field("N", 0x050E0001).field("A", kInt4).u16(0).u16(0).finishMetadata();
    nested.u8(0).u8(0).u32(0xFFFFFFFF).u8(0).u8(0).i32(1);
    expectError(nested.out, "nested row count");
    // Past the rows read before the text pools are sized, the declared count still
    // reserves no more than the bytes left can hold.
    Bytes texts;
    texts.header(1, 0xFFFFFFFF).fieldWithWidth("S", kZString1, 20).u16(0).finishMetadata();
    for (int r = 0; r < 300; ++r)
        texts.u8(0).u8(0).str("abcdefgh");
    expectError(texts.out, "row count past the first rows");
}

TEST(BinaryPacket, UnsupportedTypesAndVersionsAreNamed)
{
    Bytes adt;
    adt.header(1, 0).field("ADDRESS", 0x010C0000).u16(0).finishMetadata();
    try {
        readPacket(adt.out, QStringLiteral("adt.cds"));
        FAIL() << "no error";
    } catch (const PacketError& e) {
        EXPECT_TRUE(e.text().contains("field 'ADDRESS' has an unsupported type")) << e.text().toStdString();
    }
    Bytes version;
    version.header(0, 0, 9);
    EXPECT_THROW(readPacket(version.out), PacketError);
}

TEST(BinaryPacket, PacketsTravelInVariantsAsTheirBinaryBytes)
{
    const DataPacket p = everyType();
    const QVariant v = packetToVariant(p);
    EXPECT_EQ(v.metaType().id(), QMetaType::QByteArray);
    expectSameRows(p, packetFromVariant(v));
    EXPECT_TRUE(packetFromVariant(QVariant()).isNull());
    EXPECT_FALSE(packetToVariant(DataPacket()).isValid());
    EXPECT_THROW(packetFromVariant(QVariant(42)), PacketError);
}

// Texts are converted eight characters at a time and kept in blocks shared by many
// values: every length around eight and past a block's share, with a character at each
// edge of the code page's agreement with Latin-1 at the start, middle and end, must
// survive each encoding, and a value changed after reading must leave the others alone;
// so too after many short texts, which leave too little room for the long ones after them.
namespace {

// A packet of one String field of `size` holding `shortFirst` one-letter texts, those
// texts, and an empty one.
DataPacket oddTexts(int size, int shortFirst = 0)
{
    DataPacket p;
    p.fields = {fieldDef("S", FieldType::String, size)};
    for (int i = 0; i < shortFirst; ++i)
        p.rows.append({QString(QLatin1Char('a' + i % 26))});
    for (const int length : {1, 2, 7, 8, 9, 15, 16, 17, 2049, 3000})
        for (const char16_t odd : {u'~', u'\u00A0', u'\u00FF', u'\u20AC', u'\u0081', u'\u017D'})
            for (const int at : {0, length / 2, length - 1}) {
                QString text(length, QLatin1Char('a' + length % 26));
                text[at] = QChar(odd);
                p.rows.append({text});
            }
    p.rows.append({QString("")});
    return p;
}

}  // namespace

class TextsOfEveryLength : public testing::TestWithParam<PacketFormat> {};

TEST_P(TextsOfEveryLength, SurviveAndStayApart)
{
    for (const int shortFirst : {0, 1000}) {
        const DataPacket p = oddTexts(3000, shortFirst);
        DataPacket back = readPacket(writePacket(p, GetParam()));
        ASSERT_EQ(back.rows.size(), p.rows.size());
        for (qsizetype r = 0; r < back.rows.size(); r += 2)
            static_cast<QString*>(back.rows[r][0].data())->append(QLatin1Char('!'));
        for (qsizetype r = 0; r < back.rows.size(); ++r) {
            const QString expected = p.rows[r][0].toString();
            EXPECT_EQ(back.rows[r][0].toString(), r % 2 ? expected : expected + '!') << "row " << r;
        }
    }
}

// A database's UTF-8 texts written straight into the rows: the bytes of the same values
// written whole, texts of Latin-1 letters taken, anything else left to the general way,
// whole or cut to the field's size.
TEST(BinaryPacket, TextsFromUtf8AreTheBytesOfTheirValues)
{
    for (const int size : {3000, 8, 5}) {
        const DataPacket p = oddTexts(size);
        BinaryPacketBuilder builder(p);
        for (const QVariantList& row : p.rows) {
            const QString text = row[0].toString();
            const QByteArray utf8 = text.toUtf8();
            builder.beginRow();
            const bool taken = builder.putUtf8Text(utf8.constData(), utf8.size());
            const QString kept = text.left(size);
            const bool latin1 = std::all_of(kept.begin(), kept.end(), [](QChar c) {
                return c.unicode() < 0x80 || (c.unicode() >= 0xA0 && c.unicode() <= 0xFF);
            });
            EXPECT_EQ(taken, latin1) << "size " << size << ": " << qPrintable(text.left(20));
            if (!taken)
                builder.putValue(text);
        }
        EXPECT_EQ(builder.finish(), writePacket(p)) << "size " << size;
    }
}

// A row given fewer values than fields would be read with the next row's bytes as its
// own: the builder refuses it when the next row begins and when the packet is finished.
TEST(BinaryPacket, TheBuilderRefusesARowShortOfValues)
{
    DataPacket shape;
    shape.fields = {fieldDef("A", FieldType::String, 5), fieldDef("B", FieldType::Integer)};
    for (const bool next : {true, false}) {
        BinaryPacketBuilder builder(shape);
        builder.beginRow();
        builder.putValue(QStringLiteral("x"));
        try {
            next ? builder.beginRow() : void(builder.finish());
            ADD_FAILURE() << (next ? "next row" : "finish") << " accepted a row of 1 value for 2 fields";
        } catch (const PacketError& e) {
            EXPECT_TRUE(e.text().contains("1 values for 2 fields")) << qPrintable(e.text());
        }
    }
    BinaryPacketBuilder builder(shape);
    builder.beginRow();
    builder.putValue(QStringLiteral("x"));
    builder.putNull();
    EXPECT_THROW(builder.putValue(1), PacketError) << "a value beyond the last field";
}

INSTANTIATE_TEST_SUITE_P(Encodings, TextsOfEveryLength,
                         testing::Values(PacketFormat::Binary, PacketFormat::Xml, PacketFormat::XmlUtf8),
                         [](const testing::TestParamInfo<PacketFormat>& info) {
                             std::string name = testing::PrintToString(info.param);
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });
