#pragma once
// A data packet: field definitions, table parameters and rows, in memory, and its two
// encodings (binary and XML). A packet that travels in a QVariant is its binary
// encoding as a QByteArray.

#include "PlatformDatasetExport.h"
#include "platform/dataset/FieldDef.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>

#include <functional>
#include <initializer_list>
#include <iterator>
#include <memory>

namespace platform {

namespace detail {
class RowStore;
}

// An optional parameter of the packet or of a field (LCID, DEFAULT_ORDER, WIDTH,
// SUBTYPE, ...), kept as read so that a packet read and written again is unchanged.
// Field parameters are also reflected in the FieldDef (WIDTH -> size, DECIMALS ->
// decimals, SUBTYPE -> type); on writing, the FieldDef wins: WIDTH/DECIMALS/SUBTYPE
// are brought in line with it and the ones the host always writes are added (WIDTH
// for texts, SUBTYPE for memos/blobs/money/fixed-char, table LCID). A packet built in
// memory needs no params at all. CHANGE_LOG is dropped on writing (rows are merged).
struct PacketParam {
    QByteArray name;
    quint32 typeWord = 0;  // binary type word; decides the encoding
    QByteArray raw;        // the value's bytes as in the binary encoding
    int field = -1;        // index into DataPacket::fields, or -1 for a table parameter

    friend bool operator==(const PacketParam&, const PacketParam&) = default;
};

enum class PacketFormat {
    Binary,   // the .cds binary encoding
    Xml,      // XML, 8-bit text in Windows-1252, no encoding declaration
    XmlUtf8,  // XML with encoding="UTF-8"
};

// The rows of a packet, one value per field. Held either as a list of rows or, as the
// binary reader leaves them, as column storage (a text column is one pool of
// characters) whose values are made when they are read: a hundred thousand rows decoded
// cost a few large allocations rather than a variant per cell. Walking a const list
// makes each row as it is reached; indexing one (at(), operator[] const) makes all rows
// once, kept beside the columns, so that references into them stay valid as for a
// QList; anything that may write (the non-const operator[], begin(), append) turns the
// columns into a list of rows first. Copies share the columns.
class PLATFORM_DATASET_EXPORT RowList {
public:
    using value_type = QVariantList;
    using size_type = qsizetype;
    using iterator = QList<QVariantList>::iterator;

    // Rows made one by one as the list is walked.
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = QVariantList;
        using difference_type = qsizetype;
        using pointer = void;
        using reference = QVariantList;

        const_iterator() = default;
        const_iterator(const RowList* rows, qsizetype at) : rows_(rows), at_(at) {}
        QVariantList operator*() const { return rows_->make(at_); }
        const_iterator& operator++() { ++at_; return *this; }
        const_iterator operator++(int) { const_iterator was = *this; ++at_; return was; }
        friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.at_ == b.at_; }

    private:
        const RowList* rows_ = nullptr;
        qsizetype at_ = 0;
    };

    // The members that copy or release the shared columns are the library's own, so
    // that code including this header instantiates none of the sharing's internals.
    RowList();
    RowList(QList<QVariantList> rows);
    RowList(std::initializer_list<QVariantList> rows);
    // Rows kept in column storage (the fields' representation already).
    explicit RowList(detail::RowStore&& columns);
    RowList(const RowList& other);
    RowList(RowList&& other) noexcept;
    RowList& operator=(const RowList& other);
    RowList& operator=(RowList&& other) noexcept;
    ~RowList();

    qsizetype size() const;
    qsizetype count() const { return size(); }
    bool isEmpty() const { return size() == 0; }
    bool empty() const { return isEmpty(); }

    const QVariantList& at(qsizetype row) const { return rows().at(row); }
    const QVariantList& operator[](qsizetype row) const { return at(row); }
    QVariantList& operator[](qsizetype row) { return list()[row]; }
    const QVariantList& first() const { return rows().first(); }
    const QVariantList& last() const { return rows().last(); }
    // The row, or an empty one when it does not exist.
    QVariantList value(qsizetype row) const { return row >= 0 && row < size() ? at(row) : QVariantList(); }
    // One value without making its row; null when the row or field does not exist.
    QVariant value(qsizetype row, qsizetype field) const;
    QList<QVariantList> mid(qsizetype pos, qsizetype length = -1) const { return rows().mid(pos, length); }
    // The rows as a list (made once from the columns, then shared).
    const QList<QVariantList>& rows() const;

    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }
    iterator begin() { return list().begin(); }
    iterator end() { return list().end(); }

    void append(const QVariantList& row) { list().append(row); }
    void append(QVariantList&& row) { list().append(std::move(row)); }
    void reserve(qsizetype rows) { list().reserve(rows); }
    void clear();

    // The column storage, when the rows are held that way (else null): readers of a
    // whole packet take the values from it without making a variant per cell.
    const detail::RowStore* columns() const;

    friend PLATFORM_DATASET_EXPORT bool operator==(const RowList& a, const RowList& b);

