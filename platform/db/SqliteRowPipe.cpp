#include "platform/db/SqliteRowPipe.h"

#include "platform/Error.h"
#include "platform/dataset/BinaryPacketBuilder.h"
#include "platform/db/SqliteCell.h"
#include "platform/db/SqliteStatement.h"

#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace platform::db {

namespace {

// Rows copied out of the engine: their cells in field order, their texts in one buffer.
class RowChunk {
public:
    void clear()
    {
        cells_.clear();
        textCells_.clear();
        used_ = 0;
        rows_ = 0;
    }

    void addRow(const SqliteStatement& st, const std::vector<int>& columns, const FieldDefs& fields)
    {
        for (size_t i = 0; i < columns.size(); ++i) {
            SqliteCell c = st.cell(columns[i], fields[qsizetype(i)]);
            if (c.hasText()) {
                // The engine's bytes last until its next step: copied, and pointed at when
                // the chunk is complete (the buffer may move while it fills).
                textCells_.push_back({cells_.size(), used_});
                std::memcpy(room(size_t(c.bytes)), c.data, size_t(c.bytes));
                c.data = nullptr;
            }
            cells_.push_back(c);
        }
        ++rows_;
    }

    void complete()
    {
        static const char empty = 0;
        for (const TextCell& t : textCells_)
            cells_[t.cell].data = text_ ? text_.get() + t.at : &empty;
    }

    int rows() const { return rows_; }
    const SqliteCell* row(int r, size_t width) const { return cells_.data() + size_t(r) * width; }

private:
    struct TextCell {
        size_t cell;
        size_t at;
    };
    char* room(size_t n)
    {
        if (used_ + n > capacity_) {
            const size_t capacity = std::max(2 * capacity_, used_ + n + 64 * 1024);
            std::unique_ptr<char[]> grown(new char[capacity]);
            if (used_)
                std::memcpy(grown.get(), text_.get(), used_);
            text_ = std::move(grown);
            capacity_ = capacity;
        }
        char* p = text_.get() + used_;
        used_ += n;
        return p;
    }
    std::vector<SqliteCell> cells_;
    std::vector<TextCell> textCells_;
    std::unique_ptr<char[]> text_;
    size_t used_ = 0, capacity_ = 0;
    int rows_ = 0;
};

// The chunks between the two threads: filled ones waiting to be written, written ones
// waiting to be filled again. A stop from either side ends the other's wait.
class ChunkQueue {
public:
    static constexpr size_t kChunks = 4;

    // A chunk to fill; nullptr once the writer has stopped.
    RowChunk* toFill()
    {
        std::unique_lock lock(mutex_);
        if (stopped_)
            return nullptr;
        if (free_.empty() && made_.size() < kChunks) {
            made_.push_back(std::make_unique<RowChunk>());
            return made_.back().get();
        }
        changed_.wait(lock, [&] { return stopped_ || !free_.empty(); });
        if (stopped_)
            return nullptr;
        RowChunk* c = free_.back();
        free_.pop_back();
        return c;
    }
    void filled(RowChunk* chunk, bool last, std::exception_ptr error)
    {
        {
            std::lock_guard lock(mutex_);
            full_.push_back(chunk);
            ended_ = last;
            error_ = std::move(error);
        }
        changed_.notify_all();
    }
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
    void written(RowChunk* chunk)
    {
        {
            std::lock_guard lock(mutex_);
            free_.push_back(chunk);
        }
        changed_.notify_all();
    }
    void stop()
    {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        changed_.notify_all();
    }
    std::exception_ptr error() const { return error_; }  // read after the reader has ended

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::unique_ptr<RowChunk>> made_;
    std::vector<RowChunk*> free_;
    std::deque<RowChunk*> full_;
    bool ended_ = false;
    bool stopped_ = false;
    std::exception_ptr error_;
};

// The second thread's part: steps the statement to its end, a chunk at a time.
void readChunks(SqliteStatement& st, const std::vector<int>& columns, const FieldDefs& fields, ChunkQueue& queue)
{
    for (;;) {
        RowChunk* chunk = queue.toFill();
        if (!chunk)
            return;
        chunk->clear();
        bool more = true;
        std::exception_ptr error;
        try {
            while (chunk->rows() < SqliteRowPipe::kChunkRows && (more = st.step()))
                chunk->addRow(st, columns, fields);
        } catch (...) {
            error = std::current_exception();
            more = false;
        }
        chunk->complete();
        queue.filled(chunk, !more, std::move(error));
        if (!more)
            return;
    }
}

// Stops and joins the second thread however the writing ends.
class Reader {
public:
    Reader(ChunkQueue& queue, std::thread thread) : queue_(queue), thread_(std::move(thread)) {}
    ~Reader() { end(); }
    void end()
    {
        if (!thread_.joinable())
            return;
        queue_.stop();
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

qint64 SqliteRowPipe::writeRest(BinaryPacketBuilder& builder, const EngineFailed& engineFailed)
{
    ChunkQueue queue;
    Reader reader(queue, std::thread(readChunks, std::ref(statement_), std::cref(columns_), std::cref(fields_),
                                     std::ref(queue)));
    const size_t width = columns_.size();
    qint64 rows = 0;
    while (RowChunk* chunk = queue.toWrite()) {
        for (int r = 0; r < chunk->rows(); ++r) {
            const SqliteCell* cells = chunk->row(r, width);
            builder.beginRow();
            for (size_t i = 0; i < width; ++i)
                writeCell(cells[i], fields_[qsizetype(i)], builder);
        }
        rows += chunk->rows();
        queue.written(chunk);
    }
    reader.end();
    if (queue.error()) {
        try {
            std::rethrow_exception(queue.error());
        } catch (const DatabaseError& e) {
            engineFailed(e);
            throw;
        }
    }
    return rows;
}

}  // namespace platform::db
