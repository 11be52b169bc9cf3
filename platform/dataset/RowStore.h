#pragma once
// Column storage of a client dataset's rows, and the typed cell view that locate and
// filters compare on. Internal to the dataset library; cellOf is exported for the tests.
//
// Rows are addressed by a physical id that never changes while the dataset is open;
// the dataset keeps the table order as a vector of ids. Text columns keep all their
// characters in one pool (Latin-1 while every text fits it, else UTF-16) with an
// (offset, length) of six bytes per row, so that comparisons need no allocation; a binary packet's
// Latin-1 texts stay where the packet holds them (the column keeps the packet), so that a
// loaded table holds its texts once when they are most of the packet. Other
// columns keep a QVariant per row (no heap use for numbers and dates) up to their last
// non-null row, so that trailing nulls, and columns of nulls, take no room.

#include "PlatformDatasetExport.h"
#include "platform/dataset/FieldDef.h"

#include <QAnyStringView>
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QVariant>

#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace platform::detail {

// One value as comparisons see it. Text and bytes point into storage that outlives it.
struct Cell {
    enum Kind : quint8 { Null, Text, Int, Float, Bool, Date, Time, DateTime, Bytes, Other };
    Kind kind = Null;
    qint64 i = 0;        // Int, Bool (0/1), Date (Julian day), Time (ms), DateTime (Julian day * 86400000 + ms)
    double f = 0;        // Float
    QAnyStringView text; // Text: Latin-1 or UTF-16, as its column holds it
    QByteArrayView bytes;

    bool isNull() const { return kind == Null; }
};

// The cell of a value in the representation FieldDef.h documents for `type`.
PLATFORM_DATASET_EXPORT Cell cellOf(FieldType type, const QVariant& value);

// -1/0/1, or nothing when either side is null or the kinds cannot be compared.
std::optional<int> compareCells(const Cell& a, const Cell& b, Qt::CaseSensitivity cs = Qt::CaseSensitive);

// Whether two texts are equal. Lengths first: case folding here maps one UTF-16 unit to
// one, so texts of different lengths never match.
inline bool textEquals(QAnyStringView a, QAnyStringView b, Qt::CaseSensitivity cs)
{
    if (a.size() != b.size())
        return false;
    if (cs == Qt::CaseSensitive)
        return QAnyStringView::equal(a, b);
    return QAnyStringView::compare(a, b, cs) == 0;
}

// Whether `text` starts with `prefix` (texts of the columns and of QStrings: Latin-1 or
// UTF-16, whose sizes count characters).
inline bool textStartsWith(QAnyStringView text, QAnyStringView prefix, Qt::CaseSensitivity cs)
{
    if (text.size() < prefix.size())
        return false;
    return text.visit([&](auto view) { return textEquals(view.first(prefix.size()), prefix, cs); });
}

// The allocator of a text pool: a pool grown to take characters about to be written
// leaves the new room as it is rather than filling it with zeros first.
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    template <typename U>
    void construct(U* p) noexcept
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
using TextPool = std::vector<char16_t, UninitializedAllocator<char16_t>>;
using NarrowPool = std::vector<char, UninitializedAllocator<char>>;

class Column {
public:
    Column(FieldType type, bool text);

    FieldType type() const { return type_; }
    bool isText() const { return text_; }
    quint32 rowCount() const;
    void reserve(quint32 rows, qsizetype chars);
    qsizetype textChars() const { return qsizetype(wide_ ? pool_.size() : narrow_.size()); }  // characters in the pool
    // Whether the texts are held two bytes a character (one of them is beyond Latin-1).
    bool isWide() const { return wide_; }

    void append(const QVariant& value);  // a new physical row; value already converted
    void appendText(QStringView text);   // text columns: a new physical row holding `text`
    // The same for Windows-1252 bytes, widened into the pool; false (no row added) when
    // they hold a NUL.
    bool appendCp1252(QByteArrayView text);
    void set(quint32 row, const QVariant& value);
    QVariant get(quint32 row) const;
    bool isNull(quint32 row) const;
    Cell cell(quint32 row) const;
    // Text columns: the row's text (Latin-1 or UTF-16), or false when it is null.
    bool textAt(quint32 row, QAnyStringView& text) const
    {
        const TextSpan& span = spans_[row];
        if (span.length >= kLong) [[unlikely]]
            return span.length == kLong && longTextAt(row, text);
        textAt(span, span.length, text);
        return true;
    }

