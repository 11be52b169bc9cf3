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
// Expressions evaluated on one row, grouped by what they show; each case is a test.
struct Evaluation {
    const char* group;
    const char* expression;
    const QVariantList* row;
    bool matches;
};

void PrintTo(const Evaluation& e, std::ostream* os)
{
    *os << e.expression << (e.matches ? " matches " : " does not match ") << testing::PrintToString(*e.row);
}

const QVariantList obrien = {1, "O'Brien", 0.0, QVariant(), false, QVariant()};
const QVariantList star = {1, "Jo*", 0.0, QVariant(), false, QVariant()};

const Evaluation kEvaluations[] = {
    {"Comparisons", "CD = 1", &jo, true},
    {"Comparisons", "CD <> 2", &jo, true},
    {"Comparisons", "CD != 2", &jo, true},
    {"Comparisons", "VR > 12", &jo, true},
    {"Comparisons", "VR >= 12.5", &jo, true},
    {"Comparisons", "VR < 12.5", &jo, false},
    {"Comparisons", "VR <= 12.5", &jo, true},
    {"Comparisons", "CD > 0.5", &jo, true},  // an integer field against a fraction is not rounded
    {"Comparisons", "CD > 1.5", &jo, false},
    {"Comparisons", "CD > -5", &jo, true},
    {"Comparisons", "2 > CD", &jo, true},  // a literal on the left
    {"Comparisons", "NM = 'Joana'", &jo, true},
    {"Comparisons", "NM = 'joana'", &jo, false},  // texts compare case-sensitively
    {"Comparisons", "NM > 'Ja'", &jo, true},
    {"Comparisons", "nm = 'Joana' and cd = 1", &jo, true},  // keywords and names in any case
    {"Comparisons", "[Nome Fantasia] = 'Loja Centro'", &jo, true},
    {"Comparisons", "AT", &jo, true},
    {"Comparisons", "AT = TRUE", &jo, true},
    {"Comparisons", "NOT AT", &jo, false},
    {"Comparisons", "DT = '07/12/2026' OR DT = '2026-12-07'", &jo, true},
    {"QuotesAndPrefixes", "NM = 'O''Brien'", &obrien, true},
    {"QuotesAndPrefixes", "NM = 'Jo*'", &jo, true},
    {"QuotesAndPrefixes", "NM = 'Ja*'", &jo, false},
    {"QuotesAndPrefixes", "NM <> 'Ja*'", &jo, true},
    {"QuotesAndPrefixes", "'Jo*' = NM", &jo, true},
    {"QuotesAndPrefixes", "NM > 'Jo*'", &star, false},  // '*' is a wildcard only for = and <>
    {"QuotesAndPrefixes", "NM >= 'Jo*'", &star, true},
    // A OR B AND C is A OR (B AND C)
    {"PrecedenceNotAndOr", "CD = 1 OR CD = 2 AND NM = 'x'", &jo, true},
    {"PrecedenceNotAndOr", "(CD = 1 OR CD = 2) AND NM = 'x'", &jo, false},
    // NOT binds tighter than AND
    {"PrecedenceNotAndOr", "NOT CD = 1 AND NM = 'Joana'", &jo, false},
    {"PrecedenceNotAndOr", "NOT (CD = 1 AND NM = 'x')", &jo, true},
    {"PrecedenceNotAndOr", "NOT NOT CD = 1", &jo, true},
    {"PrecedenceNotAndOr", "((CD = 1))", &jo, true},
    {"NullsCompareFalse", "NM IS NULL", &nulls, true},
    {"NullsCompareFalse", "NM IS NOT NULL", &nulls, false},
    {"NullsCompareFalse", "NM is not null", &jo, true},
    // Any comparison with a null is false.
    {"NullsCompareFalse", "NM = 'x'", &nulls, false},
    {"NullsCompareFalse", "NM <> 'x'", &nulls, false},
    {"NullsCompareFalse", "NM < 'x'", &nulls, false},
    {"NullsCompareFalse", "CD > 0", &nulls, false},
    {"NullsCompareFalse", "CD <= 0", &nulls, false},
    {"NullsCompareFalse", "AT", &nulls, false},
    {"NullsCompareFalse", "AT = FALSE", &nulls, false},
    {"NullsCompareFalse", "NM = 'J*'", &nulls, false},
    {"NullsCompareFalse", "CD = NULL", &nulls, false},
    {"NullsCompareFalse", "NM <> NULL", &nulls, false},
    {"NullsCompareFalse", "NOT (CD = 1)", &nulls, true},  // the comparison is false, so its negation is true
    {"NullsCompareFalse", "(NM = 'S' OR NM IS NULL) AND CD IS NULL", &nulls, true},
};

class FilterGrammar : public ::testing::TestWithParam<Evaluation> {};

TEST_P(FilterGrammar, Evaluates)
{
    const Evaluation& c = GetParam();
    EXPECT_EQ(eval(QString::fromUtf8(c.expression), *c.row), c.matches) << c.expression;
}

INSTANTIATE_TEST_SUITE_P(Expressions, FilterGrammar, ::testing::ValuesIn(kEvaluations),
                         [](const ::testing::TestParamInfo<Evaluation>& info) {
                             return std::string(info.param.group) + "_" + std::to_string(info.index);
                         });

}  // namespace

TEST(FilterFields, FieldAgainstField)
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
    const struct {
        const char* expression;
        int position;
        const char* error;
    } cases[] = {
        {"NM = ", 6, "expected a field name or a value but found end of expression"},
        {"NM = 'abc", 6, "text not closed by a quote"},
        {"(CD = 1", 8, "expected ')' but found end of expression"},
        {"CD = 1 NM = 2", 8, "expected AND, OR or the end but found 'NM'"},
        {"CD @ 1", 4, "unexpected character '@'"},
        {"CD IS 1", 7, "expected NULL but found '1'"},
        {"'x'", 4, "expected a comparison after 'x' but found end of expression"},
        {"[NM = 1", 1, "field name not closed by ']'"},
        {"CD = 12abc", 8, "unexpected character 'a' in a number"},
        {"  ", 1, "the expression is empty"},
        {"CD = 1 AND", 11, "expected a field name or a value but found end of expression"},
    };
    for (const auto& c : cases) {
        const QString expected = QStringLiteral("Error in filter expression at position %1: %2");
        EXPECT_EQ(parseError(QString::fromUtf8(c.expression)), expected.arg(c.position).arg(QString::fromUtf8(c.error)))
            << c.expression;
    }
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
