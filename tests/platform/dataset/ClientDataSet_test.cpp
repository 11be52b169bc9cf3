// Lifecycle, navigation, editing positions and notifications of ClientDataSet.

#include "DataSetTestSupport.h"

#include "platform/Error.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace platform;
using testsupport::column;
using testsupport::makeTable;
using testsupport::SignalLog;

namespace {

constexpr int CD = 0, NM = 1;

void add(ClientDataSet& ds, int cd, const QString& nm)
{
    ds.append();
    ds.field(CD).setAsInteger(cd);
    ds.field(NM).setAsString(nm);
    ds.post();
}

// A, B, C, current row A.
void abc(ClientDataSet& ds)
{
    makeTable(ds);
    add(ds, 1, "A");
    add(ds, 2, "B");
    add(ds, 3, "C");
    ds.first();
}

template <typename F>
QString errorText(F&& f)
{
    try {
        f();
    } catch (const Error& e) {
        return e.text();
    }
    return QStringLiteral("<no error>");
}

}  // namespace

TEST(ClientDataSetLifecycle, CreateCloseOpen)
{
    ClientDataSet ds("cdsTest");
    EXPECT_FALSE(ds.active());
    EXPECT_EQ(ds.state(), DataSetState::Inactive);
    EXPECT_TRUE(ds.isEmpty());
    EXPECT_EQ(ds.recordCount(), 0);
    EXPECT_THROW(ds.createDataSet(), DataSetError);  // no fields yet

    makeTable(ds);
    EXPECT_TRUE(ds.active());
    EXPECT_EQ(ds.state(), DataSetState::Browse);
    EXPECT_TRUE(ds.bof());
    EXPECT_TRUE(ds.eof());
    EXPECT_EQ(ds.recNo(), 0);
    EXPECT_FALSE(ds.field(CD).value().isValid());  // an empty table reads null

    add(ds, 1, "A");
    ds.close();
    EXPECT_EQ(ds.state(), DataSetState::Inactive);
    EXPECT_EQ(ds.fieldCount(), 5);  // definitions survive closing
    EXPECT_EQ(errorText([&] { ds.field(CD).value(); }),
              "cdsTest: Cannot perform this operation on a closed dataset");
    EXPECT_THROW(ds.first(), DataSetError);

    ds.open();
    EXPECT_TRUE(ds.active());
    EXPECT_EQ(ds.recordCount(), 0);  // rows are gone after close
}

TEST(ClientDataSetLifecycle, DuplicateFieldNamesAreRefused)
{
    ClientDataSet ds;
    ds.fieldDefs() = {testsupport::def("CD", FieldType::Integer), testsupport::def("cd", FieldType::String, 5)};
    EXPECT_EQ(errorText([&] { ds.createDataSet(); }), "Duplicate field name 'cd'");
    EXPECT_FALSE(ds.active());
}

TEST(ClientDataSetLifecycle, EmptyDataSetKeepsItActive)
{
    ClientDataSet ds;
    abc(ds);
    ds.emptyDataSet();
    EXPECT_TRUE(ds.active());
    EXPECT_EQ(ds.recordCount(), 0);
    EXPECT_TRUE(ds.eof());
    add(ds, 9, "Z");
    EXPECT_EQ(column(ds, NM), QStringList({"Z"}));
}

TEST(ClientDataSetFields, UnknownFieldNamesTheField)
{
    ClientDataSet ds;
    makeTable(ds);
    EXPECT_EQ(errorText([&] { ds.fieldByName("DSDIRCAD"); }), "Field 'DSDIRCAD' not found");
    EXPECT_EQ(ds.findField("DSDIRCAD"), nullptr);
    EXPECT_EQ(&ds.fieldByName("nm"), &ds.field(NM));  // names are case-insensitive
    EXPECT_EQ(&ds["Vr"], &ds.field(2));
    EXPECT_THROW(ds.field(5), DataSetError);
}

TEST(ClientDataSetFields, SettingInBrowseIsRefused)
{
    ClientDataSet ds;
    abc(ds);
    EXPECT_EQ(errorText([&] { ds.field(NM).setAsString("X"); }), "Dataset not in edit or insert mode");
    EXPECT_EQ(ds.field(NM).asString(), "A");
}

