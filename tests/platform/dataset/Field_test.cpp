// Field values: conversions to the field's type, texts cut or padded to size, locale
// dependent texts, display formats and metadata.

#include "DataSetTestSupport.h"
#include "support/ExpectError.h"

#include "platform/Error.h"
#include "platform/dataset/ValueText.h"

#include <gtest/gtest.h>

using namespace platform;
using testsupport::def;
using testsupport::LocaleScope;

namespace {

QString conversionError(const FieldDef& d, const QVariant& v)
{
    try {
        convertToFieldType(d, v);
    } catch (const DataSetError& e) {
        return e.text();
    }
    return QStringLiteral("<no error>");
}

// One row in edit state over the given fields.
class OneRow : public ::testing::Test {
protected:
    void open(const FieldDefs& defs)
    {
        ds.fieldDefs() = defs;
        ds.createDataSet();
        ds.append();
    }
    ClientDataSet ds;
};

}  // namespace

TEST(FieldConversion, TextsAreCutToSizeAndFixedTextsPadded)
{
    EXPECT_EQ(convertToFieldType(def("NM", FieldType::String, 5), "ABCDEFG"), QVariant("ABCDE"));
    EXPECT_EQ(convertToFieldType(def("NM", FieldType::WideString, 3), "ÁÉÍÓ"), QVariant("ÁÉÍ"));
    EXPECT_EQ(convertToFieldType(def("SG", FieldType::FixedChar, 5), "AB"), QVariant("AB   "));
    EXPECT_EQ(convertToFieldType(def("SG", FieldType::FixedChar, 2), "ABC"), QVariant("AB"));
    const QString longText(5000, QLatin1Char('x'));
    EXPECT_EQ(convertToFieldType(def("OBS", FieldType::Memo, 10), longText).toString().size(), 5000);
    EXPECT_EQ(convertToFieldType(def("NM", FieldType::String, 5), ""), QVariant(""));  // empty text stays text
}

TEST(FieldConversion, IntegersCheckRangeAndRound)
{
    EXPECT_EQ(convertToFieldType(def("CD", FieldType::Integer), " 42 "), QVariant(42));
    EXPECT_EQ(convertToFieldType(def("CD", FieldType::Integer), 12.6), QVariant(13));
    EXPECT_EQ(convertToFieldType(def("CD", FieldType::LargeInt), "9000000000").typeId(), QMetaType::LongLong);
    EXPECT_FALSE(convertToFieldType(def("CD", FieldType::Integer), "").isValid());  // empty text is null
    EXPECT_EQ(conversionError(def("CD", FieldType::Integer), "abc"), "Field 'CD': 'abc' is not a valid integer");
    EXPECT_EQ(conversionError(def("QT", FieldType::SmallInt), 40000), "Field 'QT': 40000 is out of range (-32768 to 32767)");
    EXPECT_EQ(conversionError(def("CD", FieldType::Integer), QDate(2026, 1, 1)),
              "Field 'CD': a value of type QDate cannot be converted to integer");
}

TEST(FieldConversion, NumbersFollowTheLocale)
{
    {
        LocaleScope ptBR("pt_BR");
        EXPECT_EQ(convertToFieldType(def("VR", FieldType::Float), "12,5"), QVariant(12.5));
        EXPECT_EQ(convertToFieldType(def("VR", FieldType::Float), "1.234,5"), QVariant(1234.5));
        EXPECT_EQ(convertToFieldType(def("VR", FieldType::Float), "12.5"), QVariant(12.5));  // a point still reads
        EXPECT_EQ(detail::valueToText(FieldType::Float, 1234.5), "1234,5");
    }
    {
        LocaleScope c("C");
        EXPECT_EQ(convertToFieldType(def("VR", FieldType::Float), "12.5"), QVariant(12.5));
        EXPECT_EQ(conversionError(def("VR", FieldType::Float), "12,5"), "Field 'VR': '12,5' is not a valid number");
        EXPECT_EQ(detail::valueToText(FieldType::Float, 1234.5), "1234.5");
    }
    EXPECT_EQ(convertToFieldType(def("VR", FieldType::Single), 0.1).toDouble(), double(0.1f));
}

