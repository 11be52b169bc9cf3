#pragma once
// SearchModel: the rows of a client dataset as the search list shows them: one column per
// visible field (title: the display label), narrowed by the text the operator types.
//
// A row stays when every word of the filter text occurs in one of its visible fields,
// without regard to letter case or accents ("joao" finds "JOÃO"). The texts are folded
// once (SearchKeys: for a long list on another thread as soon as the list opens, the
// first keystroke folding with it what is left, else at the first keystroke), and a new
// filter is one pass through them. Typing more letters narrows the rows already found:
// each remembers where the last word first occurs in it, so a longer word is mostly a
// look at the letters after that place. The view is reset only when the rows shown
// change, and the lists of rows are reused from one keystroke to the next. Each
// keystroke, the first included, stays fast with 100,000 rows.
//
// Reads the dataset through its random row access and never moves its current row. The
// dataset must stay unchanged while the model lives (the search list is modal), or until
// stopPreparing() when the model outlives the list's use.

#include "PossvcExport.h"
#include "host/possvc/screen/SearchKeys.h"
#include "platform/dataset/ClientDataSet.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

namespace possvc::sim {

class POSSVC_EXPORT SearchModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit SearchModel(platform::ClientDataSet* dataSet, QObject* parent = nullptr);
    ~SearchModel() override;

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

    // Lists of this many rows or more are folded on another thread from the start.
    static constexpr int kPrepareRows = 20000;
    // Ends the folding on the other thread, if any: the dataset may change afterwards
    // (a later filter folds what that thread left).
    void stopPreparing();

private:
    void searchAll(const QList<QByteArray>& words);
    void narrow(const QList<QByteArray>& words);
    void showAll();
    void keepFound();  // shows found_ and keeps foundAt_

    platform::ClientDataSet* ds_;
    int total_ = 0;
    QList<int> fields_;             // dataset field index of each column
    std::unique_ptr<SearchKeys> keys_;
    std::vector<int> rows_;         // dataset rows shown, in order
    std::vector<int> lastAt_;       // per row shown: where in its keys the filter's last word first occurs
    std::vector<int> found_;        // the rows a filter finds, and where (reused by every keystroke)
    std::vector<int> foundAt_;
    QString filter_;
    QString folded_;                // fold(filter_)
    QStringList words_;             // the words of folded_
};

}  // namespace possvc::sim
