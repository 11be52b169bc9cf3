// ClientDataSet: locate, lookup and the filter.
//
// Keys and filter literals are converted to their field's type once, before the scan,
// and rows are compared in place in the column store, so a search over 100,000 rows
// makes no allocation per row.

#include "platform/dataset/ClientDataSetImpl.h"

#include "platform/Error.h"
#include "platform/dataset/ValueText.h"

namespace platform {

namespace {

class StoreRow : public detail::CellReader {
public:
    explicit StoreRow(const detail::RowStore& store) : store_(store) {}
    quint32 id = 0;
    detail::Cell cell(int field) const override { return store_.column(field).cell(id); }

private:
    const detail::RowStore& store_;
};

struct Key {
    const detail::Column* column = nullptr;
    QVariant value;  // owns what `cell` points into
    detail::Cell cell;
    bool prefix = false;
};

// The key value as its field holds it. Texts are neither cut nor (for a partial key)
// padded, so that a longer key cannot match a shorter stored text; numbers are not
// rounded to an integer field, so 12.5 never finds 13.
Key prepareKey(const FieldDef& def, const detail::Column& column, const QVariant& raw, const LocateOptions& options)
{
    Key key;
    key.column = &column;
    FieldType cellType = def.type;
    if (isTextType(def.type)) {
        FieldDef unlimited = def;
        unlimited.size = 0;
        key.value = convertToFieldType(unlimited, raw);
        key.prefix = options.partialKey;
        if (def.type == FieldType::FixedChar && !key.prefix && key.value.isValid())
            key.value = key.value.toString().leftJustified(def.size, QLatin1Char(' '));
    } else if (isNumericType(def.type) && raw.typeId() == QMetaType::QString && !raw.toString().trimmed().isEmpty()) {
        const auto n = detail::parseNumber(raw.toString());
        if (!n)
            throw DataSetError(QStringLiteral("Field '%1': '%2' is not a valid number").arg(def.name, raw.toString()));
        key.value = *n;
        cellType = FieldType::Float;
    } else if (isNumericType(def.type) && (raw.typeId() == QMetaType::Double || raw.typeId() == QMetaType::Float)) {
        key.value = raw.toDouble();
        cellType = FieldType::Float;
    } else {
        key.value = convertToFieldType(def, raw);
    }
    key.cell = detail::cellOf(cellType, key.value);
    return key;
}

bool keyMatches(const Key& key, quint32 id, Qt::CaseSensitivity cs)
{
    if (key.cell.kind == detail::Cell::Text && key.column->isText()) {  // the common case, kept tight
        QAnyStringView text;
        if (!key.column->textAt(id, text))
            return false;
        return key.prefix ? detail::textStartsWith(text, key.cell.text, cs) : detail::textEquals(text, key.cell.text, cs);
    }
    const detail::Cell c = key.column->cell(id);
    if (key.cell.isNull())
        return c.isNull();
    if (key.prefix)
        return c.kind == detail::Cell::Text && detail::textStartsWith(c.text, key.cell.text, cs);
    const auto r = detail::compareCells(c, key.cell, cs);
    return r && *r == 0;
}

QVariantList valueList(const QVariant& values, size_t keyCount)
{
    const bool isList = values.typeId() == QMetaType::QVariantList || values.typeId() == QMetaType::QStringList;
    QVariantList list = isList ? values.toList() : QVariantList{values};
    if (size_t(list.size()) != keyCount)
        throw DataSetError(QStringLiteral("Locate: %1 key fields but %2 values").arg(keyCount).arg(list.size()));
    return list;
}

}  // namespace

int ClientDataSet::Impl::findRow(const std::vector<int>& fields, const QVariant& values,
                                 const LocateOptions& options) const
{
    const QVariantList list = valueList(values, fields.size());
    std::vector<Key> keys;
    for (size_t i = 0; i < fields.size(); ++i)
        keys.push_back(prepareKey(defs[fields[i]], store.column(fields[i]), list[qsizetype(i)], options));
    const Qt::CaseSensitivity cs = options.caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const std::vector<quint32>& rows = view();
    for (size_t row = 0; row < rows.size(); ++row) {
        bool all = true;
        for (const Key& key : keys)
            if (!(all = keyMatches(key, rows[row], cs)))
                break;
        if (all)
            return int(row);
    }
    return -1;
}

bool ClientDataSet::Impl::rowPasses(quint32 id) const
{
    if (!filterActive())
        return true;
    StoreRow row(store);
    row.id = id;
    return filterExpr->matches(row);
}

void ClientDataSet::Impl::rebuildView()
{
    filtered.clear();
    if (!filterActive())
        return;
    StoreRow row(store);
    for (quint32 id : order) {
        row.id = id;
        if (filterExpr->matches(row))
            filtered.push_back(id);
    }
}

void ClientDataSet::Impl::refreshView()
{
    rebuildView();
    const int n = viewSize();
    const int before = cur;
    cur = n > 0 ? 0 : -1;
    bof = true;
    eof = n == 0;
    notifyReset();
    notifyCurrentRow();
    if (before != cur || n > 0)
        emit q->afterScroll();
}

bool ClientDataSet::locate(const QString& keyFields, const QVariant& values, LocateOptions options)
{
    d->checkActive();
    d->checkBrowseMode();
    const int row = d->findRow(d->keyFieldIndexes(keyFields), values, options);
    if (row < 0)
        return false;
    d->moveTo(row);
    d->bof = d->eof = false;
    return true;
}

QVariant ClientDataSet::lookup(const QString& keyFields, const QVariant& values, const QString& resultField)
{
    d->checkActive();
    const std::vector<int> keys = d->keyFieldIndexes(keyFields);
    const std::vector<int> results = d->keyFieldIndexes(resultField);
    const int row = d->findRow(keys, values, {});
    if (row < 0)
        return {};
    QVariantList out;
    for (int f : results)
        out.append(d->store.column(f).get(d->view()[size_t(row)]));  // posted values, as searched
    return results.size() == 1 ? out.front() : QVariant(out);
}

void ClientDataSet::setFilter(const QString& expression)
{
    std::unique_ptr<FilterExpression> parsed;
    if (!expression.trimmed().isEmpty()) {
        parsed = std::make_unique<FilterExpression>(expression);
        if (d->active)
            parsed->bind(d->defs);
    }
    if (d->active && d->filterOn)
        d->checkBrowseMode();
    d->filterText = expression;
    d->filterExpr = std::move(parsed);
    if (d->active && d->filterOn)
        d->refreshView();
}

QString ClientDataSet::filter() const { return d->filterText; }

void ClientDataSet::setFiltered(bool on)
{
    if (on == d->filterOn)
        return;
    if (d->active) {
        if (on && d->filterExpr && !d->filterExpr->isBound())
            d->filterExpr->bind(d->defs);
        d->checkBrowseMode();
    }
    d->filterOn = on;
    if (d->active)
        d->refreshView();
}

bool ClientDataSet::filtered() const { return d->filterOn; }

}  // namespace platform
