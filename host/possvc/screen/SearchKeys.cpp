#include "host/possvc/screen/SearchKeys.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <system_error>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace possvc::sim {

namespace {

// fold() of each Latin-1 character that folds to one character ("Ã" -> "a"), 0 for the
// others: the shop's texts are almost all Latin-1, and a table lookup per character is
// what keeps the folding of a long list fast.
const std::array<char16_t, 256>& latin1Folds()
{
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        for (char16_t c = 0; c < 256; ++c) {
            const QString folded = SearchKeys::fold(QString(QChar(c)));
            t[c] = folded.size() == 1 ? folded.at(0).unicode() : 0;
        }
        return t;
    }();
    return table;
}

// Writes `c` (never a surrogate) as UTF-8 at `out`; returns the bytes written.
int putUtf8(char16_t c, char* out)
{
    if (c < 0x80) {
        out[0] = char(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = char(0xC0 | (c >> 6));
        out[1] = char(0x80 | (c & 0x3F));
        return 2;
    }
    out[0] = char(0xE0 | (c >> 12));
    out[1] = char(0x80 | ((c >> 6) & 0x3F));
    out[2] = char(0x80 | (c & 0x3F));
    return 3;
}

void makeRoom(SearchKeys::Bytes& bytes, size_t needed)
{
    if (needed > bytes.size())
        bytes.resize(std::max(needed, bytes.size() * 2));
}

// Texts that hold characters the Latin-1 table does not fold alone: the full folding.
size_t appendFullyFolded(SearchKeys::Bytes& bytes, QStringView text, size_t at)
{
    const QByteArray folded = SearchKeys::fold(text.toString()).toUtf8();
    makeRoom(bytes, at + size_t(folded.size()) + 1);
    std::copy(folded.begin(), folded.end(), bytes.data() + at);
    return at + size_t(folded.size());
}

// Writes the folded text into `bytes` at `at` (growing it as needed, with room for a byte
// more); returns its end.
size_t appendFolded(SearchKeys::Bytes& bytes, QStringView text, size_t at)
{
    // Room for the text in UTF-8 (at most 3 bytes a character) and the '\n' that follows.
    makeRoom(bytes, at + size_t(text.size()) * 3 + 1);
    char* out = bytes.data() + at;
    const char16_t* p = text.utf16();
    // Most texts are ASCII, whose folding is the lower case: one pass with no lookups.
    char16_t all = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = p[i];
        all |= c;
        out[i] = char(c + (char16_t(c - u'A') < 26 ? 32 : 0));
    }
    if (all < 0x80)
        return at + size_t(text.size());
    // Folding works character by character for these texts (a Latin-1 letter decomposes
    // into itself and marks only), so the table gives what fold() of the whole gives.
    const std::array<char16_t, 256>& table = latin1Folds();
    char* o = out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t f = p[i] < 256 ? table[p[i]] : 0;
        if (f == 0)  // other scripts, or a letter that folds to two ("ß")
            return appendFullyFolded(bytes, text, at);
        o += putUtf8(f, o);
    }
    return at + size_t(o - out);
}

// The same for a text held a byte a character (Latin-1), as the dataset holds a shop's texts.
size_t appendFolded(SearchKeys::Bytes& bytes, QLatin1StringView text, size_t at)
{
    makeRoom(bytes, at + size_t(text.size()) * 2 + 1);  // Latin-1 takes at most 2 bytes in UTF-8
    char* out = bytes.data() + at;
    const auto* p = reinterpret_cast<const uchar*>(text.data());
    uchar all = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const uchar c = p[i];
        all |= c;
        out[i] = char(c + (uchar(c - 'A') < 26 ? 32 : 0));
    }
    if (all < 0x80)
        return at + size_t(text.size());
    const std::array<char16_t, 256>& table = latin1Folds();
    char* o = out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t f = table[p[i]];
        if (f == 0)  // a letter that folds to two ("ß")
            return appendFullyFolded(bytes, text.toString(), at);
        o += putUtf8(f, o);
    }
    return at + size_t(o - out);
}

size_t appendFolded(SearchKeys::Bytes& bytes, QAnyStringView text, size_t at)
{
    return text.visit([&](auto view) {
        if constexpr (std::is_same_v<decltype(view), QStringView> || std::is_same_v<decltype(view), QLatin1StringView>)
            return appendFolded(bytes, view, at);
        else
            return appendFolded(bytes, QStringView(view.toString()), at);  // the dataset holds no UTF-8
    });
}

}  // namespace

SearchKeys::SearchKeys(const platform::ClientDataSet* dataSet, QList<int> fields, int rows)
    : ds_(dataSet), fields_(std::move(fields)), rows_(rows),
      blocks_(size_t((rows + kBlockRows - 1) / kBlockRows)),
      done_(std::make_unique<std::atomic<bool>[]>(blocks_.size()))
{
    for (size_t b = 0; b < blocks_.size(); ++b) {
        blocks_[b].firstRow = int(b) * kBlockRows;
        done_[b] = false;
    }
}

SearchKeys::~SearchKeys() { stopHelper(); }

void SearchKeys::startHelper()
{
    if (helper_.joinable() || allDone_)
        return;
    // The dataset's first reads may settle its shared lists: they are made on this thread.
    QAnyStringView text;
    for (int f : fields_)
        if (rows_ > 0 && !ds_->textAt(0, f, text))
            ds_->displayTextAt(0, f);
    try {
        helper_ = std::thread([this] {
            try {
                foldBlocks();
            } catch (...) {
                // The block is left for ready(), where its error shows.
            }
        });
    } catch (const std::system_error&) {
        // No thread to spare: ready() folds every block on this one.
    }
}

