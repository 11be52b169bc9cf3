// The filter expression language on its own: grammar, precedence, nulls, errors.

#include "platform/dataset/FilterExpression.h"

#include "DataSetTestSupport.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

using namespace platform;
using testsupport::def;

namespace {

// A row of given values over the fields below.
class Row : public detail::CellReader {
public:
    Row(const FieldDefs& defs, QVariantList values) : defs_(defs), values_(std::move(values)) {}
    detail::Cell cell(int f) const override { return detail::cellOf(defs_[f].type, values_[f]); }

private:
    const FieldDefs& defs_;
    QVariantList values_;
};

const FieldDefs& fields()
{
    static const FieldDefs defs = {def("CD", FieldType::Integer), def("NM", FieldType::String, 20),
                                   def("VR", FieldType::Float), def("DT", FieldType::Date),
                                   def("AT", FieldType::Boolean), def("Nome Fantasia", FieldType::String, 20)};
    return defs;
}

bool eval(const QString& expression, const QVariantList& values)
{
    FilterExpression e(expression);
    e.bind(fields());
    return e.matches(Row(fields(), values));
}

QString parseError(const QString& expression)
{
    try {
        FilterExpression e(expression);
    } catch (const FilterError& e) {
        return e.text();
    }
    return QStringLiteral("<no error>");
}

const QVariantList jo = {1, "Joana", 12.5, QDate(2026, 12, 7), true, "Loja Centro"};
const QVariantList nulls = {QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()};

}  // namespace

TEST(FilterGrammar, Comparisons)
{
    EXPECT_TRUE(eval("CD = 1", jo));
    EXPECT_TRUE(eval("CD <> 2", jo));
    EXPECT_TRUE(eval("CD != 2", jo));
    EXPECT_TRUE(eval("VR > 12", jo));
    EXPECT_TRUE(eval("VR >= 12.5", jo));
    EXPECT_FALSE(eval("VR < 12.5", jo));
    EXPECT_TRUE(eval("VR <= 12.5", jo));
    EXPECT_TRUE(eval("CD > 0.5", jo));   // an integer field against a fraction is not rounded
    EXPECT_FALSE(eval("CD > 1.5", jo));
    EXPECT_TRUE(eval("CD > -5", jo));
    EXPECT_TRUE(eval("2 > CD", jo));     // a literal on the left
    EXPECT_TRUE(eval("NM = 'Joana'", jo));
    EXPECT_FALSE(eval("NM = 'joana'", jo));  // texts compare case-sensitively
    EXPECT_TRUE(eval("NM > 'Ja'", jo));
    EXPECT_TRUE(eval("nm = 'Joana' and cd = 1", jo));  // keywords and names in any case
    EXPECT_TRUE(eval("[Nome Fantasia] = 'Loja Centro'", jo));
    EXPECT_TRUE(eval("AT", jo));
    EXPECT_TRUE(eval("AT = TRUE", jo));
    EXPECT_FALSE(eval("NOT AT", jo));
    EXPECT_TRUE(eval("DT = '07/12/2026' OR DT = '2026-12-07'", jo));
}

TEST(FilterGrammar, QuotesAndPrefixes)
{
    const QVariantList obrien = {1, "O'Brien", 0.0, QVariant(), false, QVariant()};
    EXPECT_TRUE(eval("NM = 'O''Brien'", obrien));
    EXPECT_TRUE(eval("NM = 'Jo*'", jo));
    EXPECT_FALSE(eval("NM = 'Ja*'", jo));
    EXPECT_TRUE(eval("NM <> 'Ja*'", jo));
    EXPECT_TRUE(eval("'Jo*' = NM", jo));
    const QVariantList star = {1, "Jo*", 0.0, QVariant(), false, QVariant()};
    EXPECT_FALSE(eval("NM > 'Jo*'", star));  // '*' is a wildcard only for = and <>
    EXPECT_TRUE(eval("NM >= 'Jo*'", star));
}

TEST(FilterGrammar, PrecedenceNotAndOr)
{
    // A OR B AND C is A OR (B AND C)
    EXPECT_TRUE(eval("CD = 1 OR CD = 2 AND NM = 'x'", jo));
    EXPECT_FALSE(eval("(CD = 1 OR CD = 2) AND NM = 'x'", jo));
    // NOT binds tighter than AND
    EXPECT_FALSE(eval("NOT CD = 1 AND NM = 'Joana'", jo));
    EXPECT_TRUE(eval("NOT (CD = 1 AND NM = 'x')", jo));
    EXPECT_TRUE(eval("NOT NOT CD = 1", jo));
    EXPECT_TRUE(eval("((CD = 1))", jo));
}

