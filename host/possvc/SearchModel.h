#pragma once
// SearchModel: the rows of a client dataset as the search list shows them: one column per
// visible field (title: the display label), narrowed by the text the operator types.
//
// A row stays when every word of the filter text occurs in one of its visible fields,
// without regard to letter case or accents ("joao" finds "JOÃO"). The texts are folded
// once, at the first keystroke, into one block of characters read straight from the
// dataset's storage; typing more letters narrows the rows already found, so that each
// keystroke, the first included, stays fast with 100,000 rows.
//
// Reads the dataset through its random row access and never moves its current row. The
// dataset must stay unchanged while the model lives (the search list is modal).

#include "platform/dataset/ClientDataSet.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include <vector>

namespace possvc::sim {

class SearchModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit SearchModel(platform::ClientDataSet* dataSet, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void setFilterText(const QString& text);
    QString filterText() const { return filter_; }

    int totalRows() const { return total_; }
    int dataSetRow(int modelRow) const;    // 0-based row of the dataset; -1 when out of range
    int modelRow(int dataSetRow) const;    // -1 when filtered out
    // Display width in characters of a column (the field's, or one derived from its size).
    int columnChars(int column) const;

    // Case- and accent-insensitive form used for matching.
    static QString fold(const QString& text);

private:
    void buildKeys();
    void appendFolded(QStringView text);
    std::vector<int> allRows() const;
    std::vector<int> rowsContaining(const QString& word) const;
    QStringView key(int row) const
    {
        return QStringView(keys_.data() + keyStart_[size_t(row)], keyStart_[size_t(row) + 1] - keyStart_[size_t(row)]);
    }

    platform::ClientDataSet* ds_;
    int total_ = 0;
    bool keysBuilt_ = false;
    QList<int> fields_;            // dataset field index of each column
    std::vector<char16_t> keys_;   // folded visible texts of every dataset row, one after another
    std::vector<quint32> keyStart_;  // where each row's texts start in keys_ (one more at the end)
    std::vector<int> rows_;        // dataset rows shown, in order
    QString filter_;
    QString folded_;               // fold(filter_)
};

}  // namespace possvc::sim
