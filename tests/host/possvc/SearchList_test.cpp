// The search list: its model (visible fields, incremental filtering that ignores case and
// accents) and its dialog driven by the keyboard alone.

#include "SearchFixture.h"
#include "support/NoNewThreads.h"

#include "host/possvc/screen/SearchDialog.h"
#include "host/possvc/screen/SearchKeys.h"
#include "host/possvc/screen/SearchModel.h"

#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace possvc::sim;
using namespace possvc_test;

QStringList names(const SearchModel& m)
{
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r)
        out.append(m.data(m.index(r, 1)).toString());
    return out;
}

TEST(SearchModel, ShowsVisibleFieldsUnderTheirLabels)
{
    auto ds = sampleConsumers();
    SearchModel m(ds.get());
    ASSERT_EQ(m.columnCount(), 3);
    EXPECT_EQ(m.headerData(0, Qt::Horizontal).toString(), "Código do Consumidor");
    EXPECT_EQ(m.headerData(1, Qt::Horizontal).toString(), "Nome do Consumidor");
    EXPECT_EQ(m.headerData(2, Qt::Horizontal).toString(), "Código do Cliente");
    EXPECT_EQ(m.columnChars(0), 25);
    EXPECT_EQ(m.rowCount(), 4);
    EXPECT_EQ(m.data(m.index(0, 0)).toString(), "100");
}

TEST(SearchModel, FilterIgnoresCaseAndAccentsAndNeedsEveryWord)
{
    auto ds = sampleConsumers();
    SearchModel m(ds.get());
    m.setFilterText("joao");
    EXPECT_EQ(names(m), QStringList{"JOÃO DA SILVA"});
    m.setFilterText("JOSE");
    EXPECT_EQ(names(m), QStringList{"JOSÉ SILVA MARTINS"});
    m.setFilterText("silva maria");
    EXPECT_EQ(names(m), QStringList{"ANA MARIA SILVA"});
    m.setFilterText("002 silva");
    EXPECT_EQ(names(m), (QStringList{"JOSÉ SILVA MARTINS", "ANA MARIA SILVA"})) << "words match in any visible field";
    m.setFilterText("3333");
    EXPECT_EQ(m.rowCount(), 0) << "hidden fields are not searched";
}

TEST(SearchModel, NarrowingAndWideningAgain)
{
    auto ds = sampleConsumers();
    SearchModel m(ds.get());
    m.setFilterText("s");
    EXPECT_EQ(m.rowCount(), 4);
    m.setFilterText("si");
    EXPECT_EQ(m.rowCount(), 3);
    m.setFilterText("sil");
    EXPECT_EQ(m.rowCount(), 3);
    m.setFilterText("so");
    EXPECT_EQ(names(m), QStringList{"MARIA SOUZA"}) << "a changed letter searches all rows again";
    m.setFilterText("");
    EXPECT_EQ(m.rowCount(), 4);
    EXPECT_EQ(m.dataSetRow(3), 3);
    EXPECT_EQ(m.modelRow(2), 2);
    m.setFilterText("maria");
    EXPECT_EQ(m.modelRow(3), 1);
    EXPECT_EQ(m.modelRow(0), -1);
}

