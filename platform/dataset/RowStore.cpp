#include "platform/dataset/RowStore.h"

#include "platform/dataset/TextArena.h"

#include "platform/Error.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform::detail {

namespace {

constexpr qint64 kMsPerDay = 86400000;

template <typename T>
int threeWay(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

qint64 integerOf(const QVariant& v)
{
    // The documented representations first: no conversion machinery on the hot path.
    if (v.typeId() == QMetaType::Int) return *static_cast<const int*>(v.constData());
    if (v.typeId() == QMetaType::LongLong) return *static_cast<const qint64*>(v.constData());
    return v.toLongLong();
}

double floatOf(const QVariant& v)
{
    if (v.typeId() == QMetaType::Double) return *static_cast<const double*>(v.constData());
    return v.toDouble();
}

}  // namespace

Cell cellOf(FieldType type, const QVariant& value)
{
    Cell c;
    if (!value.isValid())
        return c;
    switch (kindOf(type)) {
    case ValueKind::Text:
        if (value.typeId() != QMetaType::QString) { c.kind = Cell::Other; break; }
        c.kind = Cell::Text;
        c.text = *static_cast<const QString*>(value.constData());
        break;
    case ValueKind::Integer:
        c.kind = Cell::Int;
        c.i = integerOf(value);
        break;
    case ValueKind::Float:
        c.kind = Cell::Float;
        c.f = floatOf(value);
        break;
    case ValueKind::Boolean:
        c.kind = Cell::Bool;
        c.i = value.toBool() ? 1 : 0;
        break;
    case ValueKind::Date:
        c.kind = Cell::Date;
        c.i = value.toDate().toJulianDay();
        break;
    case ValueKind::Time:
        c.kind = Cell::Time;
        c.i = value.toTime().msecsSinceStartOfDay();
        break;
    case ValueKind::DateTime: {
        const QDateTime dt = value.toDateTime();
        c.kind = Cell::DateTime;
        c.i = dt.date().toJulianDay() * kMsPerDay + dt.time().msecsSinceStartOfDay();
        break;
    }
    case ValueKind::Bytes:
        if (value.typeId() != QMetaType::QByteArray) { c.kind = Cell::Other; break; }
        c.kind = Cell::Bytes;
        c.bytes = *static_cast<const QByteArray*>(value.constData());
        break;
    default:
        c.kind = Cell::Other;
    }
    return c;
}

std::optional<int> compareCells(const Cell& a, const Cell& b, Qt::CaseSensitivity cs)
{
    if (a.isNull() || b.isNull())
        return std::nullopt;
    if (a.kind == b.kind) {
        switch (a.kind) {
        case Cell::Text: {
            const int r = QAnyStringView::compare(a.text, b.text, cs);
            return r < 0 ? -1 : (r > 0 ? 1 : 0);
        }
        case Cell::Float: return threeWay(a.f, b.f);
        case Cell::Bytes: {
            const qsizetype n = std::min(a.bytes.size(), b.bytes.size());
            const int r = n ? std::memcmp(a.bytes.data(), b.bytes.data(), size_t(n)) : 0;
            return r != 0 ? (r < 0 ? -1 : 1) : threeWay(a.bytes.size(), b.bytes.size());
        }
        case Cell::Other: return std::nullopt;
        default: return threeWay(a.i, b.i);
        }
    }
    if (a.kind == Cell::Int && b.kind == Cell::Float) return threeWay(double(a.i), b.f);
    if (a.kind == Cell::Float && b.kind == Cell::Int) return threeWay(a.f, double(b.i));
    if (a.kind == Cell::Date && b.kind == Cell::DateTime) return threeWay(a.i * kMsPerDay, b.i);
    if (a.kind == Cell::DateTime && b.kind == Cell::Date) return threeWay(a.i, b.i * kMsPerDay);
    return std::nullopt;
}

Column::Column(FieldType type, bool text) : type_(type), text_(text) {}

quint32 Column::rowCount() const
{
    return text_ ? quint32(spans_.size()) : count_;
}

void Column::reserve(quint32 rows, qsizetype chars)
{
    if (text_) {
        spans_.reserve(rows);
        if (wide_)
            pool_.reserve(size_t(chars));
        else if (shared_.isNull())  // else the texts stay where the packet holds them
            narrow_.reserve(size_t(chars));
    }
    // Other columns hold values only up to their last non-null row: reserving a slot for
    // every row would make a column of nulls as large as a full one. They grow as values come.
}

qint32 Column::lengthOf(quint32 row) const
{
    const quint16 length = spans_[row].length;
    if (length < kLong)
        return length;
    return length == kNull ? -1 : longLengths_.at(row);
}

bool Column::longTextAt(quint32 row, QAnyStringView& text) const
{
    textAt(spans_[row], longLengths_.at(row), text);
    return true;
}

void Column::putSpan(quint32 row, quint32 offset, qint32 length)
{
    const TextSpan span{offset, length < 0 ? kNull : length < kLong ? quint16(length) : kLong};
    if (row < spans_.size() && spans_[row].length == kLong)
        longLengths_.erase(row);
    if (span.length == kLong)
        longLengths_[row] = length;
    if (row < spans_.size())
        spans_[row] = span;
    else
        spans_.push_back(span);
}

void Column::checkRoom(qsizetype chars) const
{
    if (size_t(textChars()) + size_t(chars) > kInShared)
        throw DataSetError(QStringLiteral("Dataset too large: more than 2 G characters of text in one field"));
}

// The first text beyond Latin-1: every text so far is copied into the UTF-16 pool, those
// the packet held included.
void Column::widen()
{
    pool_.reserve(std::max(narrow_.capacity(), narrow_.size()));
    for (quint32 row = 0; row < spans_.size(); ++row) {
        const qint32 length = lengthOf(row);
        if (length < 0)
            continue;
        TextSpan& span = spans_[row];
        const char* text = narrowText(span);
        const size_t at = pool_.size();
        pool_.resize(at + size_t(length));
        for (qint32 i = 0; i < length; ++i)
            pool_[at + size_t(i)] = char16_t(uchar(text[i]));
        span.offset = quint32(at);
    }
    NarrowPool().swap(narrow_);
    shared_ = QByteArray();
    sharedChars_ = 0;
    garbage_ = 0;
    wide_ = true;
}

void Column::unshare()
{
    if (shared_.isNull())
        return;
    narrow_.reserve(narrow_.size() + size_t(sharedChars_));
    for (quint32 row = 0; row < spans_.size(); ++row) {
        const qint32 length = lengthOf(row);
        TextSpan& span = spans_[row];
        if (length < 0 || !(span.offset & kInShared))
            continue;
        const char* text = narrowText(span);
        span.offset = quint32(narrow_.size());
        narrow_.insert(narrow_.end(), text, text + length);
    }
    shared_ = QByteArray();
    sharedChars_ = 0;
}

void Column::shareBytes(const QByteArray& bytes)
{
    // Only bytes the array owns (a capacity: not raw data it merely points at, which may go
    // before the dataset does).
    if (!wide_ && bytes.capacity() > 0 && qsizetype(bytes.size()) < qsizetype(kInShared))
        shared_ = bytes;
}

quint32 Column::storeText(QStringView s)
{
    checkRoom(s.size());
    const char16_t* p = s.utf16();
    if (!wide_) {
        char16_t all = 0;
        for (qsizetype i = 0; i < s.size(); ++i)
            all |= p[i];
        if (all < 0x100) {
            const quint32 at = quint32(narrow_.size());
            for (qsizetype i = 0; i < s.size(); ++i)
                narrow_.push_back(char(p[i]));
            return at;
        }
        widen();
    }
    const quint32 at = quint32(pool_.size());
    pool_.insert(pool_.end(), p, p + s.size());
    return at;
}

void Column::append(const QVariant& value)
{
    if (!text_) {
        if (value.isValid()) {
            values_.resize(count_);  // the nulls before it
            values_.push_back(value);
        }
        ++count_;
        return;
    }
    const quint32 row = quint32(spans_.size());
    if (!value.isValid()) {
        spans_.push_back(TextSpan{});
        return;
    }
    const QString text = value.toString();
    putSpan(row, storeText(text), qint32(text.size()));
}

void Column::appendText(QStringView text)
{
    putSpan(quint32(spans_.size()), storeText(text), qint32(text.size()));
}

namespace {

enum class CodePageBytes { Latin1, Other, HasNul };

// Whether Windows-1252 bytes read the same as Latin-1 (none in 0x80 to 0x9F, where the code
// page holds the euro sign, curly quotes...) and hold no NUL. Every text of a packet passes
// here as it loads: sixteen bytes a step, the last sixteen overlapping those before.
CodePageBytes classifyCp1252(QByteArrayView text)
{
    const auto* in = reinterpret_cast<const uchar*>(text.data());
    const qsizetype n = text.size();
    bool c1 = false, nul = false;
#if defined(__SSE2__)
    if (n >= 16) {
        const __m128i zero = _mm_setzero_si128(), top3 = _mm_set1_epi8(char(0xE0)), c1Bits = _mm_set1_epi8(char(0x80));
        __m128i anyC1 = zero, lowest = _mm_set1_epi8(-1);
        for (qsizetype i = 0;; i += 16) {
            i = qMin(i, n - 16);
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            anyC1 = _mm_or_si128(anyC1, _mm_cmpeq_epi8(_mm_and_si128(v, top3), c1Bits));
            lowest = _mm_min_epu8(lowest, v);
            if (i == n - 16)
                break;
        }
        c1 = _mm_movemask_epi8(anyC1) != 0;
        nul = _mm_movemask_epi8(_mm_cmpeq_epi8(lowest, zero)) != 0;
    } else
#endif
    if (n >= 4) {
        // Two loads of eight (or four) bytes, overlapping when the text is shorter: most
        // codes and names are.
        const auto classifyWords = [&](auto first, auto last) {
            using Word = decltype(first);
            constexpr Word ones = Word(0x0101010101010101ull), highs = Word(0x8080808080808080ull),
                           top3 = Word(0xE0E0E0E0E0E0E0E0ull);
            const auto hasZeroByte = [&](Word v) { return ((v - ones) & ~v & highs) != 0; };
            nul = hasZeroByte(first) || hasZeroByte(last);
            c1 = hasZeroByte((first & top3) ^ highs) || hasZeroByte((last & top3) ^ highs);
        };
        if (n >= 8)
            classifyWords(qFromUnaligned<quint64>(in), qFromUnaligned<quint64>(in + n - 8));
        else
            classifyWords(qFromUnaligned<quint32>(in), qFromUnaligned<quint32>(in + n - 4));
    } else {
        uchar c1Any = 0, lowest = 0xFF;
        for (qsizetype i = 0; i < n; ++i) {
            c1Any |= uchar((in[i] & 0xE0) == 0x80);
            lowest = std::min(lowest, in[i]);
        }
        c1 = c1Any != 0;
        nul = n > 0 && lowest == 0;
    }
    if (nul)
        return CodePageBytes::HasNul;
    return c1 ? CodePageBytes::Other : CodePageBytes::Latin1;
}

}  // namespace

bool Column::appendCp1252(QByteArrayView text)
{
    checkRoom(text.size());
    if (!wide_) {
        const CodePageBytes kind = classifyCp1252(text);
        if (kind == CodePageBytes::HasNul)
            return false;
        if (kind == CodePageBytes::Latin1) {
            const qsizetype inShared = text.data() - shared_.constData();
            if (!shared_.isNull() && inShared >= 0 && inShared + text.size() <= shared_.size()) {
                appendSpan(kInShared | quint32(inShared), qint32(text.size()));
                sharedChars_ += text.size();
                return true;
            }
            const size_t at = narrow_.size();
            narrow_.resize(at + size_t(text.size()));  // left unset, then copied in one go
            if (!text.isEmpty())
                std::memcpy(narrow_.data() + at, text.data(), size_t(text.size()));
            appendSpan(quint32(at), qint32(text.size()));
            return true;
        }
        widen();
    }
    const size_t at = pool_.size();
    pool_.resize(at + size_t(text.size()));
    if (!packet::TextArena::putCp1252(pool_.data() + at, text)) {
        pool_.resize(at);
        return false;
    }
    putSpan(quint32(spans_.size()), quint32(at), qint32(text.size()));
    return true;
}

void Column::set(quint32 row, const QVariant& value)
{
    if (!text_) {
        if (row >= values_.size()) {
            if (!value.isValid())
                return;
            values_.resize(size_t(row) + 1);
        }
        values_[row] = value;
        return;
    }
    const qint32 old = lengthOf(row);
    if (old > 0 && !(spans_[row].offset & kInShared))  // the packet's bytes are not the pool's
        garbage_ += old;
    else if (old > 0)
        sharedChars_ -= old;
    if (!value.isValid()) {
        putSpan(row, 0, -1);
    } else {
        const QString text = value.toString();
        putSpan(row, storeText(text), qint32(text.size()));
    }
    // Edited texts leave their old characters behind; reclaim them once they dominate.
    if (garbage_ > 65536 && garbage_ > textChars() / 2)
        compactPool();
}

template <typename Pool>
void Column::compactInto(Pool& pool)
{
    Pool kept;
    kept.reserve(pool.size() - size_t(garbage_));
    for (quint32 row = 0; row < spans_.size(); ++row) {
        const qint32 length = lengthOf(row);
        TextSpan& span = spans_[row];
        if (length < 0 || (span.offset & kInShared))
            continue;
        const quint32 offset = quint32(kept.size());
        kept.insert(kept.end(), pool.begin() + span.offset, pool.begin() + span.offset + length);
        span.offset = offset;
    }
    pool.swap(kept);
}

void Column::compactPool()
{
    if (wide_)
        compactInto(pool_);
    else
        compactInto(narrow_);
    garbage_ = 0;
}

QVariant Column::get(quint32 row) const
{
    if (!text_)
        return row < values_.size() ? values_[row] : QVariant();
    const qint32 length = lengthOf(row);
    if (length < 0)
        return {};
    const TextSpan& span = spans_[row];
    if (!wide_)
        return QString::fromLatin1(narrowText(span), length);
    return QString(reinterpret_cast<const QChar*>(pool_.data() + span.offset), length);
}

bool Column::isNull(quint32 row) const
{
    return text_ ? spans_[row].length == kNull : row >= values_.size() || !values_[row].isValid();
}

Cell Column::cell(quint32 row) const
{
    if (!text_)
        return cellOf(type_, row < values_.size() ? values_[row] : QVariant());
    Cell c;
    if (textAt(row, c.text))
        c.kind = Cell::Text;
    return c;
}

void RowStore::reset(const FieldDefs& defs)
{
    columns_.clear();
    columns_.reserve(size_t(defs.size()));
    for (const FieldDef& def : defs)
        columns_.emplace_back(def.type, isTextType(def.type));
    rows_ = 0;
}

bool RowStore::matches(const FieldDefs& defs) const
{
    if (size_t(defs.size()) != columns_.size())
        return false;
    for (size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].type() != defs[qsizetype(i)].type)
            return false;
    return true;
}