TEST(ClientDataSetFields, RequiredFieldIsCheckedOnPost)
{
    ClientDataSet ds;
    ds.fieldDefs() = {testsupport::def("CD", FieldType::Integer), testsupport::def("NM", FieldType::String, 10)};
    ds.fieldDefs()[1].required = true;
    ds.createDataSet();
    ds.append();
    ds.field(CD).setAsInteger(1);
    EXPECT_EQ(errorText([&] { ds.post(); }), "Field 'NM' must have a value");
    EXPECT_EQ(ds.state(), DataSetState::Insert);  // still editing, nothing lost
    ds.field(NM).setAsString("ok");
    ds.post();
    EXPECT_EQ(ds.recordCount(), 1);
}

TEST(ClientDataSetFields, ReadOnlyFieldCannotBeSet)
{
    ClientDataSet ds;
    makeTable(ds);
    ds.close();
    ds.fieldDefs()[CD].readOnly = true;
    ds.createDataSet();
    ds.append();
    EXPECT_EQ(errorText([&] { ds.field(CD).setAsInteger(3); }), "Field 'CD' cannot be modified");
}

TEST(ClientDataSetNavigation, EofAfterNextOnLastRow)
{
    ClientDataSet ds;
    abc(ds);
    EXPECT_TRUE(ds.bof());
    EXPECT_FALSE(ds.eof());
    QStringList seen;
    for (ds.first(); !ds.eof(); ds.next())
        seen << ds.field(NM).asString();
    EXPECT_EQ(seen, QStringList({"A", "B", "C"}));
    EXPECT_EQ(ds.recNo(), 3);  // stays on the last row
    EXPECT_EQ(ds.field(NM).asString(), "C");

    ds.prior();
    EXPECT_FALSE(ds.eof());
    ds.prior();
    ds.prior();  // at the first row: bof, no move
    EXPECT_TRUE(ds.bof());
    EXPECT_EQ(ds.recNo(), 1);

    ds.last();
    EXPECT_TRUE(ds.eof());
    EXPECT_FALSE(ds.bof());
    EXPECT_EQ(ds.field(NM).asString(), "C");

    ds.setRecNo(2);
    EXPECT_EQ(ds.field(NM).asString(), "B");
    EXPECT_THROW(ds.setRecNo(4), DataSetError);
    EXPECT_EQ(ds.recNo(), 2);
}

TEST(ClientDataSetEditing, InsertGoesBeforeTheCurrentRowAndBecomesCurrent)
{
    ClientDataSet ds;
    abc(ds);
    ds.setRecNo(2);
    ds.insert();
    EXPECT_EQ(ds.state(), DataSetState::Insert);
    EXPECT_EQ(ds.recNo(), 2);
    EXPECT_EQ(ds.recordCount(), 4);  // the new row is visible while being filled
    ds.field(NM).setAsString("X");
    ds.post();
    EXPECT_EQ(column(ds, NM), QStringList({"A", "X", "B", "C"}));
    EXPECT_EQ(ds.field(NM).asString(), "X");

    // Without navigation, each insert puts the newest row first.
    ClientDataSet gifts;
    makeTable(gifts);
    for (const char* name : {"1st", "2nd", "3rd"}) {
        gifts.insert();
        gifts.field(NM).setAsString(name);
        gifts.post();
    }
    EXPECT_EQ(column(gifts, NM), QStringList({"3rd", "2nd", "1st"}));
}

TEST(ClientDataSetEditing, InsertOnEmptyAndAtEof)
{
    ClientDataSet ds;
    makeTable(ds);
    ds.insert();
    EXPECT_EQ(ds.recNo(), 1);
    EXPECT_FALSE(ds.isEmpty());
    ds.field(NM).setAsString("only");
    ds.post();
    EXPECT_FALSE(ds.eof());
    ds.next();
    EXPECT_TRUE(ds.eof());
    ds.insert();  // at eof: still before the current (last) row
    ds.field(NM).setAsString("new");
    ds.post();
    EXPECT_EQ(column(ds, NM), QStringList({"new", "only"}));
}

TEST(ClientDataSetEditing, AppendGoesLast)
{
    ClientDataSet ds;
    abc(ds);
    ds.append();
    EXPECT_EQ(ds.recNo(), 4);
    ds.field(NM).setAsString("D");
    ds.post();
    EXPECT_EQ(column(ds, NM), QStringList({"A", "B", "C", "D"}));
}

