#include "platform/db/Provider.h"

#include "platform/Error.h"
#include "platform/dataset/BinaryPacketBuilder.h"

namespace platform::db {

namespace {

// The query at its first row: opened when closed, re-read when it was moved. `once`: for
// one read through to the last row (see Query::firstToReadOnce).
Query& fromFirstRow(Query* query, bool once = false)
{
    if (!query)
        throw DatabaseError(QStringLiteral("Provider without a query"));
    if (once)
        query->firstToReadOnce();
    else if (!query->active())
        query->open();
    else
        query->first();  // re-executes only when the cursor has moved past the first row
    return *query;
}

}  // namespace

DataPacket Provider::packet()
{
    Query& q = fromFirstRow(query_);
    DataPacket packet;
    packet.fields = q.resultFields();
    while (!q.eof()) {
        packet.rows.append(q.currentRow());
        q.next();
    }
    return packet;
}

QVariant Provider::data()
{
    Query& q = fromFirstRow(query_, true);
    DataPacket shape;
    shape.fields = q.resultFields();
    if (shape.isNull())
        return {};
    BinaryPacketBuilder builder(shape);
    for (const QString& name : std::as_const(nullUnlessCp1252_))
        builder.setNullUnlessCp1252(shape.indexOf(name));
    q.writeRows(builder);
    return QVariant(builder.finish());
}

}  // namespace platform::db
