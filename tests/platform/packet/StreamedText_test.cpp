// The JSON and XML texts of a packet handed on in pieces (what cdstool dump writes as it
// goes) are the whole texts, piece for piece, and no piece holds much more than a chunk.

#include "platform/packet/PacketBytes.h"

#include "platform/dataset/DataPacket.h"
#include "platform/dataset/PacketJson.h"

#include <QByteArrayList>
#include <gtest/gtest.h>

#include <functional>

using namespace platform;
using packettest::fieldDef;

namespace {

constexpr qsizetype kChunk = 64 * 1024;

DataPacket flatRows(int rows)
{
    DataPacket p;
    p.fields = {fieldDef("ID", FieldType::Integer), fieldDef("NAME", FieldType::String, 40),
                fieldDef("PRICE", FieldType::Float), fieldDef("NOTE", FieldType::Memo)};
    for (int r = 0; r < rows; ++r)
        p.rows.append({r, QStringLiteral("<Ana & \"Conceição\" %1>").arg(r), r % 7 ? QVariant(r / 8.0) : QVariant(),
                       r % 5 ? QVariant() : QVariant(QStringLiteral("linha 1\r\nlinha 2"))});
    return p;
}

// Every third row holds a nested dataset of two lines.
DataPacket nestedRows(int rows)
{
    DataPacket lines;
    lines.fields = {fieldDef("ITEM", FieldType::String, 8), fieldDef("QTY", FieldType::Integer)};
    lines.rows = {{QStringLiteral("pen"), 3}, {QVariant(), 1}};
    platform::FieldDef nested = fieldDef("Lines", FieldType::DataSet);
    nested.children = lines.fields;
    DataPacket p;
    p.fields = {fieldDef("ID", FieldType::Integer), nested};
    for (int r = 0; r < rows; ++r)
        p.rows.append({r, r % 3 ? QVariant() : QVariant::fromValue(lines)});
    return p;
}

struct Streamed {
    const char* form;
    std::function<QByteArray(const DataPacket&)> whole;
    std::function<void(const DataPacket&, const TextSink&)> pieces;
};

const Streamed kForms[] = {
    {"json", packetToJsonText, writePacketJsonText},
    {"xml", [](const DataPacket& p) { return writePacket(p, PacketFormat::Xml); },
     [](const DataPacket& p, const TextSink& s) { writePacketTo(p, PacketFormat::Xml, s); }},
    {"xml-utf8", [](const DataPacket& p) { return writePacket(p, PacketFormat::XmlUtf8); },
     [](const DataPacket& p, const TextSink& s) { writePacketTo(p, PacketFormat::XmlUtf8, s); }},
};

QByteArrayList piecesOf(const Streamed& form, const DataPacket& p)
{
    QByteArrayList pieces;
    form.pieces(p, [&](QByteArrayView piece) { pieces << piece.toByteArray(); });
    return pieces;
}

}  // namespace

TEST(StreamedText, IsTheWholeTextInPiecesOfAboutAChunk)
{
    const DataPacket list = flatRows(20000);
    const struct {
        const char* name;
        DataPacket packet;
    } packets[] = {
        {"rows in a list", list},
        {"rows in columns, as a binary file reads", readPacket(writePacket(list))},
        {"nested datasets", nestedRows(20000)},
        {"no rows", flatRows(0)},
    };
    for (const auto& [name, packet] : packets) {
        for (const Streamed& form : kForms) {
            SCOPED_TRACE(std::string(name) + ", " + form.form);
            const QByteArray whole = form.whole(packet);
            const QByteArrayList pieces = piecesOf(form, packet);
            EXPECT_EQ(pieces.join(), whole);
            EXPECT_GE(pieces.size(), whole.size() / (2 * kChunk));
            for (const QByteArray& piece : pieces) {
                EXPECT_FALSE(piece.isEmpty());
                EXPECT_LT(piece.size(), 2 * kChunk);
            }
        }
    }
}

TEST(StreamedText, TheBinaryEncodingGoesInOnePiece)
{
    const DataPacket p = flatRows(100);
    QByteArrayList pieces;
    writePacketTo(p, PacketFormat::Binary, [&](QByteArrayView piece) { pieces << piece.toByteArray(); });
    EXPECT_EQ(pieces, QByteArrayList{writePacket(p)});
}
