#include "UiTestSupport.h"

#include "platform/ui/DataSetModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

using platform::ClientDataSet;
using platform::ui::DataSetModel;
using platform::ui::GridColumn;

namespace {

using DataSetModelTest = uitest::DataSetTest;

TEST_F(DataSetModelTest, ShowsVisibleFieldsWithTheirLabelsAndTexts)
{
    uitest::fillCampaigns(ds, 3);
    DataSetModel model(&ds);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(model.columnCount(), 2);  // CODE is hidden
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Campanha"));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Pontos"));
    EXPECT_EQ(model.data(model.index(1, 0)).toString(), QStringLiteral("Campanha 2"));
    EXPECT_EQ(model.data(model.index(1, 1)).toString(), ds.displayTextAt(1, 2));
    // Numbers right, texts left.
    EXPECT_TRUE(model.data(model.index(0, 1), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    EXPECT_TRUE(model.data(model.index(0, 0), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignLeft);
    // Reading rows does not move the dataset.
    EXPECT_EQ(ds.recNo(), 1);
}

TEST_F(DataSetModelTest, FixedColumnsCarryTitleWidthAndAlignment)
{
    uitest::fillCampaigns(ds, 2);
    DataSetModel model(&ds);
    model.setColumns({GridColumn{QStringLiteral("POINTS"), 120, QStringLiteral("Saldo"), Qt::AlignRight},
                      GridColumn{QStringLiteral("MISSING"), 50, QStringLiteral("Nada"), Qt::AlignLeft},
                      GridColumn{QStringLiteral("CODE"), 0, {}, Qt::AlignLeft}});
    ASSERT_EQ(model.columnCount(), 3);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Saldo"));
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::AlignRight);
    EXPECT_EQ(model.columnWidth(0, 7), 120);
    // A column naming no field shows nothing, without failing.
    EXPECT_FALSE(model.data(model.index(0, 1)).isValid());
    // A fixed column may show a hidden field; its title falls back to the field's label.
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("CODE"));
    EXPECT_EQ(model.data(model.index(1, 2)).toString(), QStringLiteral("C2"));
}

TEST_F(DataSetModelTest, FollowsInsertsDeletesEditsAndLoads)
{
    uitest::fillCampaigns(ds, 2);
    DataSetModel model(&ds);
    // The dataset announces changes after making them, so the model's insert and remove
    // notifications come after the fact (views re-read, which is all they need); the
    // strict about-to-change checks of QAbstractItemModelTester do not apply here.
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    ds.insert();  // before the current (first) row
    ds.fieldByName(QStringLiteral("NAME")).setAsString(QStringLiteral("Nova"));
    ds.post();
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), QStringLiteral("Nova"));
    EXPECT_EQ(model.data(model.index(1, 0)).toString(), QStringLiteral("Campanha 1"));

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    ds.last();
    ds.edit();
    ds.fieldByName(QStringLiteral("POINTS")).setAsFloat(-20);
    ds.post();
    EXPECT_GE(changed.count(), 1);
    EXPECT_EQ(model.data(model.index(2, 1)).toString(), ds.displayTextAt(2, 2));
    EXPECT_TRUE(model.data(model.index(2, 1)).toString().startsWith(QLatin1Char('-')));

    ds.remove();
    EXPECT_EQ(model.rowCount(), 2);

    // Loading another packet replaces everything; closing leaves an empty model.
    ClientDataSet other;
    uitest::fillCampaigns(other, 5);
    ds.setData(other.data());
    EXPECT_EQ(model.rowCount(), 5);
    ds.close();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(DataSetModelTest, ReportsTheDataSetsCurrentRowAndMovesIt)
{
    uitest::fillCampaigns(ds, 4);
    DataSetModel model(&ds);
    QSignalSpy spy(&model, &DataSetModel::currentRowChanged);
    ds.next();
    ds.next();
    ASSERT_GE(spy.count(), 1);
    EXPECT_EQ(spy.last().at(0).toInt(), 2);
    EXPECT_EQ(model.currentRow(), 2);

    model.setCurrentRow(0);
    EXPECT_EQ(ds.recNo(), 1);
    model.setCurrentRow(99);  // out of range: ignored
    EXPECT_EQ(ds.recNo(), 1);
}

TEST_F(DataSetModelTest, ForgetsADestroyedDataSet)
{
    auto* owned = new ClientDataSet;
    uitest::fillCampaigns(*owned, 2);
    DataSetModel model(owned);
    delete owned;
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 0);
    EXPECT_EQ(model.currentRow(), -1);
}

}  // namespace
