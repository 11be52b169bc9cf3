// Long random sequences of edits, deletes, navigation and filter switches, checked step by
// step against a plain model of the table; and random filter texts that must either parse
// or fail with a FilterError.

#include "DataSetTestSupport.h"

#include "platform/Error.h"
#include "platform/dataset/FilterExpression.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace platform;
using testsupport::def;

namespace {

// The table as a list of values in order; the filter keeps values not divisible by 3.
struct Model {
    std::vector<int> all;
    bool filterOn = false;
    int cur = -1;  // index into visible()

    static bool passes(int v) { return v % 3 != 0; }
    std::vector<int> visible() const
    {
        std::vector<int> out;
        for (int v : all)
            if (!filterOn || passes(v)) out.push_back(v);
        return out;
    }
    // Index in `all` of the visible row `row`.
    size_t position(int row) const
    {
        int seen = -1;
        for (size_t i = 0; i < all.size(); ++i)
            if ((!filterOn || passes(all[i])) && ++seen == row) return i;
        return all.size();
    }
    void settle(int row)  // after the visible row `row` went away
    {
        const int n = int(visible().size());
        cur = n == 0 ? -1 : std::min(row, n - 1);
    }
    void insert(int v, bool atEnd)
    {
        const int n = int(visible().size());
        int row = n;
        size_t at = all.size();  // appended, or nothing visible: at the end of the table
        if (!atEnd && n > 0) {
            row = cur;
            at = position(row);  // before the current row
        }
        all.insert(all.begin() + std::ptrdiff_t(at), v);
        cur = atEnd || n > 0 ? row : 0;
        if (filterOn && !passes(v)) settle(cur);
    }
    void edit(int v)
    {
        all[position(cur)] = v;
        if (filterOn && !passes(v)) settle(cur);
    }
    void remove()
    {
        const int row = cur;
        all.erase(all.begin() + std::ptrdiff_t(position(row)));
        settle(row);
    }
};

class RandomEdits : public ::testing::TestWithParam<quint32> {};

}  // namespace

TEST_P(RandomEdits, DataSetFollowsTheModel)
{
    QRandomGenerator rng(GetParam());
    ClientDataSet ds;
    ds.fieldDefs() = {def("V", FieldType::Integer), def("T", FieldType::String, 12)};
    ds.createDataSet();
    // Model::passes for the values used: 1 to 8, and multiples of 3 from 30 (the last
    // clause is never true but walks the prefix path).
    ds.setFilter("V = 1 OR V = 2 OR V = 4 OR V = 5 OR V = 7 OR V = 8 OR (V > 9 AND T = 'x*')");
    Model m;
    auto valueFor = [&] { const int v = rng.bounded(1, 10); return v == 9 ? 30 + 3 * rng.bounded(5) : v; };
    for (int step = 0; step < 3000; ++step) {
        const int op = rng.bounded(10);
        const int n = int(m.visible().size());
        const int v = valueFor();
        if (op == 0 || op == 1) {
            (op == 0 ? ds.insert() : ds.append());
            ds.field(0).setAsInteger(v);
            ds.field(1).setAsString(QStringLiteral("v%1").arg(v));
            ds.post();
            m.insert(v, op == 1);
        } else if (op == 2 && n > 0) {
            ds.edit();
            ds.field(0).setAsInteger(v);
            ds.field(1).setAsString(QStringLiteral("v%1").arg(v));
            ds.post();
            m.edit(v);
        } else if (op == 3 && n > 0) {
            ds.remove();
            m.remove();
        } else if (op == 4) {
            ds.insert();
            ds.field(0).setAsInteger(v);
            ds.cancel();
        } else if (op == 5) {
            ds.next();
            if (m.cur + 1 < n) ++m.cur;
        } else if (op == 6) {
            ds.prior();
            if (m.cur > 0) --m.cur;
        } else if (op == 7 && n > 0) {
            const int r = rng.bounded(n);
            ds.setRecNo(r + 1);
            m.cur = r;
        } else if (op == 8 && rng.bounded(4) == 0) {
            m.filterOn = !m.filterOn;
            ds.setFiltered(m.filterOn);
            m.cur = m.visible().empty() ? -1 : 0;
        } else if (op == 9) {
            ds.edit();
            ds.cancel();
        }
        const std::vector<int> visible = m.visible();
        ASSERT_EQ(ds.recordCount(), int(visible.size())) << "step " << step << " op " << op;
        ASSERT_EQ(ds.recNo(), m.cur + 1) << "step " << step << " op " << op;
        if (m.cur >= 0) {
            ASSERT_EQ(ds.field(0).asInteger(), visible[size_t(m.cur)]) << "step " << step;
        }
        if (step % 100 == 0) {
            for (int r = 0; r < int(visible.size()); ++r)
                ASSERT_EQ(ds.valueAt(r, 0).toInt(), visible[size_t(r)]) << "step " << step << " row " << r;
            const DataPacket p = ds.packet();
            ASSERT_EQ(p.rows.size(), qsizetype(m.all.size()));
            for (size_t i = 0; i < m.all.size(); ++i)
                ASSERT_EQ(p.rows[qsizetype(i)][0].toInt(), m.all[i]) << "step " << step;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomEdits, ::testing::Values(1u, 2u, 3u, 42u, 2026u),
                         [](const ::testing::TestParamInfo<quint32>& info) { return "seed_" + std::to_string(info.param); });

TEST(RandomFilterTexts, ParseOrFailCleanly)
{
    const FieldDefs defs = {def("CD", FieldType::Integer), def("NM", FieldType::String, 10),
                            def("DT", FieldType::Date), def("AT", FieldType::Boolean)};
    const QStringList pieces = {"CD", "nm", "[DT]", "AT", "=", "<>", "<", ">=", "AND", "OR", "NOT", "IS", "NULL",
                                "(", ")", "'a''b'", "'x*'", "12", "-3.5", "'07/12/2026'", "TRUE", "[", "'", "@", "1e5"};
    QRandomGenerator rng(7);
    int parsed = 0;
    for (int i = 0; i < 20000; ++i) {
        QString text;
        const int len = rng.bounded(1, 9);
        for (int k = 0; k < len; ++k)
            text += pieces[rng.bounded(pieces.size())] + (rng.bounded(3) ? QStringLiteral(" ") : QString());
        try {
            FilterExpression e(text);
            ++parsed;
            e.bind(defs);
            ClientDataSet ds;
            ds.fieldDefs() = defs;
            ds.createDataSet();
            ds.appendRecord({1, "a'b", QDate(2026, 12, 7), true});
            ds.appendRecord({});
            ds.setFilter(text);
            ds.setFiltered(true);
            EXPECT_LE(ds.recordCount(), 2);
        } catch (const FilterError&) {
        } catch (const DataSetError&) {
        }
    }
    EXPECT_GT(parsed, 100);  // the generator does produce valid expressions too
}
