// ClientDataSet: insert, append, edit, post, cancel, delete.
//
// A new row takes its place in the table (and its views) as soon as insert() or append()
// is called, so a grid shows it while it is being filled; its values live in the edit
// buffer until post(). Order of notifications: the rows change first, then the state,
// so that a state-change handler already sees the table as it will be.

#include "platform/dataset/ClientDataSetImpl.h"

#include "platform/Error.h"

#include <algorithm>

namespace platform {

// After the row at `row` left the view: the next row becomes current, or the last one
// when it was at the end (then eof() when `endMeansEof`).
void ClientDataSet::Impl::afterRowGone(int row, bool endMeansEof)
{
    notifyRowRemoved(row);
    const int n = viewSize();
    if (n == 0) {
        cur = -1;
        bof = eof = true;
    } else if (row < n) {
        cur = row;
        bof = eof = false;
    } else {
        cur = n - 1;
        bof = false;
        eof = endMeansEof;
    }
}

void ClientDataSet::Impl::dropFromView(int row)
{
    const quint32 id = view()[size_t(row)];
    if (filterActive())
        filtered.erase(filtered.begin() + row);
    removeFromOrder(id);
}

void ClientDataSet::Impl::beginInsert(bool atEnd)
{
    const quint32 id = store.appendNullRow();
    int pos = viewSize();
    if (atEnd) {
        order.push_back(id);
        if (filterActive())
            filtered.push_back(id);
    } else if (filterActive()) {
        // Before the current row in table order too, or at the end when nothing is visible.
        pos = std::max(cur, 0);
        const auto at = cur < 0 ? order.end()
                                  : std::find(order.begin(), order.end(), filtered[size_t(cur)]);
        order.insert(at, id);
        filtered.insert(filtered.begin() + pos, id);
    } else {
        pos = std::max(cur, 0);
        order.insert(order.begin() + pos, id);
    }
    buffer = QVariantList(defs.size());
    modified = false;
    cur = pos;
    bof = eof = false;
    notifyRowInserted(pos);
    setState(DataSetState::Insert);
    notifyCurrentRow();
    emit q->afterScroll();
}


void ClientDataSet::insert()
{
    d->checkActive();
    d->checkBrowseMode();
    d->beginInsert(false);
}

void ClientDataSet::append()
{
    d->checkActive();
    d->checkBrowseMode();
    d->beginInsert(true);
}

void ClientDataSet::edit()
{
    d->checkActive();
    if (d->state == DataSetState::Edit || d->state == DataSetState::Insert)
        return;
    if (d->viewSize() == 0) {  // editing an empty table starts a new row
        insert();
        return;
    }
    d->buffer = d->store.row(d->view()[size_t(d->cur)]);
    d->modified = false;
    d->setState(DataSetState::Edit);
}

void ClientDataSet::post()
{
    d->checkActive();
    if (d->state != DataSetState::Edit && d->state != DataSetState::Insert)
        return;
    for (int i = 0; i < d->defs.size(); ++i)
        if (d->defs[i].required && !d->buffer.value(i).isValid())
            throw DataSetError(QStringLiteral("Field '%1' must have a value").arg(d->defs[i].name));

    const int row = d->cur;
    const quint32 id = d->view()[size_t(row)];
    d->store.setRow(id, d->buffer);
    d->buffer.clear();
    d->modified = false;
    const bool leaves = d->filterActive() && !d->rowPasses(id);
    if (leaves) {
        // The posted row no longer satisfies the filter: it disappears from the view.
        d->filtered.erase(d->filtered.begin() + row);
        d->afterRowGone(row, true);
    } else {
        d->notifyRowChanged(row);
    }
    d->setState(DataSetState::Browse);
    if (leaves) {
        d->notifyCurrentRow();
        emit afterScroll();
    }
    emit afterPost();
}

void ClientDataSet::cancel()
{
    d->checkActive();
    if (d->state == DataSetState::Insert) {
        const int row = d->cur;
        d->dropFromView(row);
        d->buffer.clear();
        d->modified = false;
        d->afterRowGone(row, false);  // back on the row that was current before
        d->setState(DataSetState::Browse);
        d->notifyCurrentRow();
        emit afterScroll();
        emit afterCancel();
    } else if (d->state == DataSetState::Edit) {
        d->buffer.clear();
        d->modified = false;
        d->notifyRowChanged(d->cur);  // views showed the edit buffer
        d->setState(DataSetState::Browse);
        emit afterCancel();
    }
}

void ClientDataSet::remove()
{
    d->checkActive();
    if (d->state == DataSetState::Insert) {  // deleting a row not yet posted is cancelling it
        cancel();
        return;
    }
    if (d->viewSize() == 0)
        throw DataSetError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    const int row = d->cur;
    d->dropFromView(row);
    d->buffer.clear();
    d->modified = false;
    d->afterRowGone(row, true);
    d->setState(DataSetState::Browse);
    d->notifyCurrentRow();
    emit afterDelete();
    emit afterScroll();
    d->compactIfWasteful();
}

void ClientDataSet::appendRecord(const QVariantList& values)
{
    d->checkActive();
    if (values.size() > d->defs.size())
        throw DataSetError(QStringLiteral("%1 values given for %2 fields").arg(values.size()).arg(d->defs.size()));
    append();
    try {
        for (int i = 0; i < values.size(); ++i)
            field(i).setValue(values[i]);
        post();
    } catch (...) {
        cancel();  // a record that cannot be posted is not left half-entered
        throw;
    }
}

}  // namespace platform
