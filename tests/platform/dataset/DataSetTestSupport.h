#pragma once
// Helpers of the dataset tests: a small typed table, a locale switch, a signal recorder.

#include "support/FieldDefs.h"

#include "platform/dataset/ClientDataSet.h"

#include <QDate>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QStringList>

namespace testsupport {

// Sets the default locale (what the dataset reads and writes numbers and dates in) for
// the lifetime of the object.
class LocaleScope {
public:
    explicit LocaleScope(const char* name) : saved_(QLocale()) { QLocale::setDefault(QLocale(QString::fromLatin1(name))); }
    ~LocaleScope() { QLocale::setDefault(saved_); }

private:
    QLocale saved_;
};

using testsupport::def;

// CD integer, NM string(10), VR float, DT date, AT boolean; active and empty.
inline void makeTable(platform::ClientDataSet& ds)
{
    using platform::FieldType;
    ds.fieldDefs() = {def("CD", FieldType::Integer), def("NM", FieldType::String, 10),
                      def("VR", FieldType::Float), def("DT", FieldType::Date), def("AT", FieldType::Boolean)};
    ds.createDataSet();
}

// The values of one field over the visible rows, as text, without moving the current row.
inline QStringList column(const platform::ClientDataSet& ds, int field)
{
    QStringList out;
    for (int r = 0; r < ds.recordCount(); ++r) {
        const QVariant v = ds.valueAt(r, field);
        out << (v.isValid() ? v.toString() : QStringLiteral("<null>"));
    }
    return out;
}

// Records every notification of a dataset as short texts: "state:Insert", "rowInserted:1", ...
class SignalLog : public QObject {
public:
    explicit SignalLog(platform::ClientDataSet& ds)
    {
        using platform::ClientDataSet;
        using platform::DataSetState;
        connect(&ds, &ClientDataSet::stateChanged, this, [this](DataSetState s) {
            static const char* names[] = {"Inactive", "Browse", "Edit", "Insert"};
            events << QStringLiteral("state:%1").arg(QLatin1String(names[int(s)]));
        });
        connect(&ds, &ClientDataSet::afterPost, this, [this] { events << QStringLiteral("afterPost"); });
        connect(&ds, &ClientDataSet::afterCancel, this, [this] { events << QStringLiteral("afterCancel"); });
        connect(&ds, &ClientDataSet::afterDelete, this, [this] { events << QStringLiteral("afterDelete"); });
        connect(&ds, &ClientDataSet::afterScroll, this, [this] { events << QStringLiteral("afterScroll"); });
        connect(&ds, &ClientDataSet::currentRowChanged, this, [this](int r) { events << QStringLiteral("current:%1").arg(r); });
        connect(&ds, &ClientDataSet::fieldChanged, this, [this](int f) { events << QStringLiteral("field:%1").arg(f); });
        connect(&ds, &ClientDataSet::rowInserted, this, [this](int r) { events << QStringLiteral("rowInserted:%1").arg(r); });
        connect(&ds, &ClientDataSet::rowRemoved, this, [this](int r) { events << QStringLiteral("rowRemoved:%1").arg(r); });
        connect(&ds, &ClientDataSet::rowChanged, this, [this](int r) { events << QStringLiteral("rowChanged:%1").arg(r); });
        connect(&ds, &ClientDataSet::reset, this, [this] { events << QStringLiteral("reset"); });
    }
    QStringList take() { QStringList e = events; events.clear(); return e; }
    QStringList events;
};

}  // namespace testsupport
