// ClientDataSet: loading from and producing data packets and files. Kept apart from the
// rest so that the dataset's logic links without the packet encodings.

#include "platform/dataset/ClientDataSetImpl.h"
#include "platform/dataset/PacketEncodings.h"

#include "platform/Error.h"

namespace platform {

namespace {

// Whether a value read from a packet already has its field's representation (the usual
// case, taken as it is); anything else goes through the field's conversion.
bool hasRepresentation(FieldType type, int typeId)
{
    if (typeId == QMetaType::UnknownType)
        return true;
    return type == FieldType::DataSet || typeId == traitsOf(type).variantType;
}

// Presentation set on the fields (labels, widths, formats) outlives reloading the same fields.
FieldDefs keepPresentation(FieldDefs incoming, const FieldDefs& current)
{
    for (FieldDef& def : incoming) {
        for (const FieldDef& old : current) {
            if (old.name.compare(def.name, Qt::CaseInsensitive) != 0)
                continue;
            if (def.displayLabel.isEmpty()) def.displayLabel = old.displayLabel;
            if (def.displayWidth == 0) def.displayWidth = old.displayWidth;
            if (def.displayFormat.isEmpty()) def.displayFormat = old.displayFormat;
            if (def.visible) def.visible = old.visible;
            break;
        }
    }
    return incoming;
}

void reserveStore(detail::RowStore& store, const FieldDefs& defs, const QList<QVariantList>& rows)
{
    // Exact sizes up front: the text pools are most of a loaded table's memory.
    for (int f = 0; f < defs.size(); ++f) {
        qsizetype chars = 0;
        quint32 kept = quint32(rows.size());
        if (isTextType(defs[f].type)) {
            for (const QVariantList& row : rows)
                if (f < row.size() && row[f].typeId() == QMetaType::QString)
                    chars += static_cast<const QString*>(row[f].constData())->size();
        } else {
            // Other columns hold values up to their last non-null row only.
            while (kept > 0 && !(f < rows[kept - 1].size() && rows[kept - 1][f].isValid()))
                --kept;
        }
        store.column(f).reserve(kept, chars);
    }
}

void fillStore(detail::RowStore& store, const FieldDefs& defs, const QList<QVariantList>& rows)
{
    store.reset(defs);
    reserveStore(store, defs, rows);
    const QVariant null;
    for (const QVariantList& row : rows) {
        for (int f = 0; f < defs.size(); ++f) {
            const QVariant& v = f < row.size() ? row[f] : null;
            detail::Column& column = store.column(f);
            const int type = v.typeId();
            if (column.isText() && type == QMetaType::QString)
                column.appendText(*static_cast<const QString*>(v.constData()));  // no copy on the way
            else if (hasRepresentation(defs[f].type, type))
                column.append(v);
            else
                column.append(convertToFieldType(defs[f], v));
        }
        store.appendedRow();
    }
}

}  // namespace

void ClientDataSet::setPacket(const DataPacket& packet)
{
    if (packet.isNull()) {
        close();  // a null packet leaves the dataset closed
        return;
    }
    // Built aside first: a packet that cannot be loaded leaves the dataset as it was.
    detail::RowStore store;
    const detail::RowStore* columns = packet.rows.columns();
    if (columns && columns->matches(packet.fields))
        store = *columns;  // read from a binary packet: the columns are the dataset's already
    else
        fillStore(store, packet.fields, packet.rows.rows());
    adopt(packet, std::move(store));
}

void ClientDataSet::adopt(const DataPacket& shape, detail::RowStore&& store)
{
    FieldDefs defs = keepPresentation(shape.fields, d->defs);
    close();
    d->store = std::move(store);
    d->defs = std::move(defs);
    d->params = shape.params;
    d->sourceFormat = shape.sourceFormat;
    d->order.resize(d->store.rowCount());
    for (quint32 i = 0; i < d->store.rowCount(); ++i)
        d->order[i] = i;
    d->ensureFields();
    d->activate();
}

void ClientDataSet::setData(const QVariant& packet)
{
    if (!packet.isValid() || (packet.typeId() == QMetaType::QByteArray && packet.toByteArray().isEmpty())) {
        close();
        return;
    }
    const QString source = objectName().isEmpty() ? QStringLiteral("data packet") : objectName();
    if (packet.typeId() == QMetaType::QByteArray) {
        // The usual binary packet of current rows is read once, straight into the columns.
        const QByteArray bytes = packet.toByteArray();
        DataPacket shape;
        detail::RowStore store;
        // (A packet over the size limit goes the general way, which refuses it.)
        if (bytes.size() <= packetSizeLimit() && packet::hasBinarySignature(bytes)
            && packet::loadBinaryPacket(bytes, source, shape, store)
            && !shape.isNull()) {
            adopt(shape, std::move(store));
            return;
        }
    }
    setPacket(packetFromVariant(packet, source));
}

DataPacket ClientDataSet::packet() const
{
    DataPacket p;
    if (!d->active)
        return p;
    p.fields = d->defs;
    p.params = d->params;
    p.sourceFormat = d->sourceFormat;
    // Posted rows only: a row being inserted is not part of the data yet.
    const std::optional<quint32> inserting =
        d->state == DataSetState::Insert ? d->currentId() : std::nullopt;
    p.rows.reserve(qsizetype(d->order.size()));
    for (quint32 id : d->order)
        if (id != inserting)
            p.rows.append(d->store.row(id));
    return p;
}

QVariant ClientDataSet::data() const
{
    if (!d->active)
        return {};
    return packetToVariant(packet());
}

void ClientDataSet::loadFromFile(const QString& path)
{
    setPacket(readPacketFile(path));
}

void ClientDataSet::saveToFile(const QString& path, PacketFormat format) const
{
    d->checkActive();
    writePacketFile(packet(), path, format);
}

}  // namespace platform
