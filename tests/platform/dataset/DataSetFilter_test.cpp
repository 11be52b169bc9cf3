// Filter + Filtered on a dataset: what is visible, where the current row goes, edits
// under a filter.

#include "DataSetTestSupport.h"

#include "platform/Error.h"

#include <gtest/gtest.h>

using namespace platform;
using testsupport::column;
using testsupport::def;
using testsupport::SignalLog;

namespace {

constexpr int TIPO = 0, MOSTRA = 1, DS = 2;

// Receipt types: IDTIPORECE, IDMOSTRARECE, DSTIPORECE.
class ReceiptTypes : public ::testing::Test {
protected:
    void SetUp() override
    {
        ds.fieldDefs() = {def("IDTIPORECE", FieldType::String, 1), def("IDMOSTRARECE", FieldType::String, 1),
                          def("DSTIPORECE", FieldType::String, 30)};
        ds.createDataSet();
        ds.appendRecord({"1", "S", "Dinheiro"});
        ds.appendRecord({"4", "N", "Fidelidade oculta"});
        ds.appendRecord({"4", QVariant(), "Fidelidade"});
        ds.appendRecord({"2", "S", "Cheque"});
        ds.appendRecord({"4", "S", "Fidelidade 2"});
        ds.first();
    }
    ClientDataSet ds;
};

}  // namespace

TEST_F(ReceiptTypes, FilterNarrowsNavigationAndCount)
{
    ds.setRecNo(4);
    ds.setFilter("(IDMOSTRARECE = 'S' OR IDMOSTRARECE IS NULL) AND IDTIPORECE = '4'");
    EXPECT_EQ(ds.recordCount(), 5);  // not yet filtered
    ds.setFiltered(true);
    EXPECT_EQ(ds.recordCount(), 2);
    EXPECT_EQ(ds.field(DS).asString(), "Fidelidade");  // the first row satisfying it, in stored order
    EXPECT_EQ(ds.recNo(), 1);
    QStringList seen;
    for (ds.first(); !ds.eof(); ds.next())
        seen << ds.field(DS).asString();
    EXPECT_EQ(seen, QStringList({"Fidelidade", "Fidelidade 2"}));

    ds.setFiltered(false);
    EXPECT_EQ(ds.recordCount(), 5);
    EXPECT_EQ(ds.filter(), "(IDMOSTRARECE = 'S' OR IDMOSTRARECE IS NULL) AND IDTIPORECE = '4'");
}

TEST_F(ReceiptTypes, ChangingTheFilterTextWhileFilteredReapplies)
{
    ds.setFiltered(true);  // no text yet: everything
    EXPECT_EQ(ds.recordCount(), 5);
    ds.setFilter("IDTIPORECE = '1'");
    EXPECT_EQ(column(ds, DS), QStringList({"Dinheiro"}));
    ds.setFilter("IDTIPORECE = '9'");
    EXPECT_TRUE(ds.isEmpty());
    EXPECT_TRUE(ds.eof() && ds.bof());
    EXPECT_TRUE(ds.field(DS).isNull());  // nothing satisfies it: fields read null
    ds.setFilter("");
    EXPECT_EQ(ds.recordCount(), 5);
}

TEST_F(ReceiptTypes, BadFilterLeavesTheOldOne)
{
    ds.setFilter("IDTIPORECE = '4'");
    ds.setFiltered(true);
    EXPECT_THROW(ds.setFilter("IDTIPORECE = "), FilterError);
    EXPECT_THROW(ds.setFilter("DSDIRCAD = 1"), DataSetError);
    EXPECT_EQ(ds.filter(), "IDTIPORECE = '4'");
    EXPECT_EQ(ds.recordCount(), 3);
}

TEST_F(ReceiptTypes, PostedRowThatNoLongerMatchesDisappears)
{
    ds.setFilter("IDTIPORECE = '4'");
    ds.setFiltered(true);
    ASSERT_EQ(ds.recordCount(), 3);
    ds.setRecNo(2);
    SignalLog log(ds);
    ds.edit();
    ds.field(TIPO).setAsString("3");
    ds.post();
    EXPECT_EQ(ds.recordCount(), 2);
    EXPECT_EQ(ds.field(DS).asString(), "Fidelidade 2");  // the next visible row
    const QStringList events = log.take();
    EXPECT_TRUE(events.contains("rowRemoved:1")) << events.join(' ').toStdString();
    EXPECT_EQ(events.last(), "afterPost");

    // A new row that does not match is visible while being entered, then leaves.
    ds.insert();
    EXPECT_EQ(ds.recordCount(), 3);
    ds.field(TIPO).setAsString("7");
    ds.post();
    EXPECT_EQ(ds.recordCount(), 2);

    // One that matches stays where it was inserted.
    ds.first();
    ds.insert();
    ds.field(TIPO).setAsString("4");
    ds.field(DS).setAsString("Nova");
    ds.post();
    EXPECT_EQ(column(ds, DS), QStringList({"Nova", "Fidelidade oculta", "Fidelidade 2"}));

    ds.setFiltered(false);
    EXPECT_EQ(column(ds, DS), QStringList({"Dinheiro", "Nova", "Fidelidade oculta", "Fidelidade", "Cheque",
                                           "<null>", "Fidelidade 2"}));  // nothing posted is lost
}

TEST_F(ReceiptTypes, DeleteUnderFilter)
{
    ds.setFilter("IDTIPORECE = '4'");
    ds.setFiltered(true);
    ds.setRecNo(3);
    ds.remove();
    EXPECT_EQ(ds.field(DS).asString(), "Fidelidade");
    EXPECT_TRUE(ds.eof());
    ds.setFiltered(false);
    EXPECT_EQ(ds.recordCount(), 4);
    EXPECT_EQ(column(ds, DS), QStringList({"Dinheiro", "Fidelidade oculta", "Fidelidade", "Cheque"}));
}

TEST(DataSetFilter, FilterSetWhileClosedAppliesOnOpen)
{
    ClientDataSet ds;
    ds.fieldDefs() = {def("CD", FieldType::Integer)};
    ds.setFilter("CD > 1");
    ds.setFiltered(true);
    ds.createDataSet();
    ds.appendRecord({1});  // visible while entered, gone once posted
    ds.appendRecord({2});
    EXPECT_EQ(column(ds, 0), QStringList({"2"}));

    ClientDataSet wrong;
    wrong.fieldDefs() = {def("CD", FieldType::Integer)};
    wrong.setFilter("DSDIRCAD = 1");
    wrong.setFiltered(true);
    EXPECT_THROW(wrong.createDataSet(), DataSetError);
    EXPECT_TRUE(wrong.active());    // the data is there,
    EXPECT_FALSE(wrong.filtered());  // unfiltered
}

TEST(DataSetFilter, FilteringNotifiesViewsOnce)
{
    ClientDataSet ds;
    ds.fieldDefs() = {def("CD", FieldType::Integer)};
    ds.createDataSet();
    for (int i = 0; i < 10; ++i)
        ds.appendRecord({i});
    SignalLog log(ds);
    ds.setFilter("CD >= 5");
    EXPECT_TRUE(log.take().isEmpty());  // not filtered yet
    ds.setFiltered(true);
    EXPECT_EQ(log.take().filter("reset").size(), 1);
    EXPECT_EQ(ds.valueAt(0, 0), QVariant(5));
}