TEST(FieldConversion, DatesAndTimes)
{
    LocaleScope ptBR("pt_BR");
    const QDate day(2026, 12, 7);
    EXPECT_EQ(convertToFieldType(def("DT", FieldType::Date), QDateTime(day, QTime(10, 30))), QVariant(day));
    EXPECT_EQ(convertToFieldType(def("DT", FieldType::Date), "07/12/2026"), QVariant(day));
    EXPECT_EQ(convertToFieldType(def("DT", FieldType::Date), "2026-12-07"), QVariant(day));
    EXPECT_EQ(convertToFieldType(def("DT", FieldType::Date), "7/12/26"), QVariant(day));  // two-digit year
    EXPECT_EQ(conversionError(def("DT", FieldType::Date), "31/02/2026"), "Field 'DT': '31/02/2026' is not a valid date");
    EXPECT_EQ(convertToFieldType(def("DH", FieldType::DateTime), day), QVariant(QDateTime(day, QTime(0, 0))));
    EXPECT_EQ(convertToFieldType(def("DH", FieldType::DateTime), "07/12/2026 10:30:15"),
              QVariant(QDateTime(day, QTime(10, 30, 15))));
    EXPECT_EQ(convertToFieldType(def("DH", FieldType::DateTime), "2026-12-07T10:30:15.250"),
              QVariant(QDateTime(day, QTime(10, 30, 15, 250))));
    EXPECT_EQ(convertToFieldType(def("HR", FieldType::Time), "10:30"), QVariant(QTime(10, 30)));
    EXPECT_EQ(detail::valueToText(FieldType::DateTime, QDateTime(day, QTime(0, 0))), "07/12/2026");
    EXPECT_EQ(detail::valueToText(FieldType::DateTime, QDateTime(day, QTime(9, 5))), "07/12/2026 09:05:00");
}

TEST(FieldConversion, Booleans)
{
    const FieldDef at = def("AT", FieldType::Boolean);
    EXPECT_EQ(convertToFieldType(at, "S"), QVariant(true));
    EXPECT_EQ(convertToFieldType(at, "false"), QVariant(false));
    EXPECT_EQ(convertToFieldType(at, 0), QVariant(false));
    EXPECT_EQ(conversionError(at, "talvez"), "Field 'AT': 'talvez' is not a valid boolean");
}

TEST(FieldConversion, BytesAndNull)
{
    EXPECT_EQ(convertToFieldType(def("B", FieldType::Bytes, 4), QByteArray("ab")), QVariant(QByteArray("ab\0\0", 4)));
    EXPECT_EQ(convertToFieldType(def("B", FieldType::Blob), QByteArray(3, 'z')), QVariant(QByteArray(3, 'z')));
    EXPECT_FALSE(convertToFieldType(def("NM", FieldType::String, 5), QVariant()).isValid());
    EXPECT_FALSE(convertToFieldType(def("NM", FieldType::String, 5), QVariant::fromValue(nullptr)).isValid());
}

