#include "host/possvc/SearchModel.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace possvc::sim {

SearchModel::SearchModel(platform::ClientDataSet* dataSet, QObject* parent)
    : QAbstractTableModel(parent), ds_(dataSet)
{
    if (!ds_ || !ds_->active())
        return;
    for (int f = 0; f < ds_->fieldCount(); ++f)
        if (ds_->field(f).visible())
            fields_.append(f);
    const int n = ds_->recordCount();
    total_ = n;
    rows_.resize(n);
    for (int r = 0; r < n; ++r)
        rows_[r] = r;
    // A long list is folded on another processor while it opens and the operator reads
    // it: the first keystroke then finds the texts ready, or waits only for what is left.
    // Only the dataset's read calls run there, on a dataset the list leaves unchanged;
    // their first call, which may settle the dataset's shared lists, is made here.
    if (n >= kPrepareRows) {
        QStringView text;
        for (int f : std::as_const(fields_))
            if (!ds_->textAt(0, f, text))
                ds_->displayTextAt(0, f);
        preparing_ = std::thread([this] {
            try {
                buildKeys();
            } catch (const std::exception&) {
                keysBuilt_ = false;  // built again, at the first keystroke, where its error shows
            }
        });
    }
}

SearchModel::~SearchModel() { stopPreparing(); }

void SearchModel::stopPreparing()
{
    if (!preparing_.joinable())
        return;
    stop_ = true;
    preparing_.join();
    stop_ = false;
}

void SearchModel::waitForKeys()
{
    if (preparing_.joinable())
        preparing_.join();
    if (!keysBuilt_)
        buildKeys();
}

void SearchModel::buildKeys()
{
    // The block is sized ahead and written in place; it grows only for long texts.
    const int n = total_;
    keyStart_.assign(size_t(n) + 1, 0);
    keys_.resize(size_t(n) * size_t(fields_.size()) * 16);
    size_t used = 0;
    QStringView text;
    QString formatted;
    for (int r = 0; r < n; ++r) {
        if (stop_)
            return;
        keyStart_[size_t(r)] = quint32(used);
        for (int f : fields_) {
            if (!ds_->textAt(r, f, text)) {
                formatted = ds_->displayTextAt(r, f);
                text = formatted;
            }
            used = appendFolded(text, used);
            keys_[used++] = u'\n';  // words never match across two fields
        }
    }
    keyStart_[size_t(n)] = quint32(used);
    keys_.resize(used);
    keysBuilt_ = true;
}

namespace {

// fold() of each Latin-1 character that folds to one character ("Ã" -> "a"), 0 for the
// others: the shop's texts are almost all Latin-1, and a table lookup per character is
// what keeps the first keystroke fast.
const std::array<char16_t, 256>& latin1Folds()
{
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        for (char16_t c = 0; c < 256; ++c) {
            const QString folded = SearchModel::fold(QString(QChar(c)));
            t[c] = folded.size() == 1 ? folded.at(0).unicode() : 0;
        }
        return t;
    }();
    return table;
}

}  // namespace

size_t SearchModel::appendFolded(QStringView text, size_t at)
{
    // Room for the text, its folding (rarely longer) and the '\n' that follows.
    const size_t room = at + size_t(text.size()) * 3 + 1;
    if (room > keys_.size())
        keys_.resize(std::max(room, keys_.size() * 2));
    char16_t* out = keys_.data() + at;
    const char16_t* p = text.utf16();
    // Most texts are ASCII, whose folding is the lower case: one pass with no lookups.
    char16_t all = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = p[i];
        all |= c;
        out[i] = char16_t(c + (char16_t(c - u'A') < 26 ? 32 : 0));
    }
    if (all < 0x80)
        return at + size_t(text.size());
    // Folding works character by character for these texts (a Latin-1 letter decomposes
    // into itself and marks only), so the table gives what fold() of the whole gives.
    const std::array<char16_t, 256>& table = latin1Folds();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = p[i];
        const char16_t f = c < 256 ? table[c] : 0;
        if (f == 0) {  // other scripts, or a letter that folds to two ("ß"): the full folding
            const QString folded = fold(text.toString());
            if (at + size_t(folded.size()) + 1 > keys_.size())
                keys_.resize(std::max(at + size_t(folded.size()) + 1, keys_.size() * 2));
            std::copy(folded.utf16(), folded.utf16() + folded.size(), keys_.data() + at);
            return at + size_t(folded.size());
        }
        out[i] = f;
    }
    return at + size_t(text.size());
}

