#pragma once
// SqlStorage: the texts of one query in several SQL dialects. Attached to a query, it
// installs the text for the dialect of the query's connection each time the query is
// opened. A dialect without a text leaves the query's own text in place.
//
// Does not own the query; detaches itself when destroyed.

#include "PlatformDbExport.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/Query.h"

#include <QMap>
#include <QPointer>
#include <QString>

namespace platform::db {

class PLATFORM_DB_EXPORT SqlStorage {
public:
    SqlStorage() = default;
    explicit SqlStorage(Query* query) { setQuery(query); }
    ~SqlStorage();
    SqlStorage(const SqlStorage&) = delete;
    SqlStorage& operator=(const SqlStorage&) = delete;

    Query* query() const { return query_; }
    void setQuery(Query* query);

    void setText(Dialect dialect, const QString& sql) { texts_[dialect] = sql; }
    QString text(Dialect dialect) const { return texts_.value(dialect); }
    bool hasText(Dialect dialect) const { return !texts_.value(dialect).isEmpty(); }

    // The text for `dialect`, or `fallback` when there is none.
    QString textFor(Dialect dialect, const QString& fallback) const;
    // Installs now the text for the connection's dialect (the connection must be open).
    void apply();

private:
    QPointer<Query> query_;
    QMap<Dialect, QString> texts_;
};

}  // namespace platform::db
