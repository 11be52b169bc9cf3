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
}

void SearchModel::buildKeys()
{
    // Built at the first keystroke, not at opening: the list shows at once.
    const int n = total_;
    keyStart_.clear();
    keyStart_.reserve(size_t(n) + 1);
    keys_.clear();
    keys_.reserve(size_t(n) * size_t(fields_.size()) * 16);
    QStringView text;
    for (int r = 0; r < n; ++r) {
        keyStart_.push_back(quint32(keys_.size()));
        for (int f : fields_) {
            if (ds_->textAt(r, f, text))
                appendFolded(text);
            else
                appendFolded(ds_->displayTextAt(r, f));
            keys_.push_back(u'\n');  // words never match across two fields
        }
    }
    keyStart_.push_back(quint32(keys_.size()));
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

void SearchModel::appendFolded(QStringView text)
{
    // Folding works character by character for these texts (a Latin-1 letter decomposes
    // into itself and marks only), so the table gives what fold() of the whole gives.
    const std::array<char16_t, 256>& table = latin1Folds();
    const size_t start = keys_.size();
    const char16_t* p = text.utf16();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = p[i];
        const char16_t f = c < 256 ? table[c] : 0;
        if (f == 0) {  // other scripts, or a letter that folds to two ("ß"): the full folding
            keys_.resize(start);
            const QString folded = fold(text.toString());
            keys_.insert(keys_.end(), folded.utf16(), folded.utf16() + folded.size());
            return;
        }
        keys_.push_back(f);
    }
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

std::vector<int> SearchModel::allRows() const
{
    std::vector<int> rows(static_cast<size_t>(total_));
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = static_cast<int>(i);
    return rows;
}

std::vector<int> SearchModel::rowsContaining(const QString& word) const
{
    // One search through the whole block rather than one per row: after a match the
    // search goes on at the next row's texts. Every row's texts end in '\n', which a
    // word never holds, so no match runs from one row into the next.
    std::vector<int> rows;
    const QStringView all(keys_.data(), qsizetype(keys_.size()));
    for (qsizetype at = all.indexOf(word); at >= 0;) {
        const auto next = std::upper_bound(keyStart_.begin(), keyStart_.end(), quint32(at));
        rows.push_back(int(next - keyStart_.begin()) - 1);
        if (next == keyStart_.end())
            break;
        at = all.indexOf(word, qsizetype(*next));
    }
    return rows;
}

void SearchModel::setFilterText(const QString& text)
{
    const QString folded = fold(text);
    if (folded == folded_) {
        filter_ = text;
        return;
    }
    if (!keysBuilt_)
        buildKeys();
    const QStringList words = folded.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    // More letters typed at the end only narrow what was found; anything else starts over.
    const bool narrowing = !folded_.isEmpty() && folded.startsWith(folded_);
    std::vector<int> source;
    if (narrowing)
        source.swap(rows_);
    else if (!words.isEmpty())
        source = rowsContaining(*std::max_element(words.begin(), words.end(), [](const QString& a, const QString& b) {
            return a.size() < b.size();
        }));
    else
        source = allRows();
    beginResetModel();
    rows_.clear();
    for (int r : source) {
        const QStringView text = key(r);
        const bool all = std::all_of(words.begin(), words.end(),
                                     [&](const QString& w) { return text.contains(w); });
        if (all)
            rows_.push_back(r);
    }
    filter_ = text;
    folded_ = folded;
    endResetModel();
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