QString SearchModel::fold(const QString& text)
{
    bool ascii = true;
    for (QChar c : text)
        if (c.unicode() > 0x7F) {
            ascii = false;
            break;
        }
    if (ascii)
        return text.toLower();
    // Decompose, drop the combining marks, fold the case: "JOÃO" -> "joao".
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed)
        if (!c.isMark())
            out.append(c);
    return out.toCaseFolded();
}

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
        return ds_->displayTextAt(rows_[index.row()], fields_[index.column()]);
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

qsizetype SearchModel::find(QStringView word, qsizetype from, qsizetype end) const
{
    // The first letter through the library's vectorised character search, the rest
    // compared in place: far quicker on this block than a general search for short words.
    const QStringView all(keys_.data(), end);
    const qsizetype last = end - word.size();
    const QChar first = word.front();
    const char16_t* rest = word.utf16() + 1;
    const qsizetype restSize = word.size() - 1;
    for (qsizetype at = all.indexOf(first, from); at >= 0 && at <= last; at = all.indexOf(first, at + 1))
        if (std::equal(rest, rest + restSize, keys_.data() + at + 1))
            return at;
    return -1;
}

void SearchModel::searchAll(const QStringList& words)
{
    // One pass through the block for the longest word (it leaves the fewest rows to look
    // at); after a match the pass goes on at the next row's texts. Every row's texts end
    // in '\n', which a word never holds, so no match runs from one row into the next.
    const qsizetype longest = std::max_element(words.begin(), words.end(), [](const QString& a, const QString& b) {
                                  return a.size() < b.size();
                              }) - words.begin();
    const qsizetype lastWord = words.size() - 1;
    const qsizetype end = qsizetype(keys_.size());
    std::vector<int> rows;
    std::vector<qsizetype> at;
    int row = 0;
    for (qsizetype p = find(words[longest], 0, end); p >= 0;) {
        while (rowEnd(row) <= p)
            ++row;
        qsizetype lastAt = p;
        bool keep = true;
        for (qsizetype w = 0; keep && w < words.size(); ++w) {
            if (w == longest)
                continue;
            const qsizetype q = find(words[w], keyStart_[size_t(row)], rowEnd(row));
            keep = q >= 0;
            if (w == lastWord)
                lastAt = q;
        }
        if (keep) {
            rows.push_back(row);
            at.push_back(lastAt);
        }
        p = find(words[longest], rowEnd(row), end);
    }
    keepOnly(rows, at);
}

void SearchModel::narrow(const QStringList& words)
{
    // The text grew at its end: the old words but the last stand as they were, the last
    // may have grown, and new words may follow. A grown word first occurs no earlier than
    // where the shorter one did, so the search in each row starts there.
    const qsizetype grown = words_.size() - 1;
    const QString& word = words[grown];
    std::vector<int> rows;
    std::vector<qsizetype> at;
    rows.reserve(rows_.size());
    at.reserve(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i) {
        const int row = rows_[i];
        qsizetype p = lastAt_[i];
        const bool stillThere = p + word.size() <= rowEnd(row)
                                && std::equal(word.utf16(), word.utf16() + word.size(), keys_.data() + p);
        if (!stillThere)
            p = find(word, p + 1, rowEnd(row));
        for (qsizetype w = grown + 1; p >= 0 && w < words.size(); ++w)
            p = find(words[w], keyStart_[size_t(row)], rowEnd(row));
        if (p >= 0) {
            rows.push_back(row);
            at.push_back(p);
        }
    }
    keepOnly(rows, at);
}

void SearchModel::keepOnly(const std::vector<int>& rows, const std::vector<qsizetype>& at)
{
    lastAt_ = at;
    if (rows == rows_)
        return;  // the view has nothing to redo
    beginResetModel();
    rows_ = rows;
    endResetModel();
}

void SearchModel::setFilterText(const QString& text)
{
    const QString folded = fold(text);
    filter_ = text;
    if (folded == folded_)
        return;
    const QStringList words = folded.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    // More letters typed at the end only narrow what was found; anything else starts over.
    const bool narrowing = !words_.isEmpty() && folded.startsWith(folded_);
    folded_ = folded;
    if (words.isEmpty()) {
        std::vector<int> all(static_cast<size_t>(total_));
        for (size_t i = 0; i < all.size(); ++i)
            all[i] = static_cast<int>(i);
        keepOnly(all, {});
    } else {
        waitForKeys();
        narrowing ? narrow(words) : searchAll(words);
    }
    words_ = words;
}

int SearchModel::dataSetRow(int modelRow) const
{
    if (modelRow < 0 || modelRow >= rowCount())
        return -1;
    return rows_[modelRow];
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
