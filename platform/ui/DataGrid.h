#pragma once
// DataGrid: a read-only, data-aware grid over a ClientDataSet (through a DataSetModel).
// It shows titles and no row indicator, no cell lines, no editing and no tabbing between
// cells; the highlighted row is the dataset's current row, also without focus, and
// choosing a row with the mouse or the arrow keys moves the dataset's current row.
//
// Owns its model; does not own the dataset.

#include "PlatformUiExport.h"
#include "platform/ui/DataSetModel.h"

#include <QColor>
#include <QFont>
#include <QTableView>

namespace platform::ui {

// Colours and fonts of a grid: body and title band.
struct GridStyle {
    QColor bodyColor = Qt::white;
    QColor textColor = Qt::black;
    QColor titleColor;           // title band background; invalid: the palette's button colour
    QColor titleTextColor = Qt::black;
    QFont bodyFont;
    QFont titleFont;
};

class PLATFORM_UI_EXPORT DataGrid : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(QWidget* parent = nullptr);

    void setDataSet(ClientDataSet* dataSet);
    ClientDataSet* dataSet() const { return model_->dataSet(); }
    DataSetModel* dataSetModel() const { return model_; }

    void setColumns(const QList<GridColumn>& columns);
    // The colours and fonts of the grid's definition; they become its default scheme.
    void setGridStyle(const GridStyle& style);
    const GridStyle& gridStyle() const { return style_; }
    // Colours changed at run time (the current style), the default scheme untouched.
    void setColors(const QColor& body, const QColor& text, const QColor& title, const QColor& titleText);
    // Back to the default scheme's colours; keepFonts false also restores its fonts.
    void setDefaultColors(bool keepFonts = true);

private:
    void applyStyle();
    void applyColumnWidths();
    void followDataSet(int row);
    void followView(const QModelIndex& current);

    DataSetModel* model_;
    GridStyle style_;
    GridStyle default_;
    bool syncing_ = false;
};

}  // namespace platform::ui
