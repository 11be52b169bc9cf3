#pragma once
// SearchKeys: the texts the search list matches against, folded (no letter case, no
// accents) and kept as UTF-8, one row after another, each field's text ended by '\n'.
//
// The rows are folded in blocks of kBlockRows, each block into its own storage, so that
// two threads can fold a long list together: a helper thread starts, and ready() folds
// the blocks the helper has not reached yet, then waits at most for the block the helper
// is folding. A word matches a row's folded UTF-8 bytes exactly where it matches its
// characters. Each row also has a mask of the bytes it holds (maskOf()), which tells most
// rows that cannot hold a word without a look at their texts.
//
// Reads the dataset through its random row access; the dataset must stay unchanged while
// the helper folds.

#include "PossvcExport.h"
#include "platform/dataset/ClientDataSet.h"

#include <QByteArray>
#include <QList>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace possvc::sim {

// An allocator whose new elements are left unset: a block is written right after it grows,
// and setting its bytes first would cost as much as the writing.
template <typename T>
struct UnsetAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UnsetAllocator<U>;
    };
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args)
    {
        if constexpr (sizeof...(Args) == 0)
            ::new (static_cast<void*>(p)) U;
        else
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

class POSSVC_EXPORT SearchKeys {
public:
    using Bytes = std::vector<char, UnsetAllocator<char>>;
    static constexpr int kBlockRows = 4096;

    // The folded rows of one block: row i of the block spans [start[i], start[i + 1]) and
    // holds the bytes its mask[i] names (maskOf()).
    struct Block {
        Bytes bytes;
        std::vector<quint32> start;
        std::vector<quint64> mask;
        int firstRow = 0;
    };
    struct Span {
        const char* begin;
        const char* end;
    };

    SearchKeys(const platform::ClientDataSet* dataSet, QList<int> fields, int rows);
    ~SearchKeys();
    SearchKeys(const SearchKeys&) = delete;
    SearchKeys& operator=(const SearchKeys&) = delete;

    // Starts folding on a helper thread.
    void startHelper();
    // Ends the helper's folding, if any; blocks it left are folded by the next ready().
    void stopHelper();
    // Folds what is left (sharing the work with the helper) and waits for the helper. Errors
    // of the dataset's reads surface here.
    void ready();

    int blockCount() const { return int(blocks_.size()); }
    const Block& block(int b) const { return blocks_[size_t(b)]; }
    Span row(int r) const
    {
        const Block& block = blocks_[size_t(r / kBlockRows)];
        const size_t i = size_t(r % kBlockRows);
        const char* base = block.bytes.data();
        return {base + block.start[i], base + block.start[i + 1]};
    }
    quint64 rowMask(int r) const { return blocks_[size_t(r / kBlockRows)].mask[size_t(r % kBlockRows)]; }
    // Ask the processor for a row's mask and bounds, then for its texts from `at` on, a
    // few rows ahead of their use: the rows a narrowed filter looks at lie apart in memory,
    // and a look that waits for each in turn costs more than the look itself.
    void prefetchBounds(int r) const
    {
        const Block& b = blocks_[size_t(r / kBlockRows)];
        __builtin_prefetch(b.mask.data() + r % kBlockRows);
        __builtin_prefetch(b.start.data() + r % kBlockRows);
    }
    void prefetchText(int r, int at) const { __builtin_prefetch(row(r).begin + at); }

    // The bytes a folded text holds, a bit each: a row can hold a word only when its mask
    // holds the word's. Letters and digits have a bit of their own (a one-letter word is
    // found by its bit alone); other bytes share the remaining bits.
    static quint64 bitOf(char c)
    {
        const auto b = uchar(c);
        if (unsigned(b - 'a') < 26u)
            return quint64(1) << (b - 'a');
        if (unsigned(b - '0') < 10u)
            return quint64(1) << (26 + b - '0');
        return quint64(1) << (36 + b % 28);
    }
    static quint64 maskOf(QByteArrayView bytes)
    {
        quint64 mask = 0;
        for (char c : bytes)
            mask |= bitOf(c);
        return mask;
    }
    // Whether a row holds `word` exactly when its mask holds the word's mask.
    static bool maskTells(QByteArrayView word)
    {
        return word.size() == 1 && (unsigned(word[0] - 'a') < 26u || unsigned(word[0] - '0') < 10u);
    }

    // Case- and accent-insensitive form of a text, as the keys hold it.
    static QString fold(const QString& text);
    // Bytes every block holds past its last row, which find() may read.
    static constexpr size_t kPadding = 32;
    // The first `word` in [from, end), or nullptr; [from, end) lies in a block's rows, with
    // the block's kPadding bytes after it.
    static const char* find(QByteArrayView word, const char* from, const char* end);
    // Whether `word` (but its first `skip` bytes) stands at `at`. Words are a few letters
    // long: a loop here costs less than a call to the library's comparison.
    static bool startsWith(const char* at, QByteArrayView word, qsizetype skip = 0)
    {
        for (qsizetype i = skip; i < word.size(); ++i)
            if (at[i] != word[i])
                return false;
        return true;
    }

private:
    void foldBlocks();  // folds blocks nobody has taken yet, until none is left
    void foldBlock(int b);

    const platform::ClientDataSet* ds_;
    const QList<int> fields_;
    const int rows_;
    std::vector<Block> blocks_;
    std::unique_ptr<std::atomic<bool>[]> done_;  // per block: folded
    std::atomic<int> next_ = 0;                  // the next block nobody has taken
    std::atomic<bool> stop_ = false;
    bool allDone_ = false;
    std::thread helper_;
};

}  // namespace possvc::sim
