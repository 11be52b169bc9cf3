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
    keys_.reserve(n);
    QString key;
    for (int r = 0; r < n; ++r) {
        key.clear();
        for (int f : fields_) {
            key += ds_->displayTextAt(r, f);
            key += QLatin1Char('\n');  // words never match across two fields
        }
        keys_.push_back(fold(key));
    }
    keysBuilt_ = true;
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
        source.resize(keys_.size());
        for (size_t i = 0; i < source.size(); ++i)
            source[i] = static_cast<int>(i);
    }
    beginResetModel();
    rows_.clear();
    for (int r : source) {
        const QString& key = keys_[r];
        const bool all = std::all_of(words.begin(), words.end(),
                                     [&](const QString& w) { return key.contains(w); });
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
