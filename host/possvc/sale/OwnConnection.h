#pragma once
// A connection of a host library's own to the shop database, as a real host library
// keeps one apart from the module's: opened at the first use with the host's session
// set-up (SetADODBSession), and opened again when the source's text changes or the
// connection no longer holds. The source is hostkit's GetStringConexQvn until set.
//
// Not thread-safe. get() throws platform::DatabaseError when the database cannot be opened.

#include "PossvcExport.h"
#include "platform/Error.h"
#include "platform/db/Connection.h"

#include <QString>

#include <functional>
#include <memory>

namespace possvc {

class POSSVC_EXPORT OwnConnection {
public:
    platform::db::Connection& get();
    // Sets where the connection text comes from (empty: hostkit's) and closes the connection.
    void setSource(std::function<QString()> source);
    void close();
    // After a database error: drops the connection when the error says it was lost (or a
    // commit on it is in doubt), so that the next get() opens a new one; a refusal or a lock
    // keeps it. Only an error that says neither is followed by a probe of the connection.
    void dropIfLost(const platform::DatabaseError& error);

    bool isOpen() const { return connection_ != nullptr; }
    // The text the open connection was opened with; empty when closed.
    const QString& connectionString() const { return text_; }

private:
    std::function<QString()> source_;
    std::unique_ptr<platform::db::Connection> connection_;
    QString text_;
};

}  // namespace possvc
