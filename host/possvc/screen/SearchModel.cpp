#include "host/possvc/screen/SearchModel.h"

#include <QStringList>

#include <algorithm>

namespace possvc::sim {

SearchModel::SearchModel(platform::ClientDataSet* dataSet, QObject* parent)
    : QAbstractTableModel(parent), ds_(dataSet)
{
    if (!ds_ || !ds_->active())
        return;
    for (int f = 0; f < ds_->fieldCount(); ++f)
        if (ds_->field(f).visible())
            fields_.append(f);
    total_ = ds_->recordCount();
    rows_.resize(size_t(total_));
    for (int r = 0; r < total_; ++r)
        rows_[size_t(r)] = r;
    keys_ = std::make_unique<SearchKeys>(ds_, fields_, total_);
    // A long list is folded on another processor while it opens and the operator reads
    // it: the first keystroke then finds the texts ready, or folds the rest with it.
    if (total_ >= kPrepareRows)
        keys_->startHelper();
}

SearchModel::~SearchModel() = default;

void SearchModel::stopPreparing()
{
    if (keys_)
        keys_->stopHelper();
}

QString SearchModel::fold(const QString& text) { return SearchKeys::fold(text); }

int SearchModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int SearchModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : fields_.size();
}

QVariant SearchModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= fields_.size())
        return {};
    if (role == Qt::DisplayRole)
        return ds_->displayTextAt(rows_[size_t(index.row())], fields_[index.column()]);
    if (role == Qt::TextAlignmentRole) {
        const bool number = platform::isNumericType(ds_->field(fields_[index.column()]).dataType());
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    return {};
}

QVariant SearchModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || section >= fields_.size())
        return {};
    return ds_->field(fields_[section]).displayLabel();
}

void SearchModel::searchAll(const QList<QByteArray>& words)
{
    // One pass through each block for the longest word (it leaves the fewest rows to look
    // at); after a match the pass goes on at the next row's texts. Every row's texts end
    // in '\n', which a word never holds, so no match runs from one row into the next.
    const qsizetype longest = std::max_element(words.begin(), words.end(), [](const QByteArray& a, const QByteArray& b) {
                                  return a.size() < b.size();
                              }) - words.begin();
    const qsizetype lastWord = words.size() - 1;
    for (int b = 0; b < keys_->blockCount(); ++b) {
        const SearchKeys::Block& block = keys_->block(b);
        const char* base = block.bytes.data();
        const char* end = base + block.start.back();
        size_t i = 0;  // the block's row holding p
        for (const char* p = SearchKeys::find(words[longest], base, end); p;) {
            while (base + block.start[i + 1] <= p)
                ++i;
            const char* rowBegin = base + block.start[i];
            const char* rowEnd = base + block.start[i + 1];
            const char* lastAt = p;
            for (qsizetype w = 0; lastAt && w < words.size(); ++w) {
                const char* q = w == longest ? p : SearchKeys::find(words[w], rowBegin, rowEnd);
                if (!q || w == lastWord)
                    lastAt = q;
            }
            if (lastAt) {
                found_.push_back(block.firstRow + int(i));
                foundAt_.push_back(int(lastAt - rowBegin));
            }
            p = SearchKeys::find(words[longest], rowEnd, end);
        }
    }
}

void SearchModel::narrow(const QList<QByteArray>& words)
{
    // The text grew at its end: the old words but the last stand as they were, the last
    // may have grown, and new words may follow. A grown word first occurs no earlier than
    // where the shorter one did, so the search in each row starts there.
    const qsizetype grown = words_.size() - 1;
    const QByteArray& word = words[grown];
    for (size_t i = 0; i < rows_.size(); ++i) {
        const SearchKeys::Span row = keys_->row(rows_[i]);
        const char* p = row.begin + lastAt_[i];
        const bool stillThere = p + word.size() <= row.end && SearchKeys::startsWith(p, word);
        if (!stillThere)
            p = SearchKeys::find(word, p + 1, row.end);
        for (qsizetype w = grown + 1; p && w < words.size(); ++w)
            p = SearchKeys::find(words[w], row.begin, row.end);
        if (p) {
            found_.push_back(rows_[i]);
            foundAt_.push_back(int(p - row.begin));
        }
    }
}

void SearchModel::showAll()
{
    found_.resize(size_t(total_));
    for (int r = 0; r < total_; ++r)
        found_[size_t(r)] = r;
}

void SearchModel::keepFound()
{
    lastAt_.swap(foundAt_);
    if (found_ != rows_) {  // else the view has nothing to redo
        beginResetModel();
        rows_.swap(found_);
        endResetModel();
    }
}

void SearchModel::setFilterText(const QString& text)
{
    const QString folded = fold(text);
    filter_ = text;
    if (folded == folded_ || !keys_)
        return;
    const QStringList words = folded.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    // More letters typed at the end only narrow what was found; anything else starts over.
    const bool narrowing = !words_.isEmpty() && folded.startsWith(folded_);
    found_.clear();
    foundAt_.clear();
    if (words.isEmpty()) {
        showAll();
    } else {
        keys_->ready();
        QList<QByteArray> utf8;
        for (const QString& w : words)
            utf8.append(w.toUtf8());
        narrowing ? narrow(utf8) : searchAll(utf8);
    }
    folded_ = folded;
    words_ = words;
    keepFound();
}

int SearchModel::dataSetRow(int modelRow) const
{
    if (modelRow < 0 || modelRow >= rowCount())
        return -1;
    return rows_[size_t(modelRow)];
}

int SearchModel::modelRow(int dataSetRow) const
{
    // rows_ is ascending: the filter keeps the dataset's order.
    const auto it = std::lower_bound(rows_.begin(), rows_.end(), dataSetRow);
    if (it == rows_.end() || *it != dataSetRow)
        return -1;
    return static_cast<int>(it - rows_.begin());
}

int SearchModel::columnChars(int column) const
{
    if (column < 0 || column >= fields_.size())
        return 0;
    const platform::Field& f = ds_->field(fields_[column]);
    if (f.displayWidth() > 0)
        return f.displayWidth();
    return std::clamp(f.size() > 0 ? f.size() : 12, 6, 40);
}

}  // namespace possvc::sim
