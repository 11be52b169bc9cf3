#include "platform/db/SqliteRowPipe.h"

#include "platform/Error.h"
#include "platform/dataset/BinaryPacketBuilder.h"
#include "platform/db/SqliteCell.h"
#include "platform/db/SqliteStatement.h"

#include <sqlite3.h>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace platform::db {

namespace {

// Rows copied out of the engine, their cells one after another in one buffer: a type
// byte and a byte saying what follows, a number's 8 bytes and/or a text's length and bytes. Compact, because every
// byte of it passes from one processor's cache to the other's.
class RowChunk {
public:
    void clear()
    {
        used_ = 0;
        rows_ = 0;
    }

    void addRow(const SqliteStatement& st, const std::vector<int>& columns, const FieldDefs& fields)
    {
        for (size_t i = 0; i < columns.size(); ++i) {
            sqlite3_value* value = st.columnValue(columns[i]);
            // Texts and nulls, most of a list, straight from the engine; the rest as cells.
            const int type = sqlite3_value_type(value);
            if (type == SQLITE_TEXT)
                addText(reinterpret_cast<const char*>(sqlite3_value_text(value)), sqlite3_value_bytes(value));
            else if (type == SQLITE_NULL)
                addNull();
            else
                add(cellOf(value, fields[qsizetype(i)]));
        }
        ++rows_;
    }

    int rows() const { return rows_; }
    bool hasRoom() const { return used_ < kFullBytes; }

    // Reads the cells back in order.
    class Reader {
    public:
        explicit Reader(const RowChunk& chunk) : p_(chunk.bytes_.get()) {}
        SqliteCell next()
        {
            SqliteCell c;
            c.type = quint8(*p_++);
            const quint8 flags = quint8(*p_++);
            if (flags & kNumber) {
                std::memcpy(&c.integer, p_, sizeof c.integer);
                p_ += sizeof c.integer;
            }
            if (flags & kBytes) {
                std::memcpy(&c.bytes, p_, sizeof c.bytes);
                c.data = p_ + sizeof c.bytes;
                p_ = c.data + c.bytes;
            }
            return c;
        }

    private:
        const char* p_;
    };

private:
    static constexpr quint8 kNumber = 1, kBytes = 2;
    // A chunk is handed over once it holds about this much (or its row limit).
    static constexpr size_t kFullBytes = 256 * 1024;

    void addText(const char* data, int bytes)
    {
        char* p = room(2 + sizeof bytes + size_t(bytes));
        p[0] = char(SQLITE_TEXT);
        p[1] = char(kBytes);
        std::memcpy(p + 2, &bytes, sizeof bytes);
        if (bytes > 0)
            std::memcpy(p + 2 + sizeof bytes, data, size_t(bytes));
    }
    void addNull()
    {
        char* p = room(2);
        p[0] = char(SQLITE_NULL);
        p[1] = 0;
    }
    void add(const SqliteCell& c)
    {
        const bool number = c.type == SQLITE_INTEGER || c.type == SQLITE_FLOAT;
        const bool bytes = c.hasText();
        char* p = room(2 + (number ? sizeof c.integer : 0) + (bytes ? sizeof c.bytes + size_t(c.bytes) : 0));
        *p++ = char(c.type);
        *p++ = char((number ? kNumber : 0) | (bytes ? kBytes : 0));
        if (number) {
            std::memcpy(p, &c.integer, sizeof c.integer);
            p += sizeof c.integer;
        }
        if (bytes) {
            // The engine's bytes last until its next step: copied.
            std::memcpy(p, &c.bytes, sizeof c.bytes);
            std::memcpy(p + sizeof c.bytes, c.data, size_t(c.bytes));
        }
    }
    char* room(size_t n)
    {
        if (used_ + n > capacity_) {
            const size_t capacity = std::max(2 * capacity_, used_ + n + kFullBytes);
            std::unique_ptr<char[]> grown(new char[capacity]);
            if (used_)
                std::memcpy(grown.get(), bytes_.get(), used_);
            bytes_ = std::move(grown);
            capacity_ = capacity;
        }
        char* p = bytes_.get() + used_;
        used_ += n;
        return p;
    }
    std::unique_ptr<char[]> bytes_;
    size_t used_ = 0, capacity_ = 0;
    int rows_ = 0;
};

// The chunks between the two threads: filled ones waiting to be written, written ones
// waiting to be filled again. The end of the rows, or a failure of the writing, ends the
// other side's wait.
class ChunkQueue {
public:
    static constexpr size_t kChunks = 4;  // enough that neither thread waits for one

