#include "platform/db/SqlStorage.h"

#include "platform/Error.h"

namespace platform::db {

SqlStorage::~SqlStorage()
{
    if (query_)
        query_->setBeforeOpen({});
}

void SqlStorage::setQuery(Query* query)
{
    if (query_ == query)
        return;
    if (query_)
        query_->setBeforeOpen({});
    query_ = query;
    if (query_)
        query_->setBeforeOpen([this](Query&) { apply(); });
}

QString SqlStorage::textFor(Dialect dialect, const QString& fallback) const
{
    const QString t = texts_.value(dialect);
    return t.isEmpty() ? fallback : t;
}

void SqlStorage::apply()
{
    if (!query_)
        throw DatabaseError(QStringLiteral("SQL-variant store without a query"));
    Connection* c = query_->connection();
    if (!c || !c->connected())
        throw DatabaseError(QStringLiteral("%1: the connection is not open").arg(query_->objectName()));
    query_->setSql(textFor(c->dialect(), query_->sql()));
}

}  // namespace platform::db
