#include "platform/ui/DataSetModel.h"

namespace platform::ui {

namespace {
bool isNumericField(const Field& f) { return isNumericType(f.dataType()); }
}  // namespace

DataSetModel::DataSetModel(QObject* parent) : QAbstractTableModel(parent) {}

DataSetModel::DataSetModel(ClientDataSet* dataSet, QObject* parent) : QAbstractTableModel(parent)
{
    setDataSet(dataSet);
}

void DataSetModel::setDataSet(ClientDataSet* dataSet)
{
    for (const auto& c : connections_)
        disconnect(c);
    connections_.clear();
    dataSet_ = dataSet;
    connectDataSet();
    beginResetModel();
    rebuild();
    endResetModel();
}

void DataSetModel::setColumns(const QList<GridColumn>& columns)
{
    beginResetModel();
    columns_ = columns;
    rebuild();
    endResetModel();
}

void DataSetModel::connectDataSet()
{
    if (!dataSet_)
        return;
    auto* ds = dataSet_.data();
    connections_ << connect(ds, &ClientDataSet::reset, this, [this] {
        beginResetModel();
        rebuild();
        endResetModel();
        emit currentRowChanged(lastCurrent_);
    });
    // A state change (open, close, edit, insert, post) may change what the current row
    // shows; a cheap refresh of the current row covers it, a reset covers open/close.
    connections_ << connect(ds, &ClientDataSet::stateChanged, this, [this](DataSetState) {
        const int want = dataSet_ && dataSet_->active() ? dataSet_->recordCount() : 0;
        if (want != rows_ && dataSet_ && dataSet_->state() == DataSetState::Browse) {
            beginResetModel();
            rebuild();
            endResetModel();
        }
        onScrolled();
    });
    connections_ << connect(ds, &ClientDataSet::rowInserted, this, &DataSetModel::onRowInserted);
    connections_ << connect(ds, &ClientDataSet::rowRemoved, this, &DataSetModel::onRowRemoved);
    connections_ << connect(ds, &ClientDataSet::rowChanged, this, &DataSetModel::onRowChanged);
    connections_ << connect(ds, &ClientDataSet::fieldChanged, this, &DataSetModel::onFieldChanged);
    connections_ << connect(ds, &ClientDataSet::currentRowChanged, this, [this](int) { onScrolled(); });
    connections_ << connect(ds, &ClientDataSet::afterScroll, this, &DataSetModel::onScrolled);
    connections_ << connect(ds, &QObject::destroyed, this, [this] {
        beginResetModel();
        dataSet_ = nullptr;
        rebuild();
        endResetModel();
    });
}

void DataSetModel::rebuild()
{
    shown_.clear();
    fieldIndex_.clear();
    rows_ = 0;
    lastCurrent_ = -1;
    if (!dataSet_)
        return;
    auto* ds = dataSet_.data();
    if (columns_.isEmpty()) {
        for (int i = 0; i < ds->fieldCount(); ++i) {
            Field& f = ds->field(i);
            if (!f.visible())
                continue;
            shown_ << GridColumn{f.fieldName(), 0, {}, Qt::AlignLeft | Qt::AlignVCenter};
            fieldIndex_ << i;
        }
    } else {
        for (const GridColumn& c : columns_) {
            shown_ << c;
            Field* f = ds->findField(c.fieldName);
            fieldIndex_ << (f ? f->index() : -1);
        }
    }
    rows_ = ds->active() ? ds->recordCount() : 0;
    lastCurrent_ = ds->active() ? ds->currentRow() : -1;
}

int DataSetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int DataSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(shown_.size());
}

Field* DataSetModel::fieldAt(int column) const
{
    if (!dataSet_ || column < 0 || column >= fieldIndex_.size() || fieldIndex_[column] < 0)
        return nullptr;
    if (fieldIndex_[column] >= dataSet_->fieldCount())
        return nullptr;
    return &dataSet_->field(fieldIndex_[column]);
}

QString DataSetModel::fieldNameAt(int column) const
{
    return column >= 0 && column < shown_.size() ? shown_[column].fieldName : QString();
}

QVariant DataSetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !dataSet_ || !dataSet_->active() || index.row() >= rows_)
        return {};
    Field* f = fieldAt(index.column());
    if (!f)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        try {
            return dataSet_->displayTextAt(index.row(), f->index());
        } catch (const std::exception&) {
            return {};  // a row the dataset no longer has; the next reset repairs the view
        }
    case Qt::EditRole:
        try {
            return dataSet_->valueAt(index.row(), f->index());
        } catch (const std::exception&) {
            return {};
        }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(
            (isNumericField(*f) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    default:
        return {};
    }
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= shown_.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    const GridColumn& c = shown_[section];
    if (role == Qt::DisplayRole) {
        if (!c.title.isEmpty())
            return c.title;
        Field* f = fieldAt(section);
        return f ? f->displayLabel() : c.fieldName;
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(c.titleAlignment);
    return {};
}

Qt::ItemFlags DataSetModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

int DataSetModel::columnWidth(int column, int averageCharWidth) const
{
    if (column < 0 || column >= shown_.size())
        return 0;
    if (shown_[column].width > 0)
        return shown_[column].width;
    Field* f = fieldAt(column);
    const int chars = f ? f->displayWidth() : 10;
    return qMax(chars, 4) * averageCharWidth + 8;
}

int DataSetModel::currentRow() const
{
    return dataSet_ && dataSet_->active() ? dataSet_->currentRow() : -1;
}

void DataSetModel::setCurrentRow(int row)
{
    if (!dataSet_ || !dataSet_->active() || row < 0 || row >= dataSet_->recordCount())
        return;
    if (dataSet_->currentRow() != row)
        dataSet_->setRecNo(row + 1);
}

void DataSetModel::onRowInserted(int row)
{
    if (row < 0 || row > rows_)
        row = rows_;
    beginInsertRows({}, row, row);
    ++rows_;
    endInsertRows();
}

void DataSetModel::onRowRemoved(int row)
{
    if (rows_ == 0)
        return;
    if (row < 0 || row >= rows_)
        row = rows_ - 1;
    beginRemoveRows({}, row, row);
    --rows_;
    endRemoveRows();
}

void DataSetModel::onRowChanged(int row)
{
    if (row >= 0 && row < rows_ && !shown_.isEmpty())
        emit dataChanged(index(row, 0), index(row, int(shown_.size()) - 1));
}

void DataSetModel::onFieldChanged(int)
{
    onRowChanged(currentRow());
}

void DataSetModel::onScrolled()
{
    const int now = currentRow();
    if (now == lastCurrent_)
        return;
    const int before = lastCurrent_;
    lastCurrent_ = now;
    onRowChanged(before);
    onRowChanged(now);
    emit currentRowChanged(now);
}

}  // namespace platform::ui