    // A chunk to fill; nullptr once the writing has failed.
    RowChunk* toFill()
    {
        std::unique_lock lock(mutex_);
        if (!failed_ && free_.empty() && made_.size() < kChunks) {
            made_.push_back(std::make_unique<RowChunk>());
            return made_.back().get();
        }
        changed_.wait(lock, [&] { return failed_ || !free_.empty(); });
        if (failed_)
            return nullptr;
        RowChunk* c = free_.back();
        free_.pop_back();
        return c;
    }
    void filled(RowChunk* chunk) { update([&] { full_.push_back(chunk); }); }
    void end() { update([&] { ended_ = true; }); }
    // The next filled chunk; nullptr after the last one.
    RowChunk* toWrite()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return ended_ || !full_.empty(); });
        if (full_.empty())
            return nullptr;
        RowChunk* c = full_.front();
        full_.pop_front();
        return c;
    }
    void written(RowChunk* chunk) { update([&] { free_.push_back(chunk); }); }
    void fail(std::exception_ptr error)
    {
        update([&] {
            failed_ = true;
            error_ = std::move(error);
        });
    }
    std::exception_ptr error() const { return error_; }  // read after the writer has ended

private:
    template <typename Change>
    void update(Change change)
    {
        {
            std::lock_guard lock(mutex_);
            change();
        }
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::unique_ptr<RowChunk>> made_;
    std::vector<RowChunk*> free_;
    std::deque<RowChunk*> full_;
    bool ended_ = false;
    bool failed_ = false;
    std::exception_ptr error_;
};

// The second thread's part: writes the chunks into the packet as they are filled.
void writeChunks(ChunkQueue& queue, const FieldDefs& fields, BinaryPacketBuilder& builder)
{
    try {
        const qsizetype width = fields.size();
        while (RowChunk* chunk = queue.toWrite()) {
            RowChunk::Reader cells(*chunk);
            for (int r = 0; r < chunk->rows(); ++r) {
                builder.beginRow();
                for (qsizetype i = 0; i < width; ++i)
                    writeCell(cells.next(), fields[i], builder);
            }
            queue.written(chunk);
        }
    } catch (...) {
        queue.fail(std::current_exception());
    }
}

// Ends and joins the writing thread however the reading ends.
class Writer {
public:
    Writer(ChunkQueue& queue, std::thread thread) : queue_(queue), thread_(std::move(thread)) {}
    ~Writer() { end(); }
    void end()
    {
        if (!thread_.joinable())
            return;
        queue_.end();
        thread_.join();
    }

private:
    ChunkQueue& queue_;
    std::thread thread_;
};

}  // namespace

SqliteRowPipe::SqliteRowPipe(SqliteStatement& statement, const std::vector<int>& columns, const FieldDefs& fields)
    : statement_(statement), columns_(columns), fields_(fields)
{
}

std::optional<qint64> SqliteRowPipe::writeRest(BinaryPacketBuilder& builder, const EngineFailed& engineFailed)
{
    ChunkQueue queue;
    std::thread second;
    try {
        second = std::thread(writeChunks, std::ref(queue), std::cref(fields_), std::ref(builder));
    } catch (const std::system_error&) {
        return std::nullopt;
    }
    Writer writer(queue, std::move(second));
    qint64 rows = 0;
    try {
        const SqliteStatement::Held held(statement_);
        for (bool more = true; more;) {
            RowChunk* chunk = queue.toFill();
            if (!chunk)
                break;  // the writing failed
            chunk->clear();
            while (chunk->rows() < kChunkRows && chunk->hasRoom() && (more = statement_.step()))
                chunk->addRow(statement_, columns_, fields_);
            rows += chunk->rows();
            queue.filled(chunk);
        }
    } catch (const DatabaseError& e) {
        // The rows before the engine's error are written first: a failure among them
        // comes first, as it would on one thread.
        writer.end();
        if (queue.error())
            std::rethrow_exception(queue.error());
        engineFailed(e);
        throw;
    }
    writer.end();
    if (queue.error())
        std::rethrow_exception(queue.error());
    return rows;
}

}  // namespace platform::db
