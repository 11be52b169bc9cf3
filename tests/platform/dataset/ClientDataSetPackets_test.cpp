// ClientDataSet with data packets and files: load, produce, round trips, null packets.

#include "DataSetTestSupport.h"

#include "platform/Error.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace platform;
using testsupport::column;
using testsupport::def;

namespace {

// One field of each kind the screen's datasets use, two rows (one full of nulls).
void makeAllTypes(ClientDataSet& ds)
{
    ds.fieldDefs() = {def("CD", FieldType::Integer), def("NM", FieldType::String, 20),
                      def("SG", FieldType::FixedChar, 3), def("NMW", FieldType::WideString, 10),
                      def("QT", FieldType::SmallInt), def("NR", FieldType::LargeInt),
                      def("VR", FieldType::Float), def("VRMOEDA", FieldType::Currency),
                      def("AT", FieldType::Boolean), def("DT", FieldType::Date), def("HR", FieldType::Time),
                      def("DH", FieldType::DateTime), def("OBS", FieldType::Memo), def("IMG", FieldType::Blob)};
    ds.createDataSet();
    ds.appendRecord({7, "Promoção € Natal", "AB", "Ünïcødé", 3, Q_INT64_C(9000000000), 12.5, 0.01, true,
                     QDate(2026, 12, 7), QTime(10, 30, 15), QDateTime(QDate(2026, 12, 7), QTime(10, 30, 15, 250)),
                     QString("linha 1\nlinha 2"), QByteArray("\x00\x01\xff", 3)});
    ds.appendRecord({});
}

}  // namespace

TEST(ClientDataSetPackets, PacketRoundTripKeepsEveryValue)
{
    ClientDataSet a;
    makeAllTypes(a);
    const DataPacket p = a.packet();
    ASSERT_EQ(p.rows.size(), 2);
    EXPECT_EQ(p.rows[0][2], QVariant("AB "));

    ClientDataSet b;
    b.setPacket(p);
    EXPECT_TRUE(b.active());
    EXPECT_EQ(b.state(), DataSetState::Browse);
    EXPECT_EQ(b.recordCount(), 2);
    EXPECT_EQ(b.recNo(), 1);
    const DataPacket back = b.packet();
    EXPECT_EQ(back.rows, p.rows);
    ASSERT_EQ(back.fields.size(), p.fields.size());
    for (int f = 0; f < p.fields.size(); ++f) {
        EXPECT_EQ(back.fields[f].name, p.fields[f].name);
        EXPECT_EQ(back.fields[f].type, p.fields[f].type) << f;
        EXPECT_EQ(back.fields[f].size, p.fields[f].size) << f;
    }
    EXPECT_EQ(b.fieldByName("NMW").asString(), "Ünïcødé");
    b.next();
    for (int f = 0; f < b.fieldCount(); ++f)
        EXPECT_TRUE(b.field(f).isNull()) << f;
}

TEST(ClientDataSetPackets, DataVariantRoundTripIsByteIdentical)
{
    ClientDataSet a;
    makeAllTypes(a);
    const QVariant data = a.data();
    ASSERT_EQ(data.typeId(), QMetaType::QByteArray);

    ClientDataSet b;
    b.setData(data);  // read straight into the columns
    EXPECT_EQ(b.data().toByteArray(), data.toByteArray());
    EXPECT_EQ(b.packet().rows, a.packet().rows);
    EXPECT_EQ(b.fieldByName("NM").asString(), "Promoção € Natal");
    EXPECT_EQ(b.fieldByName("VR").asFloat(), 12.5);
    EXPECT_EQ(b.fieldByName("DH").asDateTime(), QDateTime(QDate(2026, 12, 7), QTime(10, 30, 15, 250)));
}

TEST(ClientDataSetPackets, NullPacketClosesTheDataset)
{
    ClientDataSet ds;
    makeAllTypes(ds);
    ds.setData(QVariant());
    EXPECT_FALSE(ds.active());
    EXPECT_FALSE(ds.data().isValid());
    EXPECT_TRUE(ds.packet().isNull());

    makeAllTypes(ds);
    ds.setData(QByteArray());
    EXPECT_FALSE(ds.active());

    makeAllTypes(ds);
    ds.setPacket(DataPacket{});
    EXPECT_FALSE(ds.active());
    EXPECT_TRUE(ds.isEmpty());
}

TEST(ClientDataSetPackets, MalformedPacketIsAPacketError)
{
    ClientDataSet ds("cdsConsumidor");
    makeAllTypes(ds);
    EXPECT_THROW(ds.setData(QByteArray("not a packet at all")), PacketError);
    // A NUL inside a text is corruption whether the packet is read into a dataset or not.
    DataPacket nul;
    nul.fields = {def("NM", FieldType::String, 20)};
    nul.rows = {{QString("0123456789") + QChar(0) + "AB"}};
    EXPECT_THROW(ds.setData(writePacket(nul)), PacketError);
    EXPECT_THROW(readPacket(writePacket(nul)), PacketError);
}