    // Texts appended from `bytes` (appendCp1252 with a view into them) are left where they
    // are, the column keeping the array: a loaded packet's texts are held once, by the
    // packet. Arrays that do not own their bytes are not kept.
    void shareBytes(const QByteArray& bytes);
    qsizetype sharedChars() const { return sharedChars_; }
    // Copies the texts left in the shared bytes into the column's own pool, and lets go of them.
    void unshare();
    // The mark of an offset into the shared bytes rather than the pool.
    static constexpr quint32 kInShared = 0x80000000u;

private:
    // Where a row's text starts and how long it is: six bytes a row, since a long list
    // holds millions of them. A length beyond 16 bits (a memo's) is kept aside.
#pragma pack(push, 2)
    struct TextSpan {
        quint32 offset = 0;
        quint16 length = 0xFFFF;  // kNull
    };
#pragma pack(pop)
    static_assert(sizeof(TextSpan) == 6);
    static constexpr quint16 kNull = 0xFFFF;  // no text
    static constexpr quint16 kLong = 0xFFFE;  // the length is in longLengths_
    void textAt(const TextSpan& span, qint32 length, QAnyStringView& text) const
    {
        if (wide_)
            text = QStringView(pool_.data() + span.offset, length);
        else
            text = QLatin1StringView(narrowText(span), length);
    }
    bool longTextAt(quint32 row, QAnyStringView& text) const;
    // The row's length in characters; -1: null.
    qint32 lengthOf(quint32 row) const;
    // Sets (or, for the row after the last, appends) a row's span; length -1: null.
    void putSpan(quint32 row, quint32 offset, qint32 length);
    // A new last row's text: what a load does for every text it reads.
    void appendSpan(quint32 offset, qint32 length)
    {
        if (length >= 0 && length < kLong) [[likely]]
            spans_.push_back(TextSpan{offset, quint16(length)});
        else
            putSpan(quint32(spans_.size()), offset, length);
    }
    const char* narrowText(const TextSpan& span) const
    {
        return span.offset & kInShared ? shared_.constData() + (span.offset & ~kInShared) : narrow_.data() + span.offset;
    }
    // Stores a text in the pool and gives its offset.
    quint32 storeText(QStringView s);
    void checkRoom(qsizetype chars) const;
    void widen();
    void compactPool();
    template <typename Pool>
    void compactInto(Pool& pool);

    FieldType type_;
    bool text_;
    std::vector<QVariant> values_;  // non-text columns, up to the last non-null row; later rows are null
    quint32 count_ = 0;             // rows of a non-text column
    std::vector<TextSpan> spans_;   // text columns
    std::unordered_map<quint32, qint32> longLengths_;  // rows whose span's length is kLong
    // A shop's texts are Latin-1 but for a rare character: they are held a byte each
    // (narrow_) until a text beyond Latin-1 comes, when the whole column moves to UTF-16
    // (pool_). Offsets count characters, the same in both.
    NarrowPool narrow_;
    QByteArray shared_;  // the packet the column was loaded from, while its texts are Latin-1
    qsizetype sharedChars_ = 0;  // characters of the texts left in shared_
    TextPool pool_;
    bool wide_ = false;
    qsizetype garbage_ = 0;         // pool characters no span refers to any more
};

// All columns of a dataset, one physical row per id.
class RowStore {
public:
    void reset(const FieldDefs& defs);  // no rows, one column per field
    bool matches(const FieldDefs& defs) const;  // one column of each field's type, in order
    void clear();                       // no columns
    int columnCount() const { return int(columns_.size()); }
    quint32 rowCount() const { return rows_; }
    Column& column(int i) { return columns_[size_t(i)]; }
    const Column& column(int i) const { return columns_[size_t(i)]; }

    // The text columns keep the texts loaded from `bytes` in them (Column::shareBytes).
    void shareBytes(const QByteArray& bytes)
    {
        for (Column& c : columns_)
            if (c.isText())
                c.shareBytes(bytes);
    }
    // After a load: when the texts left in the shared bytes are less than half of them (a
    // packet of numbers and short texts), they are copied out and the bytes let go, so that
    // the dataset holds no more than the texts.
    void settleShared(qsizetype sharedSize)
    {
        qsizetype chars = 0;
        for (const Column& c : columns_)
            chars += c.sharedChars();
        if (chars * 2 < sharedSize)
            for (Column& c : columns_)
                c.unshare();
    }
    quint32 appendRow(const QVariantList& values);  // values in field order, already converted
    quint32 appendNullRow();
    // After a value was appended to every column directly: counts the new row.
    quint32 appendedRow() { return rows_++; }
    // The same for `n` rows at once, each column filled on its own (a load on two threads).
    void appendedRows(quint32 n) { rows_ += n; }
    // Whether every column holds a value for every row counted: what the direct loads,
    // which append to the columns one by one, check before the rows are read.
    bool isComplete() const;
    QVariantList row(quint32 id) const;
    void setRow(quint32 id, const QVariantList& values);

    // Keeps only the rows in `ids`, renumbered 0..n-1 in that order.
    void keepOnly(const std::vector<quint32>& ids);

private:
    std::vector<Column> columns_;
    quint32 rows_ = 0;
};

}  // namespace platform::detail
