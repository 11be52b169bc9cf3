#include "host/possvc/sale/OwnConnection.h"

#include "hostapi/hostkit.h"
#include "platform/Error.h"

namespace possvc {

platform::db::Connection& OwnConnection::get()
{
    const QString text = source_ ? source_() : hostkit::GetStringConexQvn();
    if (!connection_ || text != text_ || !connection_->connected()) {
        close();
        auto connection = std::make_unique<platform::db::Connection>(text);
        connection->setAfterConnect([](platform::db::Connection& c) { hostkit::SetADODBSession(&c); });
        connection->open();
        connection_ = std::move(connection);
        text_ = text;
    }
    return *connection_;
}

void OwnConnection::setSource(std::function<QString()> source)
{
    source_ = std::move(source);
    close();
}

void OwnConnection::close()
{
    connection_.reset();
    text_.clear();
}

void OwnConnection::dropIfLost(const platform::DatabaseError& error)
{
    if (!connection_)
        return;
    using Kind = platform::DatabaseError::Kind;
    if (error.uncertain()) {
        close();
        return;
    }
    if (error.kind() != Kind::Other)
        return;  // refused or busy: the connection answered
    try {
        connection_->execute(QStringLiteral("SELECT 1"));
    } catch (const platform::Error&) {
        close();
    }
}

}  // namespace possvc
