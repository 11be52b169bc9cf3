// A long list's binary packet, whose columns are read on two threads: the same rows as a
// short packet's reading gives, and every error the same, at the same offset, in row order.

#include "support/NoNewThreads.h"

#include "platform/Error.h"
#include "platform/dataset/DataPacket.h"

#include <QDate>

#include <optional>
#include <gtest/gtest.h>

using namespace platform;

namespace {

constexpr int kRows = 40000;  // well past the length from which two threads read

FieldDef field(const char* name, FieldType type, int size = 0)
{
    FieldDef def;
    def.name = QString::fromLatin1(name);
    def.type = type;
    def.size = size;
    return def;
}

// A text first and a text last, so that each thread's half has one; values that differ
// from row to row, so that a value stored in a neighbour's row or column shows.
DataPacket longList()
{
    DataPacket p;
    p.fields = {field("NOME", FieldType::String, 30), field("CODIGO", FieldType::Integer),
                field("NASC", FieldType::Date), field("SALDO", FieldType::Float),
                field("UF", FieldType::FixedChar, 2), field("OBS", FieldType::Memo),
                field("FIM", FieldType::String, 20)};
    for (int r = 0; r < kRows; ++r) {
        const bool nulls = r % 97 == 5;
        p.rows.append(QVariantList{QStringLiteral("Consumidor %1").arg(r), r,
                                   nulls ? QVariant() : QVariant(QDate(1950, 1, 1).addDays(r)), r * 0.25,
                                   QStringLiteral("S%1").arg(r % 10), nulls ? QVariant() : QVariant(QStringLiteral("obs %1").arg(r)),
                                   nulls ? QVariant() : QVariant(QStringLiteral("fim-%1").arg(r, 6, 10, QLatin1Char('0')))});
    }
    return p;
}

const QByteArray& longBytes()
{
    static const QByteArray bytes = writePacket(longList());
    return bytes;
}

QString readError(const QByteArray& bytes)
{
    try {
        readPacket(bytes, QStringLiteral("long.cds"));
    } catch (const PacketError& e) {
        return e.text();
    }
    return QStringLiteral("no error");
}

}  // namespace

// On two threads, and on one where the second cannot start.
TEST(LongPacket, ReadsEveryValueOfEveryRowAndWritesTheSameBytesBack)
{
    const DataPacket original = longList();
    for (bool secondThread : {true, false}) {
        std::optional<testsupport::NoNewThreads> none;
        if (!secondThread)
            none.emplace();
        const DataPacket read = readPacket(longBytes());
        ASSERT_NE(read.rows.columns(), nullptr);
        ASSERT_EQ(read.rows.size(), kRows);
        EXPECT_EQ(writePacket(read), longBytes()) << secondThread;
        for (int r : {0, 5, 255, 256, 257, 32767, 32768, kRows - 1})
            EXPECT_EQ(read.rows[r], original.rows[r]) << "row " << r << ", second thread " << secondThread;
    }
}

// Each case spoils rows near the end, in the first field, in the last, or both, and
// expects the error a reading in row order meets first.
struct Spoilt {
    const char* name;
    QList<QPair<QByteArray, int>> nulsAt;  // a text, and the index of its byte made NUL
    QByteArray cutInside;                  // the packet ends inside this text
    QByteArray expectedAt;                 // the text whose bytes hold the expected offset
    const char* expected;
};

void PrintTo(const Spoilt& s, std::ostream* os) { *os << s.name; }

class LongPacketErrors : public testing::TestWithParam<Spoilt> {};

TEST_P(LongPacketErrors, AreThoseOfARowOrderReading)
{
    const Spoilt& c = GetParam();
    QByteArray bytes = longBytes();
    for (const auto& [text, index] : c.nulsAt) {
        const qsizetype at = bytes.indexOf(text);
        ASSERT_GT(at, 0) << text.constData();
        bytes[at + index] = '\0';
    }
    if (!c.cutInside.isEmpty())
        bytes.truncate(bytes.indexOf(c.cutInside) + 3);
    const qsizetype offset = longBytes().indexOf(c.expectedAt) + (c.nulsAt.isEmpty() ? 0 : 2);
    EXPECT_EQ(readError(bytes), QStringLiteral("long.cds: %1 at offset %2").arg(QLatin1String(c.expected)).arg(offset));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LongPacketErrors,
    testing::Values(
        Spoilt{"FirstField", {{"Consumidor 39000", 2}}, {}, "Consumidor 39000",
               "NUL character in the text of field 'NOME'"},
        Spoilt{"LastField", {{"fim-039000", 2}}, {}, "fim-039000", "NUL character in the text of field 'FIM'"},
        Spoilt{"LastFieldOfAnEarlierRow", {{"Consumidor 39001", 2}, {"fim-039000", 2}}, {}, "fim-039000",
               "NUL character in the text of field 'FIM'"},
        Spoilt{"FirstFieldOfAnEarlierRow", {{"Consumidor 39000", 2}, {"fim-039001", 2}}, {},
               "Consumidor 39000", "NUL character in the text of field 'NOME'"},
        Spoilt{"Cut", {}, "fim-039999", "fim-039999", "truncated text value"}),
    [](const testing::TestParamInfo<Spoilt>& info) { return std::string(info.param.name); });

// A row near the end marked deleted sends the reading the general way, which drops it.
TEST(LongPacket, ARowNotCurrentNearTheEndIsReadTheGeneralWay)
{
    QByteArray bytes = longBytes();
    // The row's state, its two bytes of null flags, and its first text's length come first.
    const qsizetype row = bytes.indexOf("Consumidor 39000") - 4;
    ASSERT_EQ(bytes[row], '\0');
    bytes[row] = '\x02';
    const DataPacket read = readPacket(bytes);
    ASSERT_EQ(read.rows.size(), kRows - 1);
    EXPECT_EQ(read.rows[38999][0].toString(), QStringLiteral("Consumidor 38999"));
    EXPECT_EQ(read.rows[39000][0].toString(), QStringLiteral("Consumidor 39001"));
    EXPECT_EQ(read.rows[39000][6].toString(), QStringLiteral("fim-039001"));
}
