#include "platform/dataset/DataPacket.h"
#include "platform/dataset/RowStore.h"

#include <mutex>

namespace platform {

// The columns, and the rows made from them on the first indexing (once, whichever copy
// of the list asks: copies may be read from several threads).
struct RowList::Columns {
    detail::RowStore store;
    std::once_flag made;
    QList<QVariantList> rows;
};

RowList::RowList() = default;
RowList::RowList(QList<QVariantList> rows) : list_(std::move(rows)) {}
RowList::RowList(std::initializer_list<QVariantList> rows) : list_(rows) {}
RowList::RowList(const RowList& other) = default;
RowList::RowList(RowList&& other) noexcept = default;
RowList& RowList::operator=(const RowList& other) = default;
RowList& RowList::operator=(RowList&& other) noexcept = default;
RowList::~RowList() = default;

RowList::RowList(detail::RowStore&& columns) : columns_(std::make_shared<Columns>())
{
    columns_->store = std::move(columns);
}

qsizetype RowList::size() const
{
    return columns_ ? qsizetype(columns_->store.rowCount()) : list_.size();
}

const detail::RowStore* RowList::columns() const
{
    return columns_ ? &columns_->store : nullptr;
}

QVariantList RowList::make(qsizetype row) const
{
    return columns_ ? columns_->store.row(quint32(row)) : list_.at(row);
}

const QList<QVariantList>& RowList::rows() const
{
    if (!columns_)
        return list_;
    Columns& c = *columns_;
    std::call_once(c.made, [&c] {
        c.rows.reserve(c.store.rowCount());
        for (quint32 r = 0; r < c.store.rowCount(); ++r)
            c.rows.append(c.store.row(r));
    });
    return c.rows;
}

QVariant RowList::value(qsizetype row, qsizetype field) const
{
    if (row < 0 || row >= size() || field < 0)
        return {};
    if (!columns_)
        return list_.at(row).value(field);
    const detail::RowStore& store = columns_->store;
    return field < store.columnCount() ? store.column(int(field)).get(quint32(row)) : QVariant();
}

void RowList::clear()
{
    columns_.reset();
    list_.clear();
}

QList<QVariantList>& RowList::list()
{
    if (columns_) {
        list_ = rows();
        columns_.reset();
    }
    return list_;
}

bool operator==(const RowList& a, const RowList& b)
{
    if (!a.columns_ && !b.columns_)
        return a.list_ == b.list_;
    if (a.columns_ == b.columns_)
        return true;
    if (a.size() != b.size())
        return false;
    for (qsizetype r = 0; r < a.size(); ++r)
        if (a.make(r) != b.make(r))
            return false;
    return true;
}

}  // namespace platform
