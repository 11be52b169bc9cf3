// ClientDataSet: structure, lifecycle, navigation and notifications. Editing is in
// ClientDataSetEdit.cpp, locate and filter in ClientDataSetSearch.cpp, packets and files
// in ClientDataSetPackets.cpp.

#include "platform/dataset/ClientDataSetImpl.h"

#include "platform/Error.h"
#include "platform/dataset/ValueText.h"

#include <QSet>

#include <algorithm>

namespace platform {

// --- Impl: view and checks ------------------------------------------------------

std::optional<quint32> ClientDataSet::Impl::currentId() const
{
    if (!active || cur < 0 || cur >= viewSize())
        return std::nullopt;
    return view()[size_t(cur)];
}

QVariant ClientDataSet::Impl::cellValue(int row, int field) const
{
    if (row == cur && (state == DataSetState::Edit || state == DataSetState::Insert))
        return buffer.value(field);
    return store.column(field).get(view()[size_t(row)]);
}

void ClientDataSet::Impl::checkActive() const
{
    if (active)
        return;
    const QString name = q->objectName();
    throw DataSetError(name.isEmpty() ? QStringLiteral("Cannot perform this operation on a closed dataset")
                                      : QStringLiteral("%1: Cannot perform this operation on a closed dataset").arg(name));
}

void ClientDataSet::Impl::checkField(int index) const
{
    // Definitions edited while open (which they should not be) must not reach past the rows.
    const int count = active ? std::min(int(defs.size()), store.columnCount()) : int(defs.size());
    if (index < 0 || index >= count)
        throw DataSetError(QStringLiteral("Field index %1 out of range (%2 fields)").arg(index).arg(count));
}

void ClientDataSet::Impl::checkEditing() const
{
    if (state != DataSetState::Edit && state != DataSetState::Insert)
        throw DataSetError(QStringLiteral("Dataset not in edit or insert mode"));
}

int ClientDataSet::Impl::fieldIndexOf(const QString& name) const
{
    for (int i = 0; i < defs.size(); ++i)
        if (defs[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

std::vector<int> ClientDataSet::Impl::keyFieldIndexes(const QString& keyFields) const
{
    std::vector<int> keys;
    for (const QString& part : keyFields.split(QLatin1Char(';'))) {
        const QString name = part.trimmed();
        if (name.isEmpty())
            continue;
        const int i = fieldIndexOf(name);
        if (i < 0)
            throw DataSetError(QStringLiteral("Field '%1' not found").arg(name));
        keys.push_back(i);
    }
    if (keys.empty())
        throw DataSetError(QStringLiteral("No key fields given"));
    return keys;
}

void ClientDataSet::Impl::ensureFields()
{
    while (fields.size() < size_t(defs.size()))
        fields.emplace_back(new Field(q, int(fields.size())));
}

// --- Impl: state, movement, notifications ------------------------------------------

void ClientDataSet::Impl::setState(DataSetState s)
{
    if (state == s)
        return;
    state = s;
    emit q->stateChanged(s);
}

void ClientDataSet::Impl::moveTo(int row)
{
    if (row == cur)
        return;
    cur = row;
    notifyCurrentRow();
    emit q->afterScroll();
}

void ClientDataSet::Impl::checkBrowseMode()
{
    if (state == DataSetState::Edit || state == DataSetState::Insert) {
        if (modified)
            q->post();
        else
            q->cancel();
    }
}

void ClientDataSet::Impl::activate()
{
    active = true;
    std::exception_ptr filterError;
    if (filterExpr) {
        try {
            filterExpr->bind(defs);
        } catch (...) {
            // The rows are loaded; a filter naming absent fields is switched off and reported.
            filterOn = false;
            filterError = std::current_exception();
        }
    }
    rebuildView();
    cur = viewSize() > 0 ? 0 : -1;
    bof = true;
    eof = viewSize() == 0;
    notifyReset();
    setState(DataSetState::Browse);
    notifyCurrentRow();
    emit q->afterScroll();
    if (filterError)
        std::rethrow_exception(filterError);
}

void ClientDataSet::Impl::removeFromOrder(quint32 id)
{
    if (!filterActive() && cur >= 0 && size_t(cur) < order.size() && order[size_t(cur)] == id) {
        order.erase(order.begin() + cur);
        return;
    }
    const auto it = std::find(order.begin(), order.end(), id);
    if (it != order.end())
        order.erase(it);
}

void ClientDataSet::Impl::compactIfWasteful()
{
    // Deleted rows keep their storage until they outnumber the live ones.
    const size_t dead = store.rowCount() - order.size();
    if (state != DataSetState::Browse || dead < 4096 || dead < order.size())
        return;
    std::vector<quint32> newId(store.rowCount(), 0);
    for (size_t i = 0; i < order.size(); ++i)
        newId[order[i]] = quint32(i);
    store.keepOnly(order);
    for (quint32& id : filtered)
        id = newId[id];
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = quint32(i);
}

template <typename... Args>
void ClientDataSet::Impl::notify(void (ClientDataSet::*signal)(Args...), Args... args)
{
    if (viewsEnabled())
        (q->*signal)(args...);
    else
        pendingReset = true;  // views re-read everything once controls are enabled again
}

void ClientDataSet::Impl::dropCursor(DataSetState s)
{
    order.clear();
    filtered.clear();
    cur = -1;
    bof = eof = true;
    notifyReset();
    setState(s);
    notifyCurrentRow();
}

void ClientDataSet::Impl::notifyReset() { notify(&ClientDataSet::reset); }
void ClientDataSet::Impl::notifyRowInserted(int row) { notify(&ClientDataSet::rowInserted, row); }
void ClientDataSet::Impl::notifyRowRemoved(int row) { notify(&ClientDataSet::rowRemoved, row); }
void ClientDataSet::Impl::notifyRowChanged(int row) { notify(&ClientDataSet::rowChanged, row); }
void ClientDataSet::Impl::notifyCurrentRow() { notify(&ClientDataSet::currentRowChanged, cur); }
void ClientDataSet::Impl::notifyFieldChanged(int field) { notify(&ClientDataSet::fieldChanged, field); }

// --- structure ---------------------------------------------------------------------

ClientDataSet::ClientDataSet(const QString& name, QObject* parent) : QObject(parent), d(std::make_unique<Impl>(this))
{
    setObjectName(name);
}

ClientDataSet::~ClientDataSet() = default;

FieldDefs& ClientDataSet::fieldDefs() { return d->defs; }
const FieldDefs& ClientDataSet::fieldDefs() const { return d->defs; }
int ClientDataSet::fieldCount() const { return int(d->defs.size()); }

Field& ClientDataSet::field(int index)
{
    d->checkField(index);
    d->ensureFields();
    return *d->fields[size_t(index)];
}

Field& ClientDataSet::fieldByName(const QString& name)
{
    const int i = d->fieldIndexOf(name);
    if (i < 0)
        throw DataSetError(QStringLiteral("Field '%1' not found").arg(name));
    return field(i);
}

Field* ClientDataSet::findField(const QString& name)
{
    const int i = d->fieldIndexOf(name);
    return i < 0 ? nullptr : &field(i);
}

// --- lifecycle ---------------------------------------------------------------------

void ClientDataSet::createDataSet()
{
    if (d->defs.isEmpty())
        throw DataSetError(QStringLiteral("Cannot create dataset '%1' without field definitions").arg(objectName()));
    QSet<QString> names;
    for (const FieldDef& def : d->defs) {
        const QString key = def.name.toUpper();
        if (def.name.trimmed().isEmpty())
            throw DataSetError(QStringLiteral("Cannot create dataset '%1': a field has no name").arg(objectName()));
        if (names.contains(key))
            throw DataSetError(QStringLiteral("Duplicate field name '%1'").arg(def.name));
        names.insert(key);
    }
    close();
    d->store.reset(d->defs);
    d->order.clear();
    d->ensureFields();
    d->activate();
}

void ClientDataSet::emptyDataSet()
{
    d->checkActive();
    d->buffer.clear();
    d->modified = false;
    d->store.reset(d->defs);
    d->dropCursor(DataSetState::Browse);
    emit afterScroll();
}

void ClientDataSet::close()
{
    if (!d->active)
        return;
    d->buffer.clear();  // closing discards an unposted edit
    d->modified = false;
    d->active = false;
    d->store.clear();
    d->dropCursor(DataSetState::Inactive);
}

void ClientDataSet::open()
{
    if (d->active)
        return;
    createDataSet();
}

bool ClientDataSet::active() const { return d->active; }
DataSetState ClientDataSet::state() const { return d->state; }
bool ClientDataSet::isEmpty() const { return !d->active || d->viewSize() == 0; }
QString ClientDataSet::name() const { return objectName(); }
bool ClientDataSet::modified() const { return d->modified; }

// --- navigation --------------------------------------------------------------------

void ClientDataSet::first()
{
    d->checkActive();
    d->checkBrowseMode();
    d->moveTo(d->viewSize() > 0 ? 0 : -1);
    d->bof = true;
    d->eof = d->viewSize() == 0;
}

void ClientDataSet::last()
{
    d->checkActive();
    d->checkBrowseMode();
    d->moveTo(d->viewSize() - 1);
    d->eof = true;
    d->bof = d->viewSize() == 0;
}

void ClientDataSet::next()
{
    d->checkActive();
    d->checkBrowseMode();
    const int n = d->viewSize();
    if (d->cur + 1 < n) {
        d->moveTo(d->cur + 1);
        d->bof = d->eof = false;
    } else {
        d->eof = true;  // stays on the last row
        d->bof = n == 0;
    }
}

void ClientDataSet::prior()
{
    d->checkActive();
    d->checkBrowseMode();
    const int n = d->viewSize();
    if (d->cur > 0) {
        d->moveTo(d->cur - 1);
        d->bof = d->eof = false;
    } else {
        d->bof = true;  // stays on the first row
        d->eof = n == 0;
    }
}

bool ClientDataSet::bof() const { return !d->active || d->bof; }
bool ClientDataSet::eof() const { return !d->active || d->eof; }
int ClientDataSet::recordCount() const { return d->active ? d->viewSize() : 0; }
int ClientDataSet::recNo() const { return d->active && d->cur >= 0 ? d->cur + 1 : 0; }
int ClientDataSet::currentRow() const { return recNo() - 1; }

void ClientDataSet::setRecNo(int recNo)
{
    d->checkActive();
    d->checkBrowseMode();
    if (recNo < 1 || recNo > d->viewSize())
        throw DataSetError(QStringLiteral("Record number %1 out of range (1 to %2)").arg(recNo).arg(d->viewSize()));
    d->moveTo(recNo - 1);
    d->bof = d->eof = false;
}

QVariant ClientDataSet::valueAt(int row, int fieldIndex) const
{
    d->checkActive();
    d->checkField(fieldIndex);
    if (row < 0 || row >= d->viewSize())
        throw DataSetError(QStringLiteral("Row %1 out of range (%2 rows)").arg(row).arg(d->viewSize()));
    return d->cellValue(row, fieldIndex);
}

QString ClientDataSet::displayTextAt(int row, int fieldIndex) const
{
    const QVariant v = valueAt(row, fieldIndex);
    const FieldDef& def = d->defs[fieldIndex];
    return detail::formatValue(def.type, v, def.displayFormat);
}

bool ClientDataSet::textAt(int row, int fieldIndex, QAnyStringView& text) const
{
    d->checkActive();
    d->checkField(fieldIndex);
    if (row < 0 || row >= d->viewSize())
        throw DataSetError(QStringLiteral("Row %1 out of range (%2 rows)").arg(row).arg(d->viewSize()));
    const detail::Column& column = d->store.column(fieldIndex);
    const bool editing = row == d->cur && (d->state == DataSetState::Edit || d->state == DataSetState::Insert);
    if (!column.isText() || editing || !d->defs[fieldIndex].displayFormat.isEmpty())
        return false;
    if (!column.textAt(d->view()[size_t(row)], text))
        text = QAnyStringView();
    return true;
}

void ClientDataSet::disableControls()
{
    ++d->disableCount;
}

void ClientDataSet::enableControls()
{
    if (d->disableCount == 0 || --d->disableCount > 0)
        return;
    if (d->pendingReset) {
        d->pendingReset = false;
        emit reset();
        emit currentRowChanged(currentRow());
    }
}

}  // namespace platform