TEST(FilterGrammar, NullsCompareFalse)
{
    EXPECT_TRUE(eval("NM IS NULL", nulls));
    EXPECT_FALSE(eval("NM IS NOT NULL", nulls));
    EXPECT_TRUE(eval("NM is not null", jo));
    for (const char* e : {"NM = 'x'", "NM <> 'x'", "NM < 'x'", "CD > 0", "CD <= 0", "AT", "AT = FALSE", "NM = 'J*'",
                          "CD = NULL", "NM <> NULL"})
        EXPECT_FALSE(eval(QLatin1String(e), nulls)) << e;
    EXPECT_TRUE(eval("NOT (CD = 1)", nulls));  // the comparison is false, so its negation is true
    EXPECT_TRUE(eval("(NM = 'S' OR NM IS NULL) AND CD IS NULL", nulls));
}

TEST(FilterGrammar, FieldAgainstField)
{
    const FieldDefs defs = {def("A", FieldType::Integer), def("B", FieldType::Float), def("C", FieldType::String, 5)};
    FilterExpression e("A < B");
    e.bind(defs);
    EXPECT_TRUE(e.matches(Row(defs, {1, 1.5, "x"})));
    EXPECT_FALSE(e.matches(Row(defs, {2, 1.5, "x"})));
    FilterExpression mixed("A = C");
    mixed.bind(defs);
    EXPECT_FALSE(mixed.matches(Row(defs, {1, 1.0, "1"})));  // a number and a text do not compare
}

TEST(FilterErrors, SyntaxErrorsNameThePosition)
{
    EXPECT_EQ(parseError("NM = "), "Error in filter expression at position 6: expected a field name or a value but found end of expression");
    EXPECT_EQ(parseError("NM = 'abc"), "Error in filter expression at position 6: text not closed by a quote");
    EXPECT_EQ(parseError("(CD = 1"), "Error in filter expression at position 8: expected ')' but found end of expression");
    EXPECT_EQ(parseError("CD = 1 NM = 2"), "Error in filter expression at position 8: expected AND, OR or the end but found 'NM'");
    EXPECT_EQ(parseError("CD @ 1"), "Error in filter expression at position 4: unexpected character '@'");
    EXPECT_EQ(parseError("CD IS 1"), "Error in filter expression at position 7: expected NULL but found '1'");
    EXPECT_EQ(parseError("'x'"), "Error in filter expression at position 4: expected a comparison after 'x' but found end of expression");
    EXPECT_EQ(parseError("[NM = 1"), "Error in filter expression at position 1: field name not closed by ']'");
    EXPECT_EQ(parseError("CD = 12abc"), "Error in filter expression at position 8: unexpected character 'a' in a number");
    EXPECT_EQ(parseError("  "), "Error in filter expression at position 1: the expression is empty");
    EXPECT_EQ(parseError("CD = 1 AND"), "Error in filter expression at position 11: expected a field name or a value but found end of expression");
}

TEST(FilterErrors, HostileInputIsRefusedNotFatal)
{
    EXPECT_THROW(FilterExpression(QString(100000, QLatin1Char('(')) + "CD = 1"), FilterError);
    EXPECT_THROW(FilterExpression(QString("NOT ").repeated(50000) + "AT"), FilterError);
    // Long flat lists are fine.
    QString many = "CD = 0";
    for (int i = 1; i < 20000; ++i)
        many += QStringLiteral(" OR CD = %1").arg(i);
    EXPECT_TRUE(eval(many, jo));
}

TEST(FilterErrors, BindingChecksFieldsAndLiterals)
{
    FilterExpression unknown("DSDIRCAD = 1");
    try {
        unknown.bind(fields());
        FAIL() << "no error";
    } catch (const DataSetError& e) {
        EXPECT_EQ(e.text(), "Field 'DSDIRCAD' not found");
    }
    FilterExpression badDate("DT = 'amanhã'");
    EXPECT_THROW(badDate.bind(fields()), FilterError);
    FilterExpression badNumber("VR = 'doze'");
    EXPECT_THROW(badNumber.bind(fields()), FilterError);
    // Qt's date parser slows steeply with length: a long literal is refused without trying.
    FilterExpression longDate("DT = '" + QString("07/12/2026 ").repeated(40) + "'");
    EXPECT_THROW(longDate.bind(fields()), FilterError);
    FilterExpression notBoolean("NM AND CD = 1");
    EXPECT_THROW(notBoolean.bind(fields()), FilterError);
    FilterExpression unbound("CD = 1");
    EXPECT_THROW(unbound.matches(Row(fields(), jo)), DataSetError);
}
