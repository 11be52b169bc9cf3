// Fuzz target: the filter-expression parser, and the filter applied to a small table of
// every common field type. Input is the expression as UTF-8. Anything may be refused with
// a FilterError or a DataSetError (unknown field, literal its field cannot hold); nothing
// may crash, hang or leave the dataset inconsistent.

#include "platform/Error.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/FilterExpression.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

platform::ClientDataSet& table()
{
    static platform::ClientDataSet* ds = [] {
        using platform::FieldType;
        auto* d = new platform::ClientDataSet(QStringLiteral("cdsFuzz"));
        auto field = [](const char* name, FieldType type, int size = 0) {
            platform::FieldDef f;
            f.name = QString::fromLatin1(name);
            f.type = type;
            f.size = size;
            return f;
        };
        d->fieldDefs() = {field("CD", FieldType::Integer), field("NM", FieldType::String, 20),
                          field("SG", FieldType::FixedChar, 3), field("VR", FieldType::Float),
                          field("DT", FieldType::Date), field("DH", FieldType::DateTime),
                          field("AT", FieldType::Boolean), field("Nome Fantasia", FieldType::String, 20)};
        d->createDataSet();
        d->appendRecord({1, "Joana", "A", 12.5, QDate(2026, 12, 7), QDateTime(QDate(2026, 12, 7), QTime(10, 0)), true,
                         "O'Brien"});
        d->appendRecord({});
        d->appendRecord({-7, "", "ZZZ", -0.0, QDate(1, 1, 1), QDateTime(QDate(9999, 12, 31), QTime(23, 59)), false, "*"});
        return d;
    }();
    return *ds;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    platform::ClientDataSet& ds = table();
    try {
        platform::FilterExpression parsed(text);  // the parser alone
        ds.setFilter(text);
        ds.setFiltered(true);
        int seen = 0;
        for (ds.first(); !ds.eof(); ds.next())
            ++seen;
        if (seen != ds.recordCount() || ds.recordCount() > 3) {
            std::fprintf(stderr, "filter walk saw %d rows of %d\n", seen, ds.recordCount());
            std::abort();
        }
    } catch (const platform::FilterError&) {
    } catch (const platform::DataSetError&) {
    }
    ds.setFiltered(false);
    return 0;
}