TEST(ClientDataSetEditing, CancelOfInsertRemovesTheRowAndReturns)
{
    ClientDataSet ds;
    abc(ds);
    ds.setRecNo(2);
    ds.insert();
    ds.field(NM).setAsString("X");
    ds.cancel();
    EXPECT_EQ(ds.state(), DataSetState::Browse);
    EXPECT_EQ(column(ds, NM), QStringList({"A", "B", "C"}));
    EXPECT_EQ(ds.field(NM).asString(), "B");

    ds.append();
    ds.cancel();
    EXPECT_EQ(ds.recordCount(), 3);
    EXPECT_EQ(ds.field(NM).asString(), "C");

    ClientDataSet empty;
    makeTable(empty);
    empty.insert();
    empty.cancel();
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_TRUE(empty.eof());
}

TEST(ClientDataSetEditing, CancelOfEditRestoresValues)
{
    ClientDataSet ds;
    abc(ds);
    ds.edit();
    ds.field(NM).setAsString("changed");
    EXPECT_EQ(ds.field(NM).asString(), "changed");
    EXPECT_EQ(ds.valueAt(0, NM).toString(), "changed");  // views see the edit buffer
    ds.cancel();
    EXPECT_EQ(ds.field(NM).asString(), "A");
}

TEST(ClientDataSetEditing, EditOfEmptyTableInserts)
{
    ClientDataSet ds;
    makeTable(ds);
    ds.edit();
    EXPECT_EQ(ds.state(), DataSetState::Insert);
}

TEST(ClientDataSetEditing, NavigationPostsAModifiedRowAndDropsAnUntouchedInsert)
{
    ClientDataSet ds;
    abc(ds);
    ds.edit();
    ds.field(NM).setAsString("A2");
    ds.next();
    EXPECT_EQ(ds.state(), DataSetState::Browse);
    EXPECT_EQ(column(ds, NM), QStringList({"A2", "B", "C"}));

    ds.insert();
    ds.first();  // nothing typed: the new row goes away
    EXPECT_EQ(ds.recordCount(), 3);
}

TEST(ClientDataSetEditing, DeleteMovesToNextOrPrior)
{
    ClientDataSet ds;
    abc(ds);
    ds.setRecNo(2);
    ds.remove();
    EXPECT_EQ(column(ds, NM), QStringList({"A", "C"}));
    EXPECT_EQ(ds.field(NM).asString(), "C");  // the next row
    ds.remove();
    EXPECT_EQ(ds.field(NM).asString(), "A");  // was last: the prior row
    EXPECT_TRUE(ds.eof());
    ds.remove();
    EXPECT_TRUE(ds.isEmpty());
    EXPECT_TRUE(ds.bof() && ds.eof());
    EXPECT_EQ(errorText([&] { ds.remove(); }), "Cannot perform this operation on an empty dataset");
}

TEST(ClientDataSetEditing, DeleteWhileScanningVisitsEveryRowOnce)
{
    // The way a list is pruned in place: delete the bad rows, step over the good ones.
    ClientDataSet ds;
    makeTable(ds);
    for (int i = 1; i <= 10; ++i)
        add(ds, i, QString::number(i));
    QStringList examined;
    ds.first();
    while (!ds.eof()) {
        examined << ds.field(NM).asString();
        if (ds.field(CD).asInteger() % 3 == 0 || ds.field(CD).asInteger() == 10)
            ds.remove();
        else
            ds.next();
    }
    EXPECT_EQ(examined.size(), 10);
    EXPECT_EQ(column(ds, NM), QStringList({"1", "2", "4", "5", "7", "8"}));
}

TEST(ClientDataSetEditing, AppendRecordConvertsAndRefusesBadInput)
{
    ClientDataSet ds;
    makeTable(ds);
    ds.appendRecord({"7", "seven", "1.5"});
    EXPECT_EQ(ds.field(CD).asInteger(), 7);
    EXPECT_THROW(ds.appendRecord({1, "x", 2, QDate(), true, "extra"}), DataSetError);
    EXPECT_THROW(ds.appendRecord({"not a number"}), DataSetError);
    EXPECT_EQ(ds.state(), DataSetState::Browse);  // the failed record was cancelled
    EXPECT_EQ(ds.recordCount(), 1);
}