void RowStore::clear()
{
    columns_.clear();
    rows_ = 0;
}

quint32 RowStore::appendRow(const QVariantList& values)
{
    for (size_t i = 0; i < columns_.size(); ++i)
        columns_[i].append(values.value(qsizetype(i)));
    return rows_++;
}

quint32 RowStore::appendNullRow()
{
    for (Column& c : columns_)
        c.append(QVariant());
    return rows_++;
}

bool RowStore::isComplete() const
{
    for (const Column& c : columns_)
        if (c.rowCount() != rows_)
            return false;
    return true;
}

QVariantList RowStore::row(quint32 id) const
{
    QVariantList values;
    values.reserve(qsizetype(columns_.size()));
    for (const Column& c : columns_)
        values.append(c.get(id));
    return values;
}

void RowStore::setRow(quint32 id, const QVariantList& values)
{
    for (size_t i = 0; i < columns_.size(); ++i)
        columns_[i].set(id, values.value(qsizetype(i)));
}

void RowStore::keepOnly(const std::vector<quint32>& ids)
{
    std::vector<Column> kept;
    kept.reserve(columns_.size());
    for (const Column& old : columns_) {
        Column c(old.type(), old.isText());
        c.reserve(quint32(ids.size()), 0);
        for (quint32 id : ids)
            c.append(old.get(id));
        kept.push_back(std::move(c));
    }
    columns_.swap(kept);
    rows_ = quint32(ids.size());
}

}  // namespace platform::detail
