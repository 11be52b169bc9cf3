#pragma once
// SearchModel: the rows of a client dataset as the search list shows them: one column per
// visible field (title: the display label), narrowed by the text the operator types.
//
// A row stays when every word of the filter text occurs in one of its visible fields,
// without regard to letter case or accents ("joao" finds "JOÃO"). The texts are folded
// once (SearchKeys: a long list by two threads as it opens, a short one at the first
// keystroke), each row with a mask of the letters it holds, and a new filter is one pass
// through the masks, looking at the texts of the rows whose mask holds the words' letters.
// Typing more letters narrows the rows already found: each remembers where the last word
// first occurs in it, so a longer word is mostly a look at the letters after that place.
// The rows each narrowed filter found are kept (moved aside as the next one narrows them,
// never copied), so taking letters back costs no search; spaces typed or taken back
// around the same words cost none either. The view is reset only when the rows shown
// change. Each keystroke, the first included,
// stays within a few tens of milliseconds with 1,000,000 rows.
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

    // Lists of this many rows or more are folded as they open, by two threads.
    static constexpr int kPrepareRows = 20000;
    // Ends the folding on the other thread, if any: the dataset may change afterwards
    // (a later filter folds what that thread left).
    void stopPreparing();

private:
    void searchAll(const QList<QByteArray>& words);
    void narrow(const QList<QByteArray>& words);
    // One pass through a block for words[pivot], keeping the rows that hold every word
    // (and `need`'s bits; with `shown`, only rows shown).
    void scanBlock(const SearchKeys::Block& block, const QList<QByteArray>& words, qsizetype pivot, quint64 need,
                   size_t* shown);
    void showAll();
    // Shows found_ and keeps foundAt_; `narrowed`: what was shown is kept in earlier_ as
    // what folded_ found.
    void keepFound(bool narrowed = false);
    enum class Back { None, Found, Narrow };
    // After letters were taken back or changed: Found when earlier_.back() found `folded`
    // itself, Narrow when it found a beginning of it (now shown), None when none is left.
    Back backTo(const QString& folded);

    // A filter narrowed by a later one, kept so that taking letters back costs no search.
    struct Earlier {
        QString folded;
        QStringList words;
        std::vector<int> rows;
        std::vector<int> lastAt;
    };

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
    std::vector<Earlier> earlier_;  // the filters the shown one narrowed, shortest first
};

}  // namespace possvc::sim