TEST_F(OneRow, AccessorsConvertBothWays)
{
    LocaleScope ptBR("pt_BR");
    open({def("VR", FieldType::Float), def("CD", FieldType::Integer), def("NM", FieldType::String, 8),
          def("DT", FieldType::DateTime), def("AT", FieldType::Boolean)});
    Field& vr = ds.field(0);
    Field& nm = ds.field(2);
    EXPECT_TRUE(vr.isNull());
    EXPECT_EQ(vr.asFloat(), 0.0);
    EXPECT_EQ(vr.asString(), "");
    vr.setAsString("2,75");
    EXPECT_EQ(vr.asFloat(), 2.75);
    EXPECT_EQ(vr.asInteger(), 3);
    EXPECT_EQ(vr.asString(), "2,75");
    ds.field(1).setAsFloat(7.0);
    EXPECT_EQ(ds.field(1).value().typeId(), QMetaType::Int);
    nm.setAsString("12,5");
    EXPECT_EQ(nm.asFloat(), 12.5);
    nm.setAsString("abc");
    EXPECT_THROW(nm.asFloat(), DataSetError);
    ds.field(3).setAsDate(QDate(2026, 12, 7));
    EXPECT_EQ(ds.field(3).asDateTime(), QDateTime(QDate(2026, 12, 7), QTime(0, 0)));
    EXPECT_DOUBLE_EQ(ds.field(3).asFloat(), 46363.0);  // days since 1899-12-30
    ds.field(4).setAsBoolean(true);
    EXPECT_EQ(ds.field(4).asString(), "True");
    vr.clear();
    EXPECT_TRUE(vr.isNull());
}

TEST_F(OneRow, ImpossibleConversionNamesTheFieldAndKeepsTheValue)
{
    open({def("VRPRECO", FieldType::Float)});
    ds.field(0).setAsFloat(1.5);
    testsupport::expectErrorNaming<DataSetError>([&] { ds.field(0).setAsString("doze"); }, "'VRPRECO'");
    EXPECT_EQ(ds.field(0).asFloat(), 1.5);
}

TEST(FieldMetadata, LabelsWidthsAndFormats)
{
    LocaleScope ptBR("pt_BR");
    ClientDataSet ds;
    ds.fieldDefs() = {def("NMCONSUMIDOR", FieldType::String, 50), def("VRSALDO", FieldType::Float),
                      def("IDATIVO", FieldType::Boolean), def("DTVALIDADE", FieldType::Date)};
    ds.createDataSet();
    Field& nm = ds.field(0);
    EXPECT_EQ(nm.displayLabel(), "NMCONSUMIDOR");
    EXPECT_EQ(nm.displayWidth(), 50);
    EXPECT_TRUE(nm.visible());
    nm.setDisplayLabel("Consumidor");
    nm.setDisplayWidth(30);
    nm.setVisible(false);
    EXPECT_EQ(ds.fieldDefs()[0].displayLabel, "Consumidor");
    EXPECT_EQ(nm.displayWidth(), 30);
    EXPECT_FALSE(nm.visible());

    ds.field(1).setDisplayFormat("R$ #,##0.00");
    ds.field(2).setDisplayFormat("Sim;Não");
    ds.field(3).setDisplayFormat("dd/MM/yy");
    ds.appendRecord({"Ana", -1234.5, true, QDate(2026, 12, 7)});
    EXPECT_EQ(ds.field(1).displayText(), "-R$ 1.234,50");
    EXPECT_EQ(ds.field(2).displayText(), "Sim");
    EXPECT_EQ(ds.field(3).displayText(), "07/12/26");
    EXPECT_EQ(ds.field(1).asString(), "-1234,5");  // asString ignores the display format
}

TEST(FieldMetadata, NumericMasks)
{
    LocaleScope ptBR("pt_BR");
    EXPECT_EQ(detail::formatNumber(0.5, "#,##0.00"), "0,50");
    EXPECT_EQ(detail::formatNumber(1234567.891, "#,##0.00"), "1.234.567,89");
    EXPECT_EQ(detail::formatNumber(2.5, "0.##"), "2,5");
    EXPECT_EQ(detail::formatNumber(2, "0.##"), "2");
    EXPECT_EQ(detail::formatNumber(7, "000"), "007");
    EXPECT_EQ(detail::formatNumber(-0.001, "0.00"), "0,00");
    EXPECT_EQ(detail::formatNumber(12, "0 pts"), "12 pts");
    EXPECT_EQ(detail::formatNumber(-3, "0.0;(0.0)"), "(3,0)");
}
