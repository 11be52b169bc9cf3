#pragma once
// BinaryPacketBuilder: writes the binary packet encoding row by row, so that a producer
// (a query's provider) streams its rows into the bytes without holding them as variants
// first. writePacket() goes through it too, so both produce the same bytes.
//
// The values of a row are given in field order, one call per field. putValue() takes any
// value and converts it as writePacket() does; the typed calls are the fast paths of the
// common cases and say false (writing nothing) when they do not apply, so the caller
// then gives the value through putValue().
// Throws PacketError for a value that cannot be stored in its field, and for a row given
// fewer values than there are fields (its bytes would be read as the next row's).

#include "PlatformDatasetExport.h"
#include "platform/dataset/DataPacket.h"

#include <QByteArray>
#include <QVariant>

#include <vector>

namespace platform {

class PLATFORM_DATASET_EXPORT BinaryPacketBuilder {
public:
    // The packet's fields and parameters (its rows, if any, are not written).
    explicit BinaryPacketBuilder(const DataPacket& shape);

    // A text of `field` that Windows-1252 cannot hold whole is written as null: a code
    // with substitutes would name another row.
    void setNullUnlessCp1252(int field);

    void beginRow();
    void putNull();
    void putValue(const QVariant& value);
    // A String or FixedChar field's text (cut to the field's size) whose characters
    // Windows-1252 holds as the same byte as Latin-1.
    bool putText(QStringView text);
    // The same for Latin-1 characters (a dataset's texts that all fit Latin-1).
    bool putText(QLatin1StringView text);
    // A String or FixedChar field's text as UTF-8 bytes (cut to the field's size) whose
    // characters are ASCII or Latin-1 letters (U+00A0 to U+00FF).
    bool putUtf8Text(const char* data, qsizetype size);
    // A Float or Currency field's value.
    bool putDouble(double value);
    // The bytes written so far, and room for `bytes` more at once: a producer that knows
    // how many rows follow grows the buffer once rather than by doubling.
    qsizetype size() const { return used_; }
    void reserve(qsizetype bytes);
    // The bytes, with the row count filled in. The builder is spent afterwards.
    QByteArray finish();

    // Where a text field's characters go: at most `limit` of them after a length of
    // `lengthSize` bytes (0: the field is no text).
    struct TextRoom {
        qint32 limit = 0;
        quint8 lengthSize = 0;
    };

private:
    // The per-value steps, bound inside the library: a call to a function the library
    // exports goes through its symbol table, which at a million values a packet counts.
    Q_DECL_HIDDEN void checkField() const;
    Q_DECL_HIDDEN void checkRowComplete() const;
    Q_DECL_HIDDEN char* extend(qsizetype n);  // n more bytes at the end, to be written
    Q_DECL_HIDDEN bool putLatin1Text(QStringView text);
    Q_DECL_HIDDEN void finishText(qsizetype at, int lengthSize, qsizetype n);
    FieldDefs fields_;
    std::vector<quint32> words_;  // type word of each field
    std::vector<TextRoom> textRooms_;
    std::vector<bool> nullUnlessCp1252_;
    QByteArray out_;
    qsizetype used_ = 0;          // bytes of out_ written
    QByteArray scratch_;          // one value in the general conversion
    qsizetype bitmapAt_ = -1;
    int field_ = 0;               // next field of the current row
    quint32 rows_ = 0;
};

}  // namespace platform
