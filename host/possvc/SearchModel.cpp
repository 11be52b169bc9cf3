#include "host/possvc/SearchModel.h"

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

void SearchModel::appendFolded(QStringView text)
{
    const char16_t* p = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && p[i] < 0x80)
        ++i;
    if (i < n) {  // accents or other letters: the full folding
        const QString folded = fold(text.toString());
        keys_.insert(keys_.end(), folded.utf16(), folded.utf16() + folded.size());
        return;
    }
    for (i = 0; i < n; ++i) {
        const char16_t c = p[i];
        keys_.push_back(c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c);
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
    if (narrowing) {
        source.swap(rows_);
    } else {
        source.resize(size_t(total_));
        for (size_t i = 0; i < source.size(); ++i)
            source[i] = static_cast<int>(i);
    }
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
