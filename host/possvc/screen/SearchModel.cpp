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
    // The lists the first keystrokes fill, given their memory now: the memory a list takes
    // the first time costs the system more than the search that fills it.
    for (std::vector<int>* list : {&lastAt_, &found_, &foundAt_}) {
        list->resize(size_t(total_));
        list->clear();
    }
    keys_ = std::make_unique<SearchKeys>(ds_, fields_, total_);
    // A long list is folded as it opens, on two processors: every keystroke, the first
    // too, then finds the texts ready.
    if (total_ >= kPrepareRows) {
        keys_->startHelper();
        keys_->ready();
    }
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
    // Words of one letter or digit each: the rows' masks alone tell which rows hold them
    // (where they stand is left at the row's start, where a longer word's search starts).
    quint64 need = 0;
    bool maskEnough = true;
    for (const QByteArray& w : words) {
        need |= SearchKeys::maskOf(w);
        maskEnough = maskEnough && SearchKeys::maskTells(w);
    }
    // Room for every row at once: grown a row at a time, the lists would be copied some
    // twenty times on the way to a million (the room no row takes is never touched).
    found_.reserve(size_t(total_));
    foundAt_.reserve(size_t(total_));
    if (maskEnough) {
        // Every row written, and kept by moving on past it: most rows hold a common letter,
        // and a branch per row would be guessed wrong too often.
        found_.resize(size_t(total_));
        int* out = found_.data();
        for (int b = 0; b < keys_->blockCount(); ++b) {
            const SearchKeys::Block& block = keys_->block(b);
            for (size_t i = 0; i < block.mask.size(); ++i) {
                *out = block.firstRow + int(i);
                out += (block.mask[i] & need) == need;
            }
        }
        found_.resize(size_t(out - found_.data()));
        foundAt_.assign(found_.size(), 0);
        return;
    }
    // Else one pass through each block for the longest word (it leaves the fewest rows to
    // look at), the other words looked for in the rows it is found in.
    const qsizetype longest = std::max_element(words.begin(), words.end(), [](const QByteArray& a, const QByteArray& b) {
                                  return a.size() < b.size();
                              }) - words.begin();
    for (int b = 0; b < keys_->blockCount(); ++b)
        scanBlock(keys_->block(b), words, longest, need, nullptr);
}

void SearchModel::scanBlock(const SearchKeys::Block& block, const QList<QByteArray>& words, qsizetype pivot,
                            quint64 need, size_t* shown)
{
    // After a match the pass goes on at the next row's texts. Every row's texts end in
    // '\n', which a word never holds, so no match runs from one row into the next. With
    // `shown`, only the rows shown from *shown on are kept (the cursor moves on with them).
    const qsizetype lastWord = words.size() - 1;
    const char* base = block.bytes.data();
    const char* end = base + block.start.back();
    size_t i = 0;  // the block's row holding p
    for (const char* p = SearchKeys::find(words[pivot], base, end); p;) {
        while (base + block.start[i + 1] <= p)
            ++i;
        const int row = block.firstRow + int(i);
        const char* rowBegin = base + block.start[i];
        const char* rowEnd = base + block.start[i + 1];
        bool wanted = (block.mask[i] & need) == need;
        if (shown) {
            while (*shown < rows_.size() && rows_[*shown] < row)
                ++*shown;
            wanted = wanted && *shown < rows_.size() && rows_[*shown] == row;
        }
        const char* lastAt = wanted ? p : nullptr;
        for (qsizetype w = 0; lastAt && w < words.size(); ++w) {
            const char* q = w == pivot ? p : SearchKeys::find(words[w], rowBegin, rowEnd);
            if (!q || w == lastWord)
                lastAt = q;
        }
        if (lastAt) {
            found_.push_back(row);
            foundAt_.push_back(int(lastAt - rowBegin));
        }
        p = SearchKeys::find(words[pivot], rowEnd, end);
    }
}