TEST(ClientDataSetPackets, PacketHoldsPostedRowsOfTheWholeTable)
{
    ClientDataSet ds;
    ds.fieldDefs() = {def("CD", FieldType::Integer), def("NM", FieldType::String, 10)};
    ds.createDataSet();
    for (int i = 1; i <= 4; ++i)
        ds.appendRecord({i, QString::number(i)});
    ds.setFilter("CD > 2");
    ds.setFiltered(true);
    EXPECT_EQ(ds.packet().rows.size(), 4);  // the filter does not narrow the data

    ds.first();
    ds.edit();
    ds.field(1).setAsString("unposted");
    ds.insert();  // posts the edit, then a new row
    ds.field(0).setAsInteger(99);
    const DataPacket p = ds.packet();
    ASSERT_EQ(p.rows.size(), 4);  // the row being inserted is not data yet
    EXPECT_EQ(p.rows[2][1], QVariant("unposted"));
}

TEST(ClientDataSetPackets, ValuesOfOtherTypesAreConvertedOnLoad)
{
    DataPacket p;
    p.fields = {def("CD", FieldType::Integer), def("DT", FieldType::Date), def("NM", FieldType::String, 5)};
    p.rows = {{QString("12"), QDateTime(QDate(2026, 1, 2), QTime(0, 0)), QString("abc")}, {1}};
    ClientDataSet ds;
    ds.setPacket(p);
    EXPECT_EQ(ds.valueAt(0, 0).typeId(), QMetaType::Int);
    EXPECT_EQ(ds.valueAt(0, 1), QVariant(QDate(2026, 1, 2)));
    EXPECT_FALSE(ds.valueAt(1, 2).isValid());  // a short row is filled with nulls

    p.rows = {{QString("twelve"), QVariant(), QVariant()}};
    EXPECT_THROW(ds.setPacket(p), DataSetError);
    EXPECT_EQ(ds.recordCount(), 2);  // left as it was

    // Rows read from bytes (kept as columns), their field then given another type.
    DataPacket text;
    text.fields = {def("CD", FieldType::String, 5)};
    text.rows = {{QString("12")}};
    DataPacket read = readPacket(writePacket(text));
    read.fields[0] = def("CD", FieldType::Integer);
    ds.setPacket(read);
    EXPECT_EQ(ds.valueAt(0, 0), QVariant(12));
}

TEST(ClientDataSetPackets, PresentationSurvivesReloading)
{
    ClientDataSet ds;
    makeAllTypes(ds);
    const QVariant data = ds.data();
    ds.fieldByName("NM").setDisplayLabel("Nome");
    ds.fieldByName("VR").setDisplayFormat("#,##0.00");
    ds.fieldByName("CD").setVisible(false);
    ds.setData(data);
    EXPECT_EQ(ds.fieldByName("NM").displayLabel(), "Nome");
    EXPECT_EQ(ds.fieldByName("VR").displayFormat(), "#,##0.00");
    EXPECT_FALSE(ds.fieldByName("CD").visible());
}

TEST(ClientDataSetPackets, FilesInBothEncodings)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ClientDataSet a;
    makeAllTypes(a);
    for (PacketFormat format : {PacketFormat::Binary, PacketFormat::Xml, PacketFormat::XmlUtf8}) {
        const QString path = dir.filePath(QStringLiteral("t%1.cds").arg(int(format)));
        a.saveToFile(path, format);
        ClientDataSet b;
        b.loadFromFile(path);
        EXPECT_EQ(b.packet().rows, a.packet().rows) << int(format);
        EXPECT_EQ(b.packet().sourceFormat, format);
    }
    ClientDataSet c;
    makeAllTypes(c);
    EXPECT_THROW(c.loadFromFile(dir.filePath("missing.cds")), PacketError);
    EXPECT_EQ(c.recordCount(), 2);  // a failed load leaves the dataset as it was
    c.close();
    EXPECT_THROW(c.saveToFile(dir.filePath("closed.cds")), DataSetError);
}

TEST(ClientDataSetPackets, LoadNotifiesOnce)
{
    ClientDataSet a;
    makeAllTypes(a);
    ClientDataSet b;
    testsupport::SignalLog log(b);
    b.setData(a.data());
    EXPECT_EQ(log.take(), QStringList({"reset", "state:Browse", "current:0", "afterScroll"}));
    b.setData(a.data());  // reloading an open dataset closes it first
    EXPECT_EQ(log.take(), QStringList({"reset", "state:Inactive", "current:-1", "reset", "state:Browse", "current:0",
                                       "afterScroll"}));
}
