// Files the readers must refuse rather than misread (each names the file and the
// offset), the one they tolerate, and unusual stored forms that must be written back
// readable and equal. One body per property, the small hand-made files as data.

#include "platform/packet/PacketBytes.h"

#include "platform/Error.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataPacket.h"
#include "platform/dataset/PacketJson.h"

#include <gtest/gtest.h>

#include <functional>

using namespace platform;
using packettest::Bytes;

namespace {

QByteArray xml(const QByteArray& fields, const QByteArray& rows, const QByteArray& tail = "")
{
    return "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>" + fields
           + "</FIELDS><PARAMS/></METADATA><ROWDATA>" + rows + "</ROWDATA></DATAPACKET>" + tail;
}

const QByteArray kCaixa = "<FIELD attrname=\"CDCAIXA\" fieldtype=\"string\" WIDTH=\"3\"/>";

// A binary packet of one field (descriptor given whole) and the given row bytes.
QByteArray binary(const QByteArray& descriptor, const QByteArray& rows, quint32 rowCount = 1)
{
    Bytes b;
    b.header(1, rowCount).raw(descriptor).u16(0).finishMetadata().raw(rows);
    return b.out;
}

QByteArray textField(int width, quint32 widthWord = 0x00020002, int widthBytes = 2)
{
    Bytes d;
    d.str("NOME").u32(packettest::kZString1).u16(0).u16(1).str("WIDTH").u32(widthWord);
    d.raw(QByteArray::fromRawData(reinterpret_cast<const char*>(&width), widthBytes));  // little-endian host
    return d.out;
}

struct Refused {
    const char* what;
    QByteArray bytes;
    const char* message;
};

void PrintTo(const Refused& r, std::ostream* os)
{
    *os << r.what << ", refused: " << r.message;
}

class RefusedFile : public testing::TestWithParam<Refused> {};

// Read whole, and loaded by a dataset (a binary packet straight into its columns): the
// same refusal either way.
TEST_P(RefusedFile, IsAnErrorNamingFileAndOffset)
{
    const auto expectRefused = [](const std::function<qsizetype()>& read, const char* how) {
        try {
            FAIL() << how << " read " << read() << " rows";
        } catch (const PacketError& e) {
            EXPECT_TRUE(e.text().startsWith("t.cds: ")) << how << e.text().toStdString();
            EXPECT_TRUE(e.text().contains(QLatin1String(GetParam().message))) << how << e.text().toStdString();
            EXPECT_TRUE(e.text().contains(" at offset ")) << how << e.text().toStdString();
        }
    };
    expectRefused([] { return readPacket(GetParam().bytes, QStringLiteral("t.cds")).rows.size(); }, "readPacket");
    expectRefused(
        [] {
            ClientDataSet ds(QStringLiteral("t.cds"));
            ds.setData(GetParam().bytes);
            return qsizetype(ds.recordCount());
        },
        "setData");
}

INSTANTIATE_TEST_SUITE_P(
    Packets, RefusedFile,
    testing::Values(
        Refused{"damaged ROWDATA tag", xml(kCaixa, "").replace("<ROWDATA>", "<ROWDATx>"), "unexpected element <ROWDATx>"},
        Refused{"no ROWDATA", xml(kCaixa, "").replace("<ROWDATA></ROWDATA>", ""), "no ROWDATA"},
        Refused{"damaged ROW tag", xml(kCaixa, "<ROW CDCAIXA=\"001\"/><RXW CDCAIXA=\"002\"/>"), "<RXW> among the rows"},
        Refused{"duplicate attribute", xml(kCaixa, "<ROW CDCAIXA=\"001\" CDCAIXA=\"002\"/>"), "CDCAIXA appears twice"},
        Refused{"two fields one name", xml(kCaixa + kCaixa, ""), "two fields with the attrname 'CDCAIXA'"},
        Refused{"NUL byte", xml(kCaixa, QByteArray("<ROW CDCAIXA=\"0\0\"/>", 19)), "NUL character"},
        Refused{"NUL reference", xml(kCaixa, "<ROW CDCAIXA=\"0&#0;\"/>"), "reference to the NUL character"},
        Refused{"negative WIDTH", xml(QByteArray(kCaixa).replace("\"3\"", "\"-5\""), ""), "WIDTH: '-5'"},
        Refused{"absurd WIDTH", xml(QByteArray(kCaixa).replace("\"3\"", "\"9999999999\""), ""), "WIDTH: '9999999999'"},
        Refused{"text beyond WIDTH", xml(kCaixa, "<ROW CDCAIXA=\"0001\"/>"), "4 characters does not fit its size of 3"},
        Refused{"i2 out of range", xml("<FIELD attrname=\"Q\" fieldtype=\"i2\"/>", "<ROW Q=\"99999\"/>"), "not a valid i2"},
        Refused{"junk after DATAPACKET", xml(kCaixa, "", "<ROW CDCAIXA=\"003\"/>"), "after the end of DATAPACKET"},
        Refused{"junk after binary rows", binary(textField(3), Bytes().u8(0).u8(0).str("001").out + "junk"),
                "4 unexpected bytes after the last row"},
        Refused{"one byte after binary rows", binary(textField(3), Bytes().u8(0).u8(0).str("001").out + "j"),
                "1 unexpected bytes after the last row"},
        Refused{"NUL in binary text", binary(textField(3), Bytes().u8(0).u8(0).str(QByteArray("0\0" "1", 3)).out),
                "NUL character in the text of field 'NOME'"},
        Refused{"binary text beyond WIDTH", binary(textField(3), Bytes().u8(0).u8(0).str("0001").out),
                "does not fit its size of 3"},
        Refused{"NUL late in a long binary text",
                binary(textField(20), Bytes().u8(0).u8(0).str(QByteArray("0123456789AB\0" "DEF", 16)).out),
                "NUL character in the text of field 'NOME' at offset"},
        Refused{"long binary text beyond WIDTH", binary(textField(12), Bytes().u8(0).u8(0).str("0123456789ABC").out),
                "13 characters does not fit its size of 12"},
        Refused{"negative binary WIDTH", binary(textField(-5, 0x00010004, 4), Bytes().u8(0).u8(1).out),
                "WIDTH -5 is out of range"}),
    [](const testing::TestParamInfo<Refused>& info) {
        std::string name = info.param.what;
        for (char& c : name)
            if (!isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST(StrictReading, AFileDeclaredUtf8ThatIsNotIsReadAsWindows1252)
{
    QByteArray bytes = xml(kCaixa, "<ROW CDCAIXA=\"\xE9\"/>");
    bytes.replace("standalone", "encoding=\"UTF-8\" standalone");
    const DataPacket p = readPacket(bytes, QStringLiteral("t.xml"));
    EXPECT_EQ(p.rows.at(0).at(0).toString(), QStringLiteral("é"));
    EXPECT_EQ(p.sourceFormat, PacketFormat::Xml);
}

TEST(StrictReading, APacketAboveTheConfiguredCeilingIsRefusedBeforeReading)
{
    const qint64 before = packetSizeLimit();
    setPacketSizeLimit(100);
    const QByteArray bytes = xml(kCaixa, "<ROW CDCAIXA=\"001\"/>");
    try {
        readPacket(bytes, QStringLiteral("big.xml"));
        ADD_FAILURE() << "read";
    } catch (const PacketError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("big.xml: %1 bytes, more than the 100 bytes a data packet may have")
                                .arg(bytes.size()));
    }
    setPacketSizeLimit(before);
    EXPECT_EQ(readPacket(bytes).rows.size(), 1);
}

// WIDTH stored in a form other than the plain 16-bit integer: a byte string, an array,
// a varying word, a one-byte integer. Each reads, and is written back in the plain
// form, readable and equal, in every encoding.
class OddWidth : public testing::TestWithParam<std::pair<quint32, QByteArray>> {};

TEST_P(OddWidth, IsWrittenBackReadableAndEqual)
{
    const auto& [word, value] = GetParam();
    for (const quint32 fieldWord : {quint32(0x000B0002), packettest::kZString1}) {  // fixed bytes, text
        Bytes d;
        d.str("ID").u32(fieldWord).u16(0).u16(1).str("WIDTH").u32(word).raw(value);
        const QByteArray row = fieldWord == packettest::kZString1 ? Bytes().u8(0).u8(0).str("7").out
                                                                  : Bytes().u8(0).u8(0).u8('7').u8('8').out;
        const DataPacket original = readPacket(binary(d.out, row), QStringLiteral("odd.cds"));
        const QByteArray json = packetToJsonText(original);
        for (PacketFormat format : {PacketFormat::Binary, PacketFormat::Xml, PacketFormat::XmlUtf8}) {
            const QByteArray written = writePacket(original, format);
            EXPECT_EQ(packetToJsonText(readPacket(written, QStringLiteral("again"))), json) << int(format);
            EXPECT_EQ(writePacket(readPacket(written), format), written) << "normalised once";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Words, OddWidth,
                         testing::Values(std::pair{0x004B0002u, QByteArray("\x02\x00\x0a\x00", 4)},
                                         std::pair{0x00410002u, QByteArray("\x02\x00\x0a\x00", 4)},
                                         std::pair{0x008B0002u, QByteArray("\x01\x00\x00\x00\x0a\x00", 6)},
                                         std::pair{0x00810002u, QByteArray("\x01\x00\x00\x00\x0a\x00", 6)},
                                         std::pair{0x000B0002u, QByteArray("\x0a\x00", 2)},
                                         std::pair{0x00020001u, QByteArray("\x0a", 1)}),
                         [](const testing::TestParamInfo<std::pair<quint32, QByteArray>>& info) {
                             return "word_" + QByteArray::number(info.param.first, 16).rightJustified(8, '0').toStdString();
                         });

}  // namespace
