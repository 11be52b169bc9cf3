// Locate and Lookup: key lists, conversion of each value to its field's type, options.

#include "DataSetTestSupport.h"

#include "platform/Error.h"

#include <gtest/gtest.h>

using namespace platform;
using testsupport::def;
using testsupport::LocaleScope;

namespace {

constexpr int CD = 0, NM = 1, VR = 2, DT = 3;

class LocateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ds.fieldDefs() = {def("CDCAMPANHA", FieldType::Integer), def("NMCAMPANHA", FieldType::String, 20),
                          def("VRPONTO", FieldType::Float), def("DTINICIO", FieldType::Date),
                          def("SGTIPO", FieldType::FixedChar, 3)};
        ds.createDataSet();
        ds.appendRecord({1, "Natal", 10.0, QDate(2026, 12, 1), "A"});
        ds.appendRecord({2, "Verão", 12.5, QDate(2027, 1, 15), "B"});
        ds.appendRecord({3, "natal", 12.5, QDate(2026, 12, 1), "A"});
        ds.appendRecord({4, QVariant(), QVariant(), QVariant(), QVariant()});
        ds.first();
    }
    int locatedCd(const QString& keys, const QVariant& values, LocateOptions o = {})
    {
        return ds.locate(keys, values, o) ? ds.field(CD).asInteger() : -1;
    }
    ClientDataSet ds;
};

}  // namespace

TEST_F(LocateTest, SingleKeyWholeValueCaseSensitiveByDefault)
{
    EXPECT_EQ(locatedCd("NMCAMPANHA", "natal"), 3);
    EXPECT_EQ(locatedCd("NMCAMPANHA", "Nat"), -1);  // whole values only
    LocateOptions ci;
    ci.caseInsensitive = true;
    EXPECT_EQ(locatedCd("nmcampanha", "NATAL", ci), 1);
    EXPECT_EQ(locatedCd("NMCAMPANHA", "VERÃO", ci), 2);
}

TEST_F(LocateTest, PartialKeyMatchesAPrefix)
{
    LocateOptions partial;
    partial.partialKey = true;
    EXPECT_EQ(locatedCd("NMCAMPANHA", "Ver", partial), 2);
    EXPECT_EQ(locatedCd("SGTIPO", "B", partial), 2);
}

TEST_F(LocateTest, SeveralKeysWithAVariantArray)
{
    EXPECT_EQ(locatedCd("VRPONTO;DTINICIO", QVariantList{12.5, QDate(2026, 12, 1)}), 3);
    EXPECT_EQ(locatedCd(" CDCAMPANHA ; NMCAMPANHA ", QVariantList{"2", "Verão"}), 2);
    EXPECT_EQ(locatedCd("CDCAMPANHA;NMCAMPANHA", QVariantList{2, "Natal"}), -1);
    EXPECT_EQ(locatedCd("CDCAMPANHA", QVariantList{3}), 3);  // a one-element array for one key
    EXPECT_THROW(ds.locate("CDCAMPANHA;NMCAMPANHA", 2), DataSetError);
    EXPECT_THROW(ds.locate("CDCAMPANHA;DSDIRCAD", QVariantList{1, 2}), DataSetError);
}

TEST_F(LocateTest, NumericTextFollowsTheLocale)
{
    {
        LocaleScope ptBR("pt_BR");
        EXPECT_EQ(locatedCd("VRPONTO", "12,5"), 2);
    }
    {
        LocaleScope c("C");
        EXPECT_EQ(locatedCd("VRPONTO", "12.5"), 2);
        EXPECT_THROW(ds.locate("VRPONTO", "12,5"), DataSetError);
    }
    EXPECT_EQ(locatedCd("VRPONTO", 10), 1);
    EXPECT_EQ(locatedCd("CDCAMPANHA", 2.0), 2);
    EXPECT_EQ(locatedCd("CDCAMPANHA", 1.6), -1);  // not rounded to 2
}

TEST_F(LocateTest, DatesFromDateTimeAndText)
{
    LocaleScope ptBR("pt_BR");
    EXPECT_EQ(locatedCd("DTINICIO", QDateTime(QDate(2027, 1, 15), QTime(0, 0))), 2);
    EXPECT_EQ(locatedCd("DTINICIO", "15/01/2027"), 2);
    EXPECT_EQ(locatedCd("DTINICIO", QDate(2026, 12, 1)), 1);
}

TEST_F(LocateTest, FixedLengthTextsCompareWithTheirPadding)
{
    EXPECT_EQ(locatedCd("SGTIPO;CDCAMPANHA", QVariantList{"A", 3}), 3);
    EXPECT_EQ(ds.field(4).asString(), "A  ");
}

TEST_F(LocateTest, NullMatchesNull)
{
    EXPECT_EQ(locatedCd("NMCAMPANHA", QVariant()), 4);
    EXPECT_EQ(locatedCd("VRPONTO", ""), 4);  // empty text is null for a number
}

TEST_F(LocateTest, NotFoundLeavesThePosition)
{
    ds.setRecNo(3);
    EXPECT_FALSE(ds.locate("NMCAMPANHA", "Páscoa"));
    EXPECT_EQ(ds.recNo(), 3);
    ds.appendRecord({5, "Campanha de vinte ch"});  // exactly the field's 20 characters
    ds.setRecNo(3);
    EXPECT_FALSE(ds.locate("NMCAMPANHA", "Campanha de vinte chars"));  // a longer key is not cut to fit
    EXPECT_EQ(ds.recNo(), 3);
}

TEST_F(LocateTest, PostsAPendingEditFirst)
{
    ds.edit();
    ds.field(NM).setAsString("Inverno");
    EXPECT_EQ(locatedCd("NMCAMPANHA", "Inverno"), 1);
    EXPECT_EQ(ds.state(), DataSetState::Browse);
}

TEST_F(LocateTest, SearchesOnlyTheFilteredRows)
{
    ds.setFilter("CDCAMPANHA > 1");
    ds.setFiltered(true);
    EXPECT_EQ(locatedCd("NMCAMPANHA", "Natal"), -1);
    EXPECT_EQ(locatedCd("DTINICIO", QDate(2026, 12, 1)), 3);
    EXPECT_EQ(ds.recNo(), 2);
}

TEST_F(LocateTest, LookupDoesNotMove)
{
    ds.setRecNo(2);
    EXPECT_EQ(ds.lookup("CDCAMPANHA", 3, "NMCAMPANHA"), QVariant("natal"));
    EXPECT_EQ(ds.lookup("CDCAMPANHA", 3, "NMCAMPANHA;VRPONTO"), QVariant(QVariantList{"natal", 12.5}));
    EXPECT_FALSE(ds.lookup("CDCAMPANHA", 99, "NMCAMPANHA").isValid());
    EXPECT_EQ(ds.recNo(), 2);
}
