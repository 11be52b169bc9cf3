#pragma once
// SqliteRowPipe: the rest of a long SQLite result written into a packet on two threads.
// The calling thread steps the statement and copies each row's values, as the engine gives
// them, into chunks of rows; a second thread meanwhile writes the finished chunks into the
// packet. The engine's stepping is the longer part: overlapped with it, the encoding is
// done about when the last row is read.
//
// The statement is used by the calling thread only, the packet's builder by the second one
// from the start of writeRest() until it returns. Nothing else may run on the statement's
// connection meanwhile.
// writeRest() throws what the writing of a value raised, and hands an error the engine
// raised while stepping to `engineFailed` (which throws), in both cases after the second
// thread has ended; the statement is then part-way through its rows and the caller
// resets it.

#include "platform/dataset/FieldDef.h"

#include <functional>
#include <optional>
#include <vector>

namespace platform {
class BinaryPacketBuilder;
class DatabaseError;
}

namespace platform::db {

class SqliteStatement;

class SqliteRowPipe {
public:
    // `columns`: the result column of each of `fields`, in the packet's order.
    SqliteRowPipe(SqliteStatement& statement, const std::vector<int>& columns, const FieldDefs& fields);

    // Every row after the statement's current one, each written as a row of `builder`;
    // returns how many. The statement is at its end after. Nothing, with no row read, when
    // the second thread cannot start (the process is out of threads or memory): the
    // caller writes the rest itself.
    using EngineFailed = std::function<void(const DatabaseError&)>;
    std::optional<qint64> writeRest(BinaryPacketBuilder& builder, const EngineFailed& engineFailed);

    // Rows a chunk holds: enough that handing one over costs little beside its rows, few
    // enough that the two threads keep one another busy from the start.
    static constexpr int kChunkRows = 1024;

private:
    SqliteStatement& statement_;
    const std::vector<int>& columns_;
    const FieldDefs& fields_;
};

}  // namespace platform::db