// Letters typed one at a time (and taken back) give the rows a fresh list gives for the
// same text: the narrowing must find a longer word past the place the shorter one was
// first found ("SI" in "SILVA SIMOES" before "SIM"), words that overlap, and words in
// other fields.
TEST(SearchModel, TypingLetterByLetterFindsWhatAFreshFilterFinds)
{
    const QList<QStringList> rows = {{"100", "JOÃO DA SILVA", "001", ""},   {"101", "MARIA SOUZA", "001", ""},
                                     {"102", "SILVA SIMÕES", "002", ""},    {"103", "ANA ANANIAS", "010", ""},
                                     {"104", "SIMONE MARIANA", "100", ""},  {"105", "ßTRAUSS", "", ""},
                                     {"106", "ΣΩΚΡΑΤΗΣ ΣΩΣ", "", ""},       {"107", "CAFÉ µ", "", ""}};
    const QStringList typed = {"silva simoes", "sim", "ana anani", "mariana 10", "10 0", "ssT", "nan ana a", "σωσ σωκ", "μ caf"};
    auto ds = consumerList(rows);
    for (const QString& text : typed) {
        SearchModel typing(ds.get());
        for (qsizetype n = 1; n <= text.size(); ++n) {
            typing.setFilterText(text.left(n));
            SearchModel fresh(ds.get());
            fresh.setFilterText(text.left(n));
            ASSERT_EQ(names(typing), names(fresh)) << qPrintable(text.left(n));
        }
        typing.setFilterText(text.chopped(1));
        SearchModel fresh(ds.get());
        fresh.setFilterText(text.chopped(1));
        EXPECT_EQ(names(typing), names(fresh)) << "taken back: " << qPrintable(text.chopped(1));
    }
    SearchModel m(ds.get());
    m.setFilterText("si");
    m.setFilterText("sim");
    EXPECT_EQ(names(m), (QStringList{"SILVA SIMÕES", "SIMONE MARIANA"}));
    // Texts outside Latin-1, and Latin-1 signs that fold to other scripts ("µ" is "μ").
    const QList<std::pair<QString, QStringList>> found = {{"σωκρατησ", {"ΣΩΚΡΑΤΗΣ ΣΩΣ"}},
                                                          {"ΣΩΣ", {"ΣΩΚΡΑΤΗΣ ΣΩΣ"}},
                                                          {"μ", {"CAFÉ µ"}},
                                                          {"cafe µ", {"CAFÉ µ"}},
                                                          {"ßtr", {"ßTRAUSS"}}};
    for (const auto& [filter, expected] : found) {
        m.setFilterText(filter);
        EXPECT_EQ(names(m), expected) << qPrintable(filter);
    }
}

// A long list is folded by two threads at once, or by the list's own thread alone when the
// other is stopped as the list opens or cannot start: the rows found are the same.
TEST(SearchModel, LargeListFiltersCorrectly)
{
    QList<QStringList> rows;
    rows.reserve(100000);
    for (int i = 0; i < 100000; ++i)
        rows.append({QString::number(100000 + i), QStringLiteral("CONSUMIDOR %1 %2").arg(i).arg(i % 7 == 0 ? "ÁGUA" : "TERRA"),
                     "001", ""});
    auto ds = consumerList(rows);
    // Rows whose number contains 9999 and is a multiple of 7.
    QList<int> expected;
    for (int i = 0; i < 100000; ++i)
        if (i % 7 == 0 && QString::number(i).contains("9999"))
            expected.append(i);
    for (const char* how : {"folded by two threads", "folded after a stop", "no second thread"}) {
        SCOPED_TRACE(how);
        std::optional<testsupport::NoNewThreads> none;
        if (how == std::string_view("no second thread"))
            none.emplace();
        SearchModel m(ds.get());
        if (how == std::string_view("folded after a stop"))
            m.stopPreparing();
        m.setFilterText("agua");
        EXPECT_EQ(m.rowCount(), 14286);
        m.setFilterText("agua 9999");
        QList<int> found;
        for (int r = 0; r < m.rowCount(); ++r)
            found.append(m.dataSetRow(r));
        EXPECT_EQ(found, expected);
        m.setFilterText("");
        EXPECT_EQ(m.rowCount(), 100000);
    }
}

// Texts typed, taken back, changed in the middle or replaced at once, over a list where a
// filter shows most rows (one pass through all the texts) or few (a look at each row
// shown), and whose texts hold signs, digits and letters beyond ASCII, which share the
// bits of a row's letter mask: every step shows what a fresh list shows for the same text.
struct Editing {
    const char* name;
    QStringList steps;
};

void PrintTo(const Editing& e, std::ostream* os) { *os << e.name; }

class SearchEditing : public ::testing::TestWithParam<Editing> {};

std::unique_ptr<platform::ClientDataSet> mixedConsumers()
{
    // "λ" is 0xCE 0xBB in UTF-8: its first byte shares the mask bit of "&".
    const QStringList first = {"MARIA", "MÁRIO", "ANA", "JOÃO", "R&B", "ΣΩΣ ΛΑΜΔΑ", "Ø-LUND", "ANA-MARIA"};
    const QStringList last = {"SILVA", "SOUZA", "SIMÕES", "AMARAL", "Ω&CIA", "KÖNIG", "NÁ", "10-20"};
    QList<QStringList> rows;
    for (int i = 0; i < first.size() * last.size() * 4; ++i)
        rows.append({QString::number(1000 + i), first[i % first.size()] + u' ' + last[(i / first.size()) % last.size()],
                     QString::number(i % 13).rightJustified(3, u'0'), ""});
    return consumerList(rows);
}