void SearchKeys::stopHelper()
{
    if (!helper_.joinable())
        return;
    stop_ = true;
    helper_.join();
    stop_ = false;
}

void SearchKeys::ready()
{
    if (allDone_)
        return;
    foldBlocks();
    if (helper_.joinable())
        helper_.join();  // it ends with the block it is folding
    // Blocks a stopped or failed helper took but did not finish.
    for (int b = 0; b < blockCount(); ++b)
        if (!done_[size_t(b)].load(std::memory_order_acquire))
            foldBlock(b);
    allDone_ = true;
}

void SearchKeys::foldBlocks()
{
    for (int b = next_++; b < blockCount() && !stop_; b = next_++)
        foldBlock(b);
}

void SearchKeys::foldBlock(int b)
{
    Block& block = blocks_[size_t(b)];
    const int count = std::min(kBlockRows, rows_ - block.firstRow);
    // Sized ahead and written in place; it grows only for long texts.
    block.start.assign(size_t(count) + 1, 0);
    block.bytes.resize(size_t(count) * size_t(fields_.size()) * 16);
    size_t used = 0;
    QAnyStringView text;
    QString formatted;
    for (int i = 0; i < count; ++i) {
        block.start[size_t(i)] = quint32(used);
        for (int f : fields_) {
            if (!ds_->textAt(block.firstRow + i, f, text)) {
                formatted = ds_->displayTextAt(block.firstRow + i, f);
                text = formatted;
            }
            used = appendFolded(block.bytes, text, used);
            block.bytes[used++] = '\n';  // words never match across two fields
        }
    }
    block.start[size_t(count)] = quint32(used);
    block.bytes.resize(used + kPadding);
    std::fill(block.bytes.begin() + qsizetype(used), block.bytes.end(), '\n');
    block.mask.resize(size_t(count));
    for (int i = 0; i < count; ++i) {
        quint64 mask = 0;
        for (quint32 at = block.start[size_t(i)]; at < block.start[size_t(i) + 1]; ++at)
            if (block.bytes[at] != '\n')  // the fields' ends: no word holds them
                mask |= bitOf(block.bytes[at]);
        block.mask[size_t(i)] = mask;
    }
    done_[size_t(b)].store(true, std::memory_order_release);
}

QString SearchKeys::fold(const QString& text)
{
    bool ascii = true;
    for (QChar c : text)
        if (c.unicode() > 0x7F) {
            ascii = false;
            break;
        }
    if (ascii)
        return text.toLower();
    // Decompose, drop the combining marks, fold the case: "JOÃO" -> "joao".
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed)
        if (!c.isMark())
            out.append(c);
    return out.toCaseFolded();
}

#if defined(__x86_64__)
namespace {

// find() thirty-two places at a time, on processors that can: the search list's longest
// searches are passes through every text, and this halves the work of each.
__attribute__((target("avx2"))) const char* findWide(QByteArrayView word, const char* from, const char* last)
{
    const qsizetype size = word.size();
    const __m256i first = _mm256_set1_epi8(word.front()), lastLetter = _mm256_set1_epi8(word.back());
    const char* p = from;
    for (; p + 31 <= last; p += 32) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + size - 1));
        for (unsigned bits = unsigned(_mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(a, first),
                                                                              _mm256_cmpeq_epi8(b, lastLetter))));
             bits; bits &= bits - 1) {
            const char* at = p + std::countr_zero(bits);
            if (SearchKeys::startsWith(at, word, 1))
                return at;
        }
    }
    for (; p <= last; ++p)  // the last places, fewer than 32
        if (*p == word.front() && SearchKeys::startsWith(p, word, 1))
            return p;
    return nullptr;
}

const bool kWide = [] {
    __builtin_cpu_init();  // this may run before the runtime's own initialisation
    return __builtin_cpu_supports("avx2") != 0;
}();

}  // namespace
#endif

const char* SearchKeys::find(QByteArrayView word, const char* from, const char* end)
{
    const qsizetype size = word.size();
    if (end - from < size)
        return nullptr;
    const char* last = end - size;  // the last place the word can start
    if (size == 1)
        return static_cast<const char*>(std::memchr(from, word.front(), size_t(last - from) + 1));
#if defined(__x86_64__)
    if (kWide && last - from >= 64)
        return findWide(word, from, last);
#endif
#if defined(__SSE2__)
    // Sixteen places at a time, each kept only when the word's first and last letters both
    // stand there: far fewer places to compare than the first letter alone leaves. The
    // loads may read up to kPadding bytes past `end`, which every block holds.
    const __m128i first = _mm_set1_epi8(word.front()), lastLetter = _mm_set1_epi8(word.back());
    for (const char* p = from; p <= last; p += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + size - 1));
        unsigned bits = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, lastLetter))));
        if (last - p < 15)
            bits &= (2u << (last - p)) - 1;  // places past the last one
        for (; bits; bits &= bits - 1) {
            const char* at = p + std::countr_zero(bits);
            if (startsWith(at, word, 1))
                return at;
        }
    }
    return nullptr;
#else
    const char firstLetter = word.front();
    for (const char* p = from; p <= last; ++p) {
        p = static_cast<const char*>(std::memchr(p, firstLetter, size_t(last - p) + 1));
        if (!p)
            return nullptr;
        if (startsWith(p, word, 1))
            return p;
    }
    return nullptr;
#endif
}

}  // namespace possvc::sim
