#pragma once
// SearchModel: the rows of a client dataset as the search list shows them: one column per
// visible field (title: the display label), narrowed by the text the operator types.
//
// A row stays when every word of the filter text occurs in one of its visible fields,
// without regard to letter case or accents ("joao" finds "JOÃO"). The texts are folded
// once into one block of characters read straight from the dataset's storage (for a long
// list on another thread as soon as the list opens, else at the first keystroke), and a
// new filter is one pass through that block. Typing more letters
// narrows the rows already found: each remembers where the last word first occurs in it,
// so a longer word is mostly a look at the letters after that place. The view is reset
// only when the rows shown change. Each keystroke, the first included, stays fast with
// 100,000 rows.
//
// Reads the dataset through its random row access and never moves its current row. The
// dataset must stay unchanged while the model lives (the search list is modal), or until
// stopPreparing() when the model outlives the list's use.

#include "PossvcExport.h"
#include "platform/dataset/ClientDataSet.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace possvc::sim {

// An allocator whose new elements are left unset: the key block is written right after it
// grows, and setting its megabytes first would cost as much as the writing.
template <typename T>
struct UnsetAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UnsetAllocator<U>;
    };
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args)
    {
        if constexpr (sizeof...(Args) == 0)
            ::new (static_cast<void*>(p)) U;
        else
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

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
    // (a later filter folds it again).
    void stopPreparing();

private:
    void buildKeys();
    void waitForKeys();
    // Writes the folded text into keys_ at `at` (growing it as needed); returns its end.
    size_t appendFolded(QStringView text, size_t at);
    // Offset in keys_ of the first `word` in [from, end), or -1.
    qsizetype find(QStringView word, qsizetype from, qsizetype end) const;
    qsizetype rowEnd(int row) const { return qsizetype(keyStart_[size_t(row) + 1]); }
    bool rowHas(int row, const QString& word) const { return find(word, keyStart_[size_t(row)], rowEnd(row)) >= 0; }
    void searchAll(const QStringList& words);
    void narrow(const QStringList& words);
    void keepOnly(const std::vector<int>& rows, const std::vector<qsizetype>& at);

    platform::ClientDataSet* ds_;
    int total_ = 0;
    bool keysBuilt_ = false;
    std::thread preparing_;        // folding the texts (a long list), until joined
    std::atomic<bool> stop_ = false;
    QList<int> fields_;            // dataset field index of each column
    std::vector<char16_t, UnsetAllocator<char16_t>> keys_;  // folded visible texts of every dataset row, one after another
    std::vector<quint32> keyStart_;  // where each row's texts start in keys_ (one more at the end)
    std::vector<int> rows_;        // dataset rows shown, in order
    std::vector<qsizetype> lastAt_;  // per row shown: where the filter's last word first occurs
    QString filter_;
    QString folded_;               // fold(filter_)
    QStringList words_;            // the words of folded_
};

}  // namespace possvc::sim
