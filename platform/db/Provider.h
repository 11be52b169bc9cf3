#pragma once
// Provider: turns the whole result of a query into a data packet, with the query's
// declared fields (names, types, sizes, display labels) so that the packet is the same
// on every backend. Does not own its query.
//
// Throws platform::DatabaseError when the query has no connection, fails, or lacks a
// declared field in its result.

#include "PlatformDbExport.h"
#include "platform/dataset/DataPacket.h"
#include "platform/db/Query.h"

#include <QPointer>
#include <QVariant>

namespace platform::db {

class PLATFORM_DB_EXPORT Provider {
public:
    explicit Provider(Query* query = nullptr) : query_(query) {}

    Query* query() const { return query_; }
    void setQuery(Query* query) { query_ = query; }

    // Every row of the query's result, from its first row: opens the query when it is
    // closed and re-reads it from the start when it was moved. The query stays open at eof.
    DataPacket packet();
    // The same packet in a variant (its binary bytes), as data-service functions return it.
    // The rows go straight from the result into the encoding, without a packet in between.
    QVariant data();
    // Fields whose texts data() writes as null when Windows-1252 cannot hold them whole.
    void setNullUnlessCp1252(const QStringList& fieldNames) { nullUnlessCp1252_ = fieldNames; }

private:
    QPointer<Query> query_;
    QStringList nullUnlessCp1252_;
};

}  // namespace platform::db