// The rows of `ds` whose visible fields hold every word of `text`, one field a word,
// looked for plainly in the folded texts.
QList<int> rowsHolding(platform::ClientDataSet& ds, const QString& text)
{
    const QStringList words = SearchModel::fold(text).split(u' ', Qt::SkipEmptyParts);
    QList<int> rows;
    for (int r = 0; r < ds.recordCount(); ++r) {
        QStringList fields;
        for (int f = 0; f < ds.fieldCount(); ++f)
            if (ds.field(f).visible())
                fields.append(SearchModel::fold(ds.displayTextAt(r, f)));
        if (std::all_of(words.begin(), words.end(), [&](const QString& w) {
                return std::any_of(fields.begin(), fields.end(), [&](const QString& t) { return t.contains(w); });
            }))
            rows.append(r);
    }
    return rows;
}

QList<int> shownRows(const SearchModel& m)
{
    QList<int> rows;
    for (int r = 0; r < m.rowCount(); ++r)
        rows.append(m.dataSetRow(r));
    return rows;
}

TEST_P(SearchEditing, EveryStepShowsTheRowsHoldingTheWords)
{
    auto ds = mixedConsumers();
    SearchModel editing(ds.get());
    for (const QString& text : GetParam().steps) {
        editing.setFilterText(text);
        const QList<int> expected = rowsHolding(*ds, text);
        ASSERT_EQ(shownRows(editing), expected) << qPrintable(text);
        SearchModel fresh(ds.get());
        fresh.setFilterText(text);
        ASSERT_EQ(shownRows(fresh), expected) << "a fresh list: " << qPrintable(text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SearchEditing,
    ::testing::Values(Editing{"TypedAndTakenBack", {"m", "ma", "mar", "mari", "maria", "maria ", "maria s", "maria si",
                                                    "maria s", "maria ", "maria", "mari", "ma", "m", ""}},
                      Editing{"TakenBackSeveralAtOnce", {"a", "an", "ana", "ana-", "ana-m", "an", "ana", "ana-mar", ""}},
                      Editing{"ChangedInTheMiddle", {"s", "si", "sil", "sim", "simo", "sio", "so", "sou"}},
                      Editing{"ReplacedAtOnce", {"ma", "mario", "10", "10-", "10-2", "ana", "a"}},
                      // Half the rows hold an "o": a second word among them, not in the rest.
                      Editing{"SecondWordWhileMostRowsShow", {"o", "o ", "o s", "o si", "o sil", "o s", "o so"}},
                      Editing{"SignsAndDigits", {"&", "r&", "r&b", "&", "-", "-l", "0", "00", "001", "0", "1", "10"}},
                      Editing{"BeyondAscii", {"σ", "σω", "σωσ", "ω", "ω&", "ø", "ø-", "ko", "kon", "k", "n", "na", "λ", "λα"}},
                      // Spaces typed, taken back or put before the words: the same words
                      // find the same rows, and the rows kept for shorter texts stay right.
                      Editing{"OnlySpacesChange", {"ana", "ana ", "ana  ", " ana ", " ana s", " ana si", " ana s", "ana s",
                                                   "ana  s", "ana ", "ana", "an", "a", " a", "a "}},
                      // Narrowed step by step, each result kept, then the last letters
                      // changed: the narrowing goes on from a kept result, again and again.
                      Editing{"NarrowedFromKeptResults", {"m", "ma", "mar", "mari", "maria", "mario", "mar", "mara",
                                                          "maral", "ma", "mari", "mario", "m", "a", "am", "ama", "amar",
                                                          "amaral", "ama", "ana", "an", ""}}),
    [](const ::testing::TestParamInfo<Editing>& info) { return std::string(info.param.name); });

// A word in texts of every length up to a few blocks of 32 places, at every place (also
// running past the end given), among decoys holding its first and last letters: found
// where a plain search finds it, from starts that are not aligned, never past the end.
TEST(SearchKeysFind, FindsTheFirstPlaceAsAPlainSearchDoes)
{
    for (const std::string word : {"ma", "mar", "maria", "m-ria"}) {
        for (size_t length = 0; length < 100; ++length) {
            for (size_t at = 0; at <= length; ++at) {
                std::vector<char> buffer(length + word.size() + SearchKeys::kPadding, '\n');
                std::fill_n(buffer.begin(), length, 'x');
                for (size_t d = 1; d < length; d += 7)  // "m" and "a" apart, "m?..?a" with the middle wrong
                    buffer[d] = d % 2 ? word.front() : word.back();
                std::copy(word.begin(), word.end(), buffer.begin() + qsizetype(at));
                const std::string_view text(buffer.data(), length);
                for (const size_t from : {size_t(0), size_t(1), size_t(3)}) {
                    if (from > length)
                        continue;
                    const char* found = SearchKeys::find(QByteArrayView(word.data(), qsizetype(word.size())),
                                                         buffer.data() + from, buffer.data() + length);
                    ASSERT_EQ(found ? size_t(found - buffer.data()) : std::string_view::npos, text.find(word, from))
                        << word << " in " << text << " from " << from;
                }
            }
        }
    }
}

class SearchDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ds = sampleConsumers();
        dialog = std::make_unique<SearchDialog>(ds.get(), SearchColours{});
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    int currentDataSetRow() const { return dialog->model()->dataSetRow(dialog->view()->currentIndex().row()); }

    std::unique_ptr<platform::ClientDataSet> ds;
    std::unique_ptr<SearchDialog> dialog;
};

TEST_F(SearchDialogTest, TypingFiltersArrowsMoveEnterChooses)
{
    EXPECT_EQ(currentDataSetRow(), 0);
    QTest::keyClicks(dialog->filterEdit(), "silva");
    EXPECT_EQ(dialog->model()->rowCount(), 3);
    EXPECT_EQ(dialog->findChild<QLabel*>("lblPesquisaContagem")->text(), "3 de 4");
    QTest::keyClick(dialog->filterEdit(), Qt::Key_Down);
    QTest::keyClick(dialog->filterEdit(), Qt::Key_Down);
    EXPECT_EQ(currentDataSetRow(), 3);
    QTest::keyClick(dialog->filterEdit(), Qt::Key_Up);
    EXPECT_EQ(currentDataSetRow(), 2);
    EXPECT_TRUE(dialog->filterEdit()->hasFocus()) << "typing goes on in the filter line";
    QTest::keyClick(dialog->filterEdit(), Qt::Key_Return);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->chosenRow(), 2);
    EXPECT_EQ(ds->recNo(), 1) << "the dialog never moves the dataset itself";
}

