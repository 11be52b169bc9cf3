#pragma once
// The texts a packet reader makes, many to one allocation. A packet of a hundred
// thousand rows holds close to a million short texts; allocated one by one, their
// allocation and release cost more than the rest of the reading. Here each text is a
// slice of a shared block of characters, ended by a NUL like any string, and the block
// lives while any of its texts does. To its users a slice is an ordinary QString:
// writing to one while its block is shared copies it first, as for any shared string.
// Internal to platform/dataset.

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <QVariant>

namespace platform::packet {

class TextArena {
public:
    TextArena() = default;
    ~TextArena() { retireBlock(); }
    Q_DISABLE_COPY_MOVE(TextArena)

    // A QString value of Windows-1252 bytes (the binary packet's texts, 8-bit XML); the
    // five bytes the code page leaves undefined read as the C1 control of the same number.
    // Bytes holding a NUL make no text: an invalid value.
    QVariant cp1252(QByteArrayView bytes);
    // A QString value of UTF-8 bytes; malformed sequences read as U+FFFD.
    QVariant utf8(QByteArrayView bytes) { return take(putUtf8(reserve(bytes.size()), bytes)); }

    // The general form: room for up to `maxChars` characters, written by the caller
    // (with the put functions or directly), then taken up to `end` as one value.
    char16_t* reserve(qsizetype maxChars)
    {
        if (maxChars > blockEnd_ - next_ - 1 || maxChars > kBlockChars / 4)  // room for the NUL too
            return reserveElsewhere(maxChars);
        text_ = next_;
        return text_;
    }
    QVariant take(const char16_t* end);
    // The characters of the bytes at `out`. Neither writes more characters than there are
    // bytes. putCp1252 writes exactly one a byte and says false when a byte is NUL: a
    // success is never told by the end pointer, which is null for no bytes at no room.
    static bool putCp1252(char16_t* out, QByteArrayView bytes);
    char16_t* putUtf8(char16_t* out, QByteArrayView bytes);  // the end of what was written

private:
    char16_t* reserveElsewhere(qsizetype maxChars);
    void retireBlock();

    static constexpr qsizetype kBlockChars = 8192;  // a text longer than a quarter of it gets its own
    QString::DataPointer block_;
    int refsLeft_ = 0;           // references to the block taken ahead for texts not yet made
    char16_t* next_ = nullptr;   // the block's first free character
    char16_t* blockEnd_ = nullptr;
    char16_t* text_ = nullptr;   // the text being written
    QString single_;             // a long text's own string, between reserve() and take()
    QStringDecoder utf8_{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
};

}  // namespace platform::packet