TEST(ClientDataSetEditing, ManyDeletesAndEditsKeepTheRightValues)
{
    ClientDataSet ds;
    makeTable(ds);
    for (int i = 0; i < 12000; ++i)
        ds.appendRecord({i, QStringLiteral("name%1").arg(i)});
    ds.first();
    while (!ds.eof()) {  // keep every tenth row: storage is reclaimed on the way
        if (ds.field(CD).asInteger() % 10 != 0)
            ds.remove();
        else
            ds.next();
    }
    ASSERT_EQ(ds.recordCount(), 1200);
    for (int round = 0; round < 60; ++round) {  // rewrite long texts until old ones dominate
        ds.first();
        while (!ds.eof()) {
            ds.edit();
            ds.field(NM).setAsString(QStringLiteral("r%1-%2").arg(round).arg(ds.field(CD).asInteger()));
            ds.post();
            ds.next();
        }
    }
    EXPECT_EQ(ds.valueAt(0, NM).toString(), "r59-0");
    EXPECT_EQ(ds.valueAt(1199, NM).toString(), "r59-11990");
    EXPECT_EQ(ds.valueAt(600, CD).toInt(), 6000);
}

TEST(ClientDataSetViews, ValueAtAndDisplayTextAt)
{
    testsupport::LocaleScope ptBR("pt_BR");
    ClientDataSet ds;
    makeTable(ds);
    ds.appendRecord({1, "A", 1234.5, QDate(2026, 12, 7)});
    ds.field(2).setDisplayFormat("#,##0.00");
    EXPECT_EQ(ds.displayTextAt(0, 2), "1.234,50");
    EXPECT_EQ(ds.displayTextAt(0, 3), "07/12/2026");
    EXPECT_EQ(ds.displayTextAt(0, 4), "");
    EXPECT_THROW(ds.valueAt(1, 0), DataSetError);
    EXPECT_THROW(ds.valueAt(0, 9), DataSetError);
}

TEST(ClientDataSetNotifications, InsertPostCancelDelete)
{
    ClientDataSet ds;
    abc(ds);
    ds.setRecNo(2);
    SignalLog log(ds);

    ds.insert();
    EXPECT_EQ(log.take(), QStringList({"rowInserted:1", "state:Insert", "current:1", "afterScroll"}));
    ds.field(NM).setAsString("X");
    EXPECT_EQ(log.take(), QStringList({"field:1"}));
    ds.post();
    EXPECT_EQ(log.take(), QStringList({"rowChanged:1", "state:Browse", "afterPost"}));

    ds.edit();
    ds.cancel();
    EXPECT_EQ(log.take(), QStringList({"state:Edit", "rowChanged:1", "state:Browse", "afterCancel"}));

    ds.remove();
    EXPECT_EQ(log.take(), QStringList({"rowRemoved:1", "current:1", "afterDelete", "afterScroll"}));

    ds.next();
    EXPECT_EQ(log.take(), QStringList({"current:2", "afterScroll"}));
    ds.next();  // no move at the end
    EXPECT_TRUE(log.take().isEmpty());

    ds.close();
    EXPECT_EQ(log.take(), QStringList({"reset", "state:Inactive", "current:-1"}));
}

TEST(ClientDataSetNotifications, StateHandlersSeeTheTableAsItWillBe)
{
    // An "enabled when not empty" rule evaluated on each state change.
    ClientDataSet ds;
    makeTable(ds);
    QList<bool> emptyAtChange;
    QObject::connect(&ds, &ClientDataSet::stateChanged, [&] { emptyAtChange << ds.isEmpty(); });
    ds.insert();
    ds.field(NM).setAsString("x");
    ds.post();
    ds.insert();
    ds.cancel();
    ds.edit();
    ds.remove();  // deleting while editing returns to browse
    EXPECT_EQ(emptyAtChange, QList<bool>({false, false, false, false, false, true}));
}

TEST(ClientDataSetNotifications, AfterPostSeesBrowseState)
{
    ClientDataSet ds;
    makeTable(ds);
    DataSetState seen = DataSetState::Inactive;
    QString value;
    QObject::connect(&ds, &ClientDataSet::afterPost, [&] {
        seen = ds.state();
        value = ds.field(NM).asString();
    });
    ds.appendRecord({1, "posted"});
    EXPECT_EQ(seen, DataSetState::Browse);
    EXPECT_EQ(value, "posted");
}

TEST(ClientDataSetNotifications, DisabledControlsGetOneReset)
{
    ClientDataSet ds;
    abc(ds);
    SignalLog log(ds);
    ds.disableControls();
    ds.disableControls();
    add(ds, 4, "D");
    ds.first();
    ds.remove();
    ds.enableControls();
    QStringList views = log.take().filter(QRegularExpression("^(row|reset|current|field)"));
    EXPECT_TRUE(views.isEmpty()) << views.join(' ').toStdString();
    ds.enableControls();
    views = log.take().filter(QRegularExpression("^(row|reset|current|field)"));
    EXPECT_EQ(views, QStringList({"reset", "current:0"}));
}
