#include "UiTestSupport.h"

#include "platform/ui/DataGrid.h"

#include <QHeaderView>
#include <QTest>

#include <gtest/gtest.h>

using platform::ClientDataSet;
using platform::ui::DataGrid;
using platform::ui::GridColumn;

namespace {

class DataGridTest : public uitest::DataSetTest {
protected:
    void SetUp() override
    {
        uitest::fillCampaigns(ds, 5);
        grid.setDataSet(&ds);
        grid.resize(400, 200);
        grid.show();
    }
    int selectedRow() const
    {
        const auto rows = grid.selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.first().row() : -1;
    }
    DataGrid grid;
};

TEST_F(DataGridTest, IsAReadOnlyListWithTitlesAndNoRowIndicator)
{
    EXPECT_EQ(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(grid.verticalHeader()->isVisible());
    EXPECT_TRUE(grid.horizontalHeader()->isVisible());
    EXPECT_FALSE(grid.showGrid());
    EXPECT_FALSE(grid.tabKeyNavigation());
    EXPECT_EQ(grid.selectionBehavior(), QAbstractItemView::SelectRows);
}

TEST_F(DataGridTest, HighlightFollowsTheDataSetBothWays)
{
    EXPECT_EQ(selectedRow(), 0);
    ds.last();
    EXPECT_EQ(selectedRow(), 4);
    // Choosing a row in the grid moves the dataset.
    grid.setFocus();
    grid.selectionModel()->setCurrentIndex(grid.model()->index(1, 0),
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(ds.recNo(), 2);
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(ds.recNo(), 3);
    // A reload puts the highlight on the new current row.
    ClientDataSet other;
    uitest::fillCampaigns(other, 2);
    ds.setData(other.data());
    EXPECT_EQ(selectedRow(), ds.recNo() - 1);
}

TEST_F(DataGridTest, ColumnsTakeTheirWidthsAndTheDefaultSchemeComesBack)
{
    grid.setColumns({GridColumn{QStringLiteral("NAME"), 190, QStringLiteral("Campanha"), Qt::AlignLeft},
                     GridColumn{QStringLiteral("POINTS"), 120, QStringLiteral("Saldo"), Qt::AlignRight}});
    EXPECT_EQ(grid.columnWidth(0), 190);
    EXPECT_EQ(grid.columnWidth(1), 120);

    platform::ui::GridStyle style;
    style.titleColor = QColor(0xCC, 0x5B, 0x2C);
    style.titleTextColor = Qt::white;
    grid.setGridStyle(style);
    grid.setColors(Qt::yellow, Qt::blue, Qt::green, Qt::black);
    EXPECT_EQ(grid.gridStyle().bodyColor, QColor(Qt::yellow));
    grid.setDefaultColors(true);
    EXPECT_EQ(grid.gridStyle().bodyColor, QColor(Qt::white));
    EXPECT_EQ(grid.gridStyle().titleColor, QColor(0xCC, 0x5B, 0x2C));
    EXPECT_EQ(grid.palette().color(QPalette::Base), QColor(Qt::white));
    // The current row stays highlighted without focus.
    EXPECT_EQ(grid.palette().color(QPalette::Inactive, QPalette::Highlight),
              grid.palette().color(QPalette::Active, QPalette::Highlight));
}

}  // namespace