private:
    struct Columns;
    QVariantList make(qsizetype row) const;  // one row, made afresh from the columns
    QList<QVariantList>& list();             // the columns, if any, turned into rows first

    QList<QVariantList> list_;
    std::shared_ptr<Columns> columns_;
};

struct PLATFORM_DATASET_EXPORT DataPacket {
    FieldDefs fields;
    QList<PacketParam> params;  // table and field parameters, in file order
    // Current rows only (the change log is resolved on reading), one value per field,
    // in the representation documented in FieldDef.h.
    RowList rows;
    PacketFormat sourceFormat = PacketFormat::Binary;  // what it was read from

    bool isNull() const { return fields.isEmpty(); }
    // Index of the field of that name (case-insensitive), or -1.
    int indexOf(const QString& name) const;
    friend bool operator==(const DataPacket&, const DataPacket&) = default;
};

// Reading detects the encoding from the content. `source` names the file or origin in
// error texts. Throws PacketError on malformed input; never trusts a length in it.
PLATFORM_DATASET_EXPORT DataPacket readPacket(const QByteArray& bytes, const QString& source = QStringLiteral("data packet"));
PLATFORM_DATASET_EXPORT DataPacket readPacketFile(const QString& path);

// The largest packet the readers take, in bytes: a larger one is refused with a clear
// error before it is read. The default, 256 MiB, is far above any terminal file; a
// program that must read larger ones (a tool, by its own option) sets another.
PLATFORM_DATASET_EXPORT qint64 packetSizeLimit();
PLATFORM_DATASET_EXPORT void setPacketSizeLimit(qint64 bytes);

PLATFORM_DATASET_EXPORT QByteArray writePacket(const DataPacket& packet, PacketFormat format = PacketFormat::Binary);
PLATFORM_DATASET_EXPORT void writePacketFile(const DataPacket& packet, const QString& path, PacketFormat format = PacketFormat::Binary);

// Takes a packet's text piece by piece, in order, as a streaming writer makes it.
using TextSink = std::function<void(QByteArrayView)>;
// The bytes writePacket returns, handed to `sink` as they are made. The XML encodings go
// a few rows at a time, their rows made one by one from the packet's columns, so that
// the text of a large packet is never whole in memory; the binary one in one piece.
PLATFORM_DATASET_EXPORT void writePacketTo(const DataPacket& packet, PacketFormat format, const TextSink& sink);

// A packet in a variant: its binary bytes. Null or empty variant -> null packet.
PLATFORM_DATASET_EXPORT QVariant packetToVariant(const DataPacket& packet);
PLATFORM_DATASET_EXPORT DataPacket packetFromVariant(const QVariant& value, const QString& source = QStringLiteral("data packet"));

// The XML field-type name of a type: "string", "string.uni", "i4", "r8", "boolean",
// "date", "time", "dateTime", "SQLdateTime", "fixed", "bin.hex", "nested", ...
PLATFORM_DATASET_EXPORT QString xmlTypeName(FieldType type);
// The SUBTYPE of a field as the packet gives it ("Text", "Money", ...), else the one
// its type implies ("" for most types).
PLATFORM_DATASET_EXPORT QByteArray fieldSubtype(const DataPacket& packet, int field);
// The same for every field at once (one pass over the parameters).
PLATFORM_DATASET_EXPORT QList<QByteArray> fieldSubtypes(const DataPacket& packet);

}  // namespace platform

Q_DECLARE_METATYPE(platform::DataPacket)
