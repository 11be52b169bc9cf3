#pragma once
// SqliteRowPipe: the rest of a long SQLite result written into a packet on two threads.
// A second thread steps the statement and copies each row's values, as the engine gives
// them, into chunks of rows; the calling thread meanwhile writes the finished chunks into
// the packet. The engine's stepping and the packet's encoding are each about as long as
// the other would wait, so overlapped the packet is ready about when the last row is read.
//
// The statement is used by one thread at a time: by the second one from the start of
// writeRest() until it returns. Nothing else may run on its connection meanwhile.
// writeRest() throws what the writing of a value raised, and hands an error the engine
// raised while stepping to `engineFailed` (which throws), in both cases after the second
// thread has stopped; the statement is then part-way through its rows and the caller
// resets it.

#include "platform/dataset/FieldDef.h"

#include <functional>
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
    // returns how many. The statement is at its end after.
    using EngineFailed = std::function<void(const DatabaseError&)>;
    qint64 writeRest(BinaryPacketBuilder& builder, const EngineFailed& engineFailed);

    // Rows a chunk holds: enough that handing one over costs little beside its rows, few
    // enough that the two threads keep one another busy from the start.
    static constexpr int kChunkRows = 1024;

private:
    SqliteStatement& statement_;
    const std::vector<int>& columns_;
    const FieldDefs& fields_;
};

}  // namespace platform::db
