#include "platform/db/Provider.h"

#include "platform/Error.h"

namespace platform::db {

DataPacket Provider::packet()
{
    if (!query_)
        throw DatabaseError(QStringLiteral("Provider without a query"));
    Query& q = *query_;
    if (!q.active())
        q.open();
    else
        q.first();  // re-executes only when the cursor has moved past the first row
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
    return packetToVariant(packet());
}

}  // namespace platform::db