TEST_F(SearchDialogTest, EscapeGivesUp)
{
    QTest::keyClicks(dialog->filterEdit(), "maria");
    QTest::keyClick(dialog->filterEdit(), Qt::Key_Escape);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->chosenRow(), -1);
}

TEST_F(SearchDialogTest, EnterOnAnEmptyListKeepsTheListOpen)
{
    QTest::keyClicks(dialog->filterEdit(), "mariaz");
    EXPECT_EQ(dialog->model()->rowCount(), 0);
    QTest::keyClick(dialog->filterEdit(), Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());
    QTest::keyClick(dialog->filterEdit(), Qt::Key_Backspace);
    EXPECT_EQ(dialog->model()->rowCount(), 2) << "deleting a letter widens the list again";
    QTest::keyClick(dialog->filterEdit(), Qt::Key_Return);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->chosenRow(), 1);
}

TEST_F(SearchDialogTest, SelectionStaysOnTheSameRowWhileItMatches)
{
    QTest::keyClick(dialog->filterEdit(), Qt::Key_Down);
    QTest::keyClick(dialog->filterEdit(), Qt::Key_Down);
    EXPECT_EQ(currentDataSetRow(), 2);
    QTest::keyClicks(dialog->filterEdit(), "silva");
    EXPECT_EQ(currentDataSetRow(), 2);
    QTest::keyClicks(dialog->filterEdit(), " ana");
    EXPECT_EQ(currentDataSetRow(), 3) << "the row left the list: the first row is chosen";
}

TEST_F(SearchDialogTest, TypingInTheListGoesToTheFilterLine)
{
    dialog->view()->setFocus();
    QTest::keyClicks(dialog->view(), "ana");
    EXPECT_EQ(dialog->filterEdit()->text(), "ana");
    EXPECT_EQ(dialog->model()->rowCount(), 1);
}

TEST(SearchDialogStart, StartsOnTheDataSetsCurrentRow)
{
    auto ds = sampleConsumers();
    ds->setRecNo(3);
    SearchDialog dialog(ds.get(), SearchColours{});
    EXPECT_EQ(dialog.model()->dataSetRow(dialog.view()->currentIndex().row()), 2);
}

}  // namespace