void SearchModel::narrow(const QList<QByteArray>& words)
{
    // The text grew at its end: the old words but the last stand as they were, the last
    // may have grown, and new words may follow.
    const qsizetype grown = words_.size() - 1;
    const QByteArray& word = words[grown];
    quint64 need = 0;
    for (qsizetype w = grown; w < words.size(); ++w)
        need |= SearchKeys::maskOf(words[w]);
    if (rows_.size() > size_t(total_ / 4)) {
        // Most rows still shown: one pass through the blocks for the grown word is quicker
        // than a search in each row. The words before it need no look: the rows shown hold them.
        const QList<QByteArray> left = words.mid(grown);
        size_t shown = 0;
        for (int b = 0; b < keys_->blockCount() && shown < rows_.size(); ++b)
            scanBlock(keys_->block(b), left, 0, need, &shown);
        return;
    }
    // A grown word first occurs no earlier than where the shorter one did, so the search in
    // each row starts there. The rows kAhead on are fetched meanwhile (their bounds twice
    // as far on, as finding their texts needs them).
    constexpr size_t kAhead = 16;
    const size_t count = rows_.size();
    for (size_t i = 0; i < count; ++i) {
        if (i + 2 * kAhead < count)
            keys_->prefetchBounds(rows_[i + 2 * kAhead]);
        if (i + kAhead < count && (keys_->rowMask(rows_[i + kAhead]) & need) == need)
            keys_->prefetchText(rows_[i + kAhead], lastAt_[i + kAhead]);
        if ((keys_->rowMask(rows_[i]) & need) != need)
            continue;
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

void SearchModel::keepFound(bool narrowed)
{
    const bool same = found_ == rows_;  // then the view has nothing to redo
    if (!same)
        beginResetModel();
    if (narrowed) {
        // What was shown becomes the earlier filter's result as it is: moved, never copied.
        earlier_.push_back({folded_, words_, std::move(rows_), std::move(lastAt_)});
        rows_.clear();
        lastAt_.clear();
    }
    rows_.swap(found_);
    lastAt_.swap(foundAt_);
    if (!same)
        endResetModel();
}

void SearchModel::setFilterText(const QString& text)
{
    const QString folded = fold(text);
    filter_ = text;
    if (folded == folded_ || !keys_)
        return;
    const QStringList words = folded.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (!words.isEmpty() && words == words_) {
        // Only spaces around the words changed: the same rows, found where they were.
        folded_ = folded;
        return;
    }
    bool narrowed = false;
    if (words.isEmpty()) {
        earlier_.clear();
        found_.clear();
        foundAt_.clear();
        showAll();
    } else {
        keys_->ready();
        QList<QByteArray> utf8;
        for (const QString& w : words)
            utf8.append(w.toUtf8());
        // More letters typed at the end only narrow what was found, or what an earlier
        // filter found when letters were taken back; anything else starts over.
        const bool grown = !words_.isEmpty() && folded.startsWith(folded_);
        const Back back = grown ? Back::Narrow : backTo(folded);
        found_.clear();
        foundAt_.clear();
        if (back == Back::Found) {
            found_.swap(earlier_.back().rows);
            foundAt_.swap(earlier_.back().lastAt);
            earlier_.pop_back();
        } else if (back == Back::Narrow) {
            // The rows found are among those shown: room for them all, whatever was let go.
            found_.reserve(rows_.size());
            foundAt_.reserve(rows_.size());
            narrow(utf8);
            narrowed = true;
        } else {
            earlier_.clear();
            searchAll(utf8);
        }
    }
    keepFound(narrowed);  // keeps what folded_ found when narrowed
    folded_ = folded;
    words_ = words;
}

SearchModel::Back SearchModel::backTo(const QString& folded)
{
    // Letters taken back or changed: the filters this one narrowed that do not begin the
    // new text are of no more use; one equal to it is what it finds, one that begins it
    // is where the narrowing starts from.
    while (!earlier_.empty() && !folded.startsWith(earlier_.back().folded))
        earlier_.pop_back();
    if (earlier_.empty())
        return Back::None;
    if (earlier_.back().folded == folded)
        return Back::Found;
    Earlier from = std::move(earlier_.back());
    earlier_.pop_back();
    found_.swap(from.rows);
    foundAt_.swap(from.lastAt);
    folded_ = from.folded;
    words_ = from.words;
    keepFound();
    return Back::Narrow;
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
