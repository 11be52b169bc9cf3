#pragma once
// DataSetModel: a read-only table model over a ClientDataSet, the data-aware link between a
// dataset and a grid or list. Shows the dataset's visible fields (or a chosen list of
// columns) with their display labels and display texts, and tracks the dataset's signals:
// rows inserted, removed and changed, resets (open, close, load, filter), and the current
// row, which it reports through currentRowChanged().
//
// Does not own the dataset; forgets it when the dataset is destroyed. Never throws out of
// the model interface: a value that cannot be read shows as empty.

#include "PlatformUiExport.h"
#include "platform/dataset/ClientDataSet.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <QString>

namespace platform::ui {

// One column of a model: the field it shows and how. An empty title means the field's
// display label; a zero width means the field's display width in characters.
struct GridColumn {
    QString fieldName;
    int width = 0;               // pixels; 0: from the field's display width
    QString title;               // empty: the field's display label
    Qt::Alignment titleAlignment = Qt::AlignLeft | Qt::AlignVCenter;
};

class PLATFORM_UI_EXPORT DataSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DataSetModel(QObject* parent = nullptr);
    explicit DataSetModel(ClientDataSet* dataSet, QObject* parent = nullptr);

    void setDataSet(ClientDataSet* dataSet);
    ClientDataSet* dataSet() const { return dataSet_; }

    // Fixed columns; an empty list (the default) shows every visible field in field order.
    void setColumns(const QList<GridColumn>& columns);
    const QList<GridColumn>& columns() const { return columns_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The dataset field shown in a column, or nullptr (no dataset, inactive, unknown name).
    Field* fieldAt(int column) const;
    QString fieldNameAt(int column) const;
    // Width in pixels wished for a column, given the average character width of the font.
    int columnWidth(int column, int averageCharWidth) const;

    // The dataset's current row (0-based), -1 when none. setCurrentRow moves the dataset.
    int currentRow() const;
    void setCurrentRow(int row);

signals:
    void currentRowChanged(int row);

private:
    void connectDataSet();
    void rebuild();  // columns and row count from the dataset, inside a model reset
    void onRowInserted(int row);
    void onRowRemoved(int row);
    void onRowChanged(int row);
    void onFieldChanged(int fieldIndex);
    void onScrolled();

    QPointer<ClientDataSet> dataSet_;
    QList<GridColumn> columns_;     // as set by the user
    QList<GridColumn> shown_;       // what is shown now
    QList<int> fieldIndex_;         // dataset field index per shown column, -1 if absent
    int rows_ = 0;
    int lastCurrent_ = -1;
    QList<QMetaObject::Connection> connections_;
};

}  // namespace platform::ui
