#include "platform/ui/DataGrid.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>

namespace platform::ui {

DataGrid::DataGrid(QWidget* parent) : QTableView(parent), model_(new DataSetModel(this))
{
    setModel(model_);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setTabKeyNavigation(false);
    setShowGrid(false);
    setWordWrap(false);
    setFrameShape(QFrame::NoFrame);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setStretchLastSection(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    connect(model_, &DataSetModel::currentRowChanged, this, &DataGrid::followDataSet);
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        applyColumnWidths();
        followDataSet(model_->currentRow());
    });
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this] { followDataSet(model_->currentRow()); });
    connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] { followDataSet(model_->currentRow()); });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) { followView(current); });
    style_.bodyFont = font();
    style_.titleFont = font();
    default_ = style_;
    applyStyle();
}

void DataGrid::setDataSet(ClientDataSet* dataSet)
{
    model_->setDataSet(dataSet);
}

void DataGrid::setColumns(const QList<GridColumn>& columns)
{
    model_->setColumns(columns);
    applyColumnWidths();
}

void DataGrid::setGridStyle(const GridStyle& style)
{
    style_ = style;
    default_ = style;
    applyStyle();
}

void DataGrid::setColors(const QColor& body, const QColor& text, const QColor& title, const QColor& titleText)
{
    style_.bodyColor = body;
    style_.textColor = text;
    style_.titleColor = title;
    style_.titleTextColor = titleText;
    applyStyle();
}

void DataGrid::setDefaultColors(bool keepFonts)
{
    GridStyle s = default_;
    if (keepFonts) {
        s.bodyFont = style_.bodyFont;
        s.titleFont = style_.titleFont;
    }
    style_ = s;
    applyStyle();
}

void DataGrid::applyStyle()
{
    QPalette pal = palette();
    pal.setColor(QPalette::Base, style_.bodyColor);
    pal.setColor(QPalette::Text, style_.textColor);
    // The current row stays highlighted when the grid has no focus.
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::Highlight, palette().color(QPalette::Active, QPalette::Highlight));
        pal.setColor(group, QPalette::HighlightedText,
                     palette().color(QPalette::Active, QPalette::HighlightedText));
    }
    setPalette(pal);
    setFont(style_.bodyFont);
    QHeaderView* header = horizontalHeader();
    header->setFont(style_.titleFont);
    if (style_.titleColor.isValid()) {
        header->setStyleSheet(QStringLiteral(
            "QHeaderView::section { background-color: %1; color: %2; border: none; padding: 0 4px; }")
                                  .arg(style_.titleColor.name(), style_.titleTextColor.name()));
    } else {
        header->setStyleSheet({});
    }
    verticalHeader()->setDefaultSectionSize(QFontMetrics(style_.bodyFont).height() + 4);
    applyColumnWidths();
}

void DataGrid::applyColumnWidths()
{
    const int avg = QFontMetrics(font()).averageCharWidth();
    for (int c = 0; c < model_->columnCount(); ++c)
        setColumnWidth(c, model_->columnWidth(c, avg));
}

void DataGrid::followDataSet(int row)
{
    if (syncing_)
        return;
    syncing_ = true;
    if (row < 0 || row >= model_->rowCount()) {
        selectionModel()->clearSelection();
        selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    } else {
        const QModelIndex idx = model_->index(row, qMax(0, currentIndex().column()));
        selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(idx);
    }
    syncing_ = false;
}

void DataGrid::followView(const QModelIndex& current)
{
    if (syncing_ || !current.isValid())
        return;
    syncing_ = true;
    try {
        model_->setCurrentRow(current.row());
    } catch (const std::exception&) {
        // The dataset refused to move (for example while a row is being edited): the
        // highlight goes back to the dataset's row below.
    }
    syncing_ = false;
    if (model_->currentRow() != current.row())
        followDataSet(model_->currentRow());
}

}  // namespace platform::ui
