// A text column holds its texts a byte a character while each fits Latin-1, and moves
// to two bytes a character at the first one that does not (in a packet: a Windows-1252
// byte from 0x80 to 0x9F; in an edit: any character beyond Latin-1). Whatever the column
// holds, the values, locate, filters and the packet written back are the same.

#include "DataSetTestSupport.h"

#include "platform/Error.h"
#include "platform/dataset/DataPacket.h"

#include <gtest/gtest.h>

using namespace platform;
using testsupport::def;

namespace {

struct Caso {
    const char* name;
    QStringList texts;
    bool throughPacket;  // loaded from the binary packet of a table; else appended
};

void PrintTo(const Caso& c, std::ostream* os) { *os << c.name; }

class TextStore : public ::testing::TestWithParam<Caso> {};

ClientDataSet* made(const Caso& c, ClientDataSet& appended, ClientDataSet& loaded)
{
    appended.fieldDefs() = {def("CD", FieldType::Integer), def("NM", FieldType::String, 20)};
    appended.createDataSet();
    for (int i = 0; i < c.texts.size(); ++i)
        appended.appendRecord({i, c.texts[i]});
    if (!c.throughPacket)
        return &appended;
    loaded.setData(appended.data());
    return &loaded;
}

TEST_P(TextStore, EveryTextReadsFindsAndWritesAsItWasGiven)
{
    const Caso& c = GetParam();
    ClientDataSet appended, loaded;
    ClientDataSet& ds = *made(c, appended, loaded);
    ASSERT_EQ(ds.recordCount(), c.texts.size());
    for (int r = 0; r < c.texts.size(); ++r) {
        const QString& text = c.texts[r];
        EXPECT_EQ(ds.valueAt(r, 1).toString(), text) << r;
        QAnyStringView view;
        ASSERT_TRUE(ds.textAt(r, 1, view));
        EXPECT_EQ(view.toString(), text) << r;
        EXPECT_TRUE(ds.locate("NM", text.toUpper(), {.caseInsensitive = true})) << r;
        EXPECT_EQ(ds.fieldByName("CD").asInteger(), r);
        EXPECT_TRUE(ds.locate("NM", text.left(2), {.partialKey = true})) << r;
        ds.setFilter(QStringLiteral("NM = '%1'").arg(text));
        ds.setFiltered(true);
        EXPECT_EQ(ds.recordCount(), 1) << r;
        ds.setFiltered(false);
    }
    if (c.throughPacket)
        EXPECT_EQ(ds.data().toByteArray(), appended.data().toByteArray());
}

// An edit that brings a character beyond Latin-1 into a column of Latin-1 texts keeps
// every other row's text as it was.
TEST_P(TextStore, AnEditBeyondLatin1KeepsTheOtherRows)
{
    const Caso& c = GetParam();
    ClientDataSet appended, loaded;
    ClientDataSet& ds = *made(c, appended, loaded);
    ds.first();
    ds.edit();
    ds.fieldByName("NM").setValue(QStringLiteral("山田 Ω"));
    ds.post();
    EXPECT_EQ(ds.valueAt(0, 1).toString(), QStringLiteral("山田 Ω"));
    for (int r = 1; r < c.texts.size(); ++r)
        EXPECT_EQ(ds.valueAt(r, 1).toString(), c.texts[r]) << r;
    EXPECT_TRUE(ds.locate("NM", QStringLiteral("山田 Ω"), {}));
}

// A loaded packet's texts stay in the packet: the dataset outlives the packet it was given,
// and edits of every row (whose old texts are the packet's, not the column's to reclaim)
// then a text beyond Latin-1 keep each row's value.
TEST(TextStoreLoaded, EditsOfEveryLoadedRowKeepTheValues)
{
    ClientDataSet loaded;
    {
        ClientDataSet appended;
        appended.fieldDefs() = {def("CD", FieldType::Integer), def("NM", FieldType::String, 30)};
        appended.createDataSet();
        for (int i = 0; i < 6000; ++i)
            appended.appendRecord({i, QStringLiteral("CONSUMIDOR NÚMERO %1").arg(i, 8, 10, QLatin1Char('0'))});
        loaded.setData(appended.data());
    }
    for (int round = 0; round < 3; ++round) {
        loaded.first();
        for (int i = 0; i < 6000; ++i, loaded.next()) {
            loaded.edit();
            loaded.fieldByName("NM").setValue(QStringLiteral("N%1 %2").arg(round).arg(i));
            loaded.post();
        }
        for (int i = 0; i < 6000; i += 997)
            ASSERT_EQ(loaded.valueAt(i, 1).toString(), QStringLiteral("N%1 %2").arg(round).arg(i)) << round;
    }
    loaded.first();
    loaded.edit();
    loaded.fieldByName("NM").setValue(QStringLiteral("Ωmega"));
    loaded.post();
    EXPECT_EQ(loaded.valueAt(0, 1).toString(), QStringLiteral("Ωmega"));
    EXPECT_EQ(loaded.valueAt(5999, 1).toString(), QStringLiteral("N2 5999"));
}

// A row's text length is held in 16 bits beside its offset, a longer one (a memo's) aside:
// lengths on each side of that limit read back, survive edits that move a row across it
// either way, a move of the column to UTF-16, and the packet written back, whether the
// texts were appended or loaded (and then held where the packet holds them).
TEST(TextStoreLengths, TextsOnEachSideOfTheShortLengthKeepTheirLength)
{
    const QList<int> lengths{0, 65533, 65534, 65535, 70000, -1, 3};
    const auto text = [](int length, QChar c) { return length < 0 ? QString() : QString(length, c); };
    for (const bool throughPacket : {false, true}) {
        SCOPED_TRACE(throughPacket ? "loaded" : "appended");
        ClientDataSet appended, loaded;
        appended.fieldDefs() = {def("CD", FieldType::Integer), def("TX", FieldType::Memo)};
        appended.createDataSet();
        for (int i = 0; i < lengths.size(); ++i)
            appended.appendRecord({i, lengths[i] < 0 ? QVariant() : QVariant(text(lengths[i], QLatin1Char('a' + i)))});
        ClientDataSet& ds = throughPacket ? (loaded.setData(appended.data()), loaded) : appended;
        const auto expectRows = [&](const QList<int>& want, QChar last, const char* step) {
            for (int i = 0; i < want.size(); ++i) {
                const QChar c = i == want.size() - 1 ? last : QChar(QLatin1Char('a' + i));
                EXPECT_EQ(ds.valueAt(i, 1).toString(), text(want[i], c)) << step << " row " << i;
                QAnyStringView view;
                ds.textAt(i, 1, view);  // a null memo reads as an empty text
                EXPECT_EQ(view.size(), std::max(want[i], 0)) << step << " row " << i;
            }
        };
        expectRows(lengths, QLatin1Char('a' + 6), "as given");
        EXPECT_EQ(ds.data().toByteArray(), appended.data().toByteArray());

        // Long to short, short to long, null to long, long to null.
        const QList<int> edited{0, 3, 70001, 65534, -1, 65535, 3};
        for (int i = 1; i < 6; ++i) {
            ds.locate("CD", i, {});
            ds.edit();
            ds.fieldByName("TX").setValue(edited[i] < 0 ? QVariant() : QVariant(text(edited[i], QLatin1Char('a' + i))));
            ds.post();
        }
        expectRows(edited, QLatin1Char('a' + 6), "edited");
        ds.locate("CD", 6, {});
        ds.edit();
        ds.fieldByName("TX").setValue(QStringLiteral("ΩΩΩ"));  // the column moves to UTF-16
        ds.post();
        expectRows(edited, QChar(0x3A9), "widened");
    }
}

// The dataset keeps a loaded packet only when texts are most of it: a packet of numbers
// and short texts leaves its texts copied out and the packet free. Whether the packet is
// still shared shows in whether its array is detached.
struct Holding {
    const char* name;
    int numbers;  // integer fields besides the text
    int chars;    // characters of each row's text
    bool kept;
};

void PrintTo(const Holding& h, std::ostream* os) { *os << h.name; }

class TextStoreHolding : public ::testing::TestWithParam<Holding> {};

TEST_P(TextStoreHolding, APacketIsKeptOnlyWhenTextsAreMostOfIt)
{
    const Holding& h = GetParam();
    ClientDataSet appended;
    for (int n = 0; n < h.numbers; ++n)
        appended.fieldDefs().append(def(QStringLiteral("N%1").arg(n), FieldType::Integer));
    appended.fieldDefs().append(def("NM", FieldType::String, 40));
    appended.createDataSet();
    for (int i = 0; i < 500; ++i) {
        QVariantList row;
        for (int n = 0; n < h.numbers; ++n)
            row.append(i * 10 + n);
        row.append(QStringLiteral("%1").arg(i, h.chars, 10, QLatin1Char('x')));
        appended.appendRecord(row);
    }
    QByteArray packet = appended.data().toByteArray();
    packet.detach();  // the test's own array, shared with nobody
    ClientDataSet loaded;
    loaded.setData(packet);
    EXPECT_EQ(!packet.isDetached(), h.kept);
    for (int i = 0; i < 500; i += 99) {
        EXPECT_EQ(loaded.valueAt(i, h.numbers).toString(), QStringLiteral("%1").arg(i, h.chars, 10, QLatin1Char('x')));
        if (h.numbers > 0)
            EXPECT_EQ(loaded.valueAt(i, h.numbers - 1).toInt(), i * 10 + h.numbers - 1);
    }
    packet = QByteArray();  // the texts outlive the caller's array either way
    EXPECT_EQ(loaded.valueAt(499, h.numbers).toString(), QStringLiteral("%1").arg(499, h.chars, 10, QLatin1Char('x')));
}

INSTANTIATE_TEST_SUITE_P(Packets, TextStoreHolding,
                         ::testing::Values(Holding{"TextsAlone", 0, 30, true}, Holding{"TextsAndACode", 1, 30, true},
                                           Holding{"NumbersAndShortTexts", 6, 2, false}),
                         [](const ::testing::TestParamInfo<Holding>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Columns, TextStore,
    ::testing::Values(Caso{"Ascii", {"MARIA SILVA", "jose", "Ana 12"}, true},
                      Caso{"Latin1", {"JOÃO", "ação", "ÿ fim", "Ñandu"}, true},
                      Caso{"Cp1252AfterLatin1", {"JOÃO", "Preço € 5", "“aspas”", "çé"}, true},
                      // Long texts are checked sixteen bytes a step, the last step
                      // overlapping: a code-page byte first, in the middle, last.
                      Caso{"LongCp1252First", {"MARIA APARECIDA DOS", "€ MARIA APARECIDA S"}, true},
                      Caso{"LongCp1252Middle", {"MARIA APARECIDA DOS", "MARIA APAR“CIDA SIL"}, true},
                      Caso{"LongCp1252Last", {"MARIA APARECIDA DOS", "MARIA APARECIDA SA€"}, true},
                      Caso{"AppendedLatin1", {"JOÃO", "ação", "Zé"}, false},
                      Caso{"AppendedBeyondLatin1", {"JOÃO", "山田", "ação", "Ωmega"}, false}),
    [](const ::testing::TestParamInfo<Caso>& info) { return std::string(info.param.name); });

}  // namespace

// A loaded text is checked for NUL and for the code page's own characters (0x80 to 0x9F)
// a word at a time when it is short: either byte is seen at every place of every length.
TEST(TextStoreLoaded, ASpecialByteIsSeenAtEveryPlaceOfEveryLength)
{
    for (int n = 1; n <= 20; ++n)
        for (int at = 0; at < n; ++at) {
            QString text(n, u'a');
            text[at] = QChar(0x20AC);  // the euro sign, 0x80 in the packet
            DataPacket p;
            p.fields = {def("NM", FieldType::String, 20)};
            p.rows.append(QVariantList{text});
            QByteArray bytes = writePacket(p);
            EXPECT_EQ(readPacket(bytes).rows[0][0].toString(), text) << n << " at " << at;
            QByteArray stored(n, 'a');
            stored[at] = '\x80';
            bytes[bytes.indexOf(stored) + at] = '\0';
            EXPECT_THROW(readPacket(bytes), PacketError) << n << " at " << at;
        }
}
