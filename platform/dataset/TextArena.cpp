#include "platform/dataset/TextArena.h"

#include "platform/dataset/PacketCodec.h"

#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform::packet {

char16_t* TextArena::reserveElsewhere(qsizetype maxChars)
{
    if (maxChars > kBlockChars / 4) {
        single_ = QString(maxChars, Qt::Uninitialized);
        text_ = reinterpret_cast<char16_t*>(single_.data());
        return text_;
    }
    retireBlock();
    block_ = QString::DataPointer(QTypedArrayData<char16_t>::allocate(kBlockChars));
    next_ = block_.ptr;
    blockEnd_ = next_ + block_.constAllocatedCapacity();
    // The references of every text the block can hold (each takes at least two
    // characters, one and its NUL) are taken at once: one atomic operation a block
    // rather than one a text. retireBlock() gives back those not used.
    refsLeft_ = int((blockEnd_ - next_) / 2 + 1);
    block_.d->ref_.storeRelaxed(1 + refsLeft_);
    text_ = next_;
    return text_;
}

QVariant TextArena::take(const char16_t* end)
{
    const qsizetype chars = end - text_;
    // The string is made inside the value (from a null string, which counts no
    // reference), so that handing it over costs no copy.
    QVariant value{QString()};
    QString& text = *static_cast<QString*>(const_cast<void*>(value.constData()));
    // A long text's own string, when one was reserved for this text (one reserved for a
    // text abandoned half way, by an error, is dropped here).
    QString own = std::exchange(single_, QString());
    if (!own.isNull() && text_ == reinterpret_cast<const char16_t*>(own.constData())) {
        own.truncate(chars);
        text = std::move(own);
    } else if (chars == 0) {
        // Empty texts share no block: an empty value must not keep other texts' block alive.
        text = QString(reinterpret_cast<const QChar*>(u""), 0);
    } else {
        Q_ASSERT(refsLeft_ > 0);
        text_[chars] = u'\0';
        QString::DataPointer& slice = text.data_ptr();  // null until here: nothing to release
        slice.d = block_.d;                             // a reference taken ahead
        slice.ptr = text_;
        slice.size = chars;
        --refsLeft_;
        next_ = text_ + chars + 1;
    }
    return value;
}

void TextArena::retireBlock()
{
    // The block's own reference, held by block_, keeps the count above zero here.
    if (block_.d)
        block_.d->ref_.fetchAndSubRelaxed(refsLeft_);
    refsLeft_ = 0;
}

QVariant TextArena::cp1252(QByteArrayView bytes)
{
    char16_t* start = reserve(bytes.size());
    if (putCp1252(start, bytes))
        return take(start + bytes.size());
    single_ = QString();  // nothing taken: the block's room stays free
    return QVariant();
}

bool TextArena::putCp1252(char16_t* out, QByteArrayView bytes)
{
    const auto* in = reinterpret_cast<const uchar*>(bytes.data());
    const qsizetype n = bytes.size();
    bool c1 = false, nul = false;  // bytes 0x80-0x9F, where the code page is not Latin-1; NUL
#if defined(__SSE2__)
    if (n >= 8) {
        // Eight bytes widened at a time, the last eight overlapping those before: the
        // texts of a packet are mostly short, so there is no loop of single bytes after.
        const __m128i zero = _mm_setzero_si128(), top3 = _mm_set1_epi8(char(0xE0)), c1Bits = _mm_set1_epi8(char(0x80));
        __m128i anyC1 = zero, lowest = _mm_set1_epi8(-1);
        for (qsizetype i = 0;; i += 8) {
            i = qMin(i, n - 8);
            const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(v, zero));
            anyC1 = _mm_or_si128(anyC1, _mm_cmpeq_epi8(_mm_and_si128(v, top3), c1Bits));
            lowest = _mm_min_epu8(lowest, v);
            if (i == n - 8)
                break;
        }
        c1 = _mm_movemask_epi8(anyC1) & 0xFF;  // of the eight bytes loaded
        nul = _mm_movemask_epi8(_mm_cmpeq_epi8(lowest, zero)) & 0xFF;
    } else
#endif
    {
        for (qsizetype i = 0; i < n; ++i) {
            out[i] = in[i];
            c1 = c1 || (in[i] & 0xE0) == 0x80;
            nul = nul || in[i] == 0;
        }
    }
    if (nul)
        return false;
    if (c1) {  // rare: the general conversion
        const QString text = fromCp1252(bytes.data(), n);
        std::memcpy(out, text.utf16(), size_t(n) * sizeof(char16_t));
    }
    return true;
}

char16_t* TextArena::putUtf8(char16_t* out, QByteArrayView bytes)
{
    return reinterpret_cast<char16_t*>(utf8_.appendToBuffer(reinterpret_cast<QChar*>(out), bytes));
}

}  // namespace platform::packet
