// Reader of the binary packet encoding. Every length and count read from the input is
// checked against the bytes that remain before anything is allocated or copied.

#include "platform/dataset/PacketCodec.h"
#include "platform/dataset/PacketEncodings.h"
#include "platform/dataset/PacketRows.h"
#include "platform/dataset/RowStore.h"
#include "platform/dataset/TextArena.h"

#include "platform/Error.h"

#include <QDateTime>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

namespace platform::packet {

bool hasBinarySignature(const QByteArray& bytes)
{
    return bytes.startsWith(QByteArrayView("\x96\x19\xE0\xBD", 4))
           || bytes.startsWith(QByteArrayView("\xCD\xAB\x00\x00", 4));
}

namespace {

constexpr int kHeaderSize = 24;
constexpr quint32 kSampleRows = 256;  // rows read before the text pools' room is judged
// Rows from which a list's columns are read on two threads: below it the second thread's
// start costs more than it saves.
constexpr quint32 kRowsOnTwoThreads = 32768;
constexpr qint64 kValueCost = 24;  // what storing a value costs beside its bytes, in bytes

// One nesting level of the metadata.
struct Layout {
    FieldDefs fields;
    QList<quint32> words;
    QList<PacketParam> params;
    std::vector<std::unique_ptr<Layout>> nested;  // per field; set for nested datasets
    QList<qint64> changeLog;
};

double fromExtended(const char* p)
{
    // 80-bit extended: 64-bit mantissa with explicit integer bit, 15-bit exponent.
    const quint64 mantissa = qFromLittleEndian<quint64>(p);
    const quint16 se = qFromLittleEndian<quint16>(p + 8);
    const int exponent = se & 0x7FFF;
    const double sign = (se & 0x8000) ? -1.0 : 1.0;
    if (exponent == 0 && mantissa == 0)
        return 0.0 * sign;
    if (exponent == 0x7FFF)
        return (mantissa << 1) ? std::nan("") : sign * HUGE_VAL;
    return sign * std::ldexp(double(mantissa), exponent - 16383 - 63);
}

class BinaryReader {
public:
    BinaryReader(const QByteArray& bytes, const QString& source)
        : bytes_(bytes), p_(bytes.constData()), size_(bytes.size()), source_(source)
    {
    }

    // The current rows go into column storage when they can (no change log to resolve, no
    // nested datasets: the usual packet); otherwise they are read again the general way.
    DataPacket read()
    {
        Layout top = readLayout();
        const qsizetype rowsAt = pos_;
        DataPacket packet;
        detail::RowStore columns;
        if (readColumns(top, columns)) {
            packet.rows = RowList(std::move(columns));
        } else {
            columns.clear();
            pos_ = rowsAt;
            StoredRows stored;
            // Each row takes at least one byte, so the input bounds what is reserved.
            stored.values.reserve(qMin<qsizetype>(rowCount_, size_ - pos_));
            for (quint32 r = 0; r < rowCount_; ++r)
                readRow(top, stored, 0);
            checkAtEnd();
            packet.rows = resolveRows(std::move(stored), top.changeLog);
        }
        packet.fields = top.fields;
        packet.params = top.params;
        packet.sourceFormat = PacketFormat::Binary;
        return packet;
    }

    // Current rows straight into column storage; false when the packet needs resolving
    // (a change log with NOT CHANGED values, rows not current) or nests datasets.
    bool readInto(DataPacket& shape, detail::RowStore& store)
    {
        Layout top = readLayout();
        if (!readColumns(top, store))
            return false;
        shape.fields = top.fields;
        shape.params = top.params;
        shape.sourceFormat = PacketFormat::Binary;
        return true;
    }

private:
    // The header, the field descriptors and the table's parameters: everything before the rows.
    Layout readLayout()
    {
        columnsLeft_ = readHeader();
        Layout top;
        while (columnsLeft_ > 0)
            readDescriptor(top, 0);
        readParams(top, -1);
        finishLayout(top);
        return top;
    }

    bool readColumns(const Layout& top, detail::RowStore& store)
    {
        for (const FieldDef& def : std::as_const(top.fields))
            if (def.type == FieldType::DataSet)
                return false;
        const qsizetype rowsAt = pos_;
        startColumns(top, store);
        bool read = false;
        if (rowCount_ >= kRowsOnTwoThreads && top.fields.size() > 1) {
            read = readRowsOnTwoThreads(top, store);
            if (!read) {
                // One of the passes stopped: one pass from the start, which fails (or falls
                // back to the general way) at the first row that needs it.
                pos_ = rowsAt;
                startColumns(top, store);
            }
        }
        if (!read && !readRows(top, store, ColumnSet(size_t(top.fields.size()), true)))
            return false;
        store.appendedRows(rowCount_);
        checkAtEnd();
        // A column a row short would be read past its end later, where nothing says so.
        if (!store.isComplete())
            fail(QStringLiteral("rows of unequal length in column storage"));
        store.settleShared(bytes_.size());
        return true;
    }

    void startColumns(const Layout& top, detail::RowStore& store) const
    {
        store.reset(top.fields);
        store.shareBytes(bytes_);  // the texts stay in the packet, held once
        reserveColumns(top.fields, store);
    }

    // Which columns a pass over the rows fills; it steps over the others' values.
    using ColumnSet = std::vector<bool>;

    // What a pass needs of each field, looked up once rather than at every value.
    struct FieldPlan {
        quint32 word = 0;
        qint64 fitsUpTo = -1;  // a value of at most this many bytes surely fits the field
        bool text = false;     // one byte a character, straight into the column
        bool mine = false;
    };

    bool readRows(const Layout& top, detail::RowStore& store, const ColumnSet& mine)
    {
        std::vector<FieldPlan> plan(size_t(top.fields.size()));
        for (size_t f = 0; f < plan.size(); ++f) {
            const FieldDef& def = top.fields[qsizetype(f)];
            plan[f] = {top.words[qsizetype(f)], bytesSurelyFitting(def), traitsOf(def.type).binaryCode == TcZString,
                       bool(mine[f])};
        }
        for (quint32 r = 0; r < rowCount_; ++r) {
            if (r == kSampleRows)
                reserveBySample(store, r, mine);
            if (!readRowInto(top, plan, store, r))
                return false;
        }
        return true;
    }

    // A long list's columns in two halves, each filled by its own pass over the rows: this
    // thread's and a second one's. Both passes parse every row's framing, so the two do
    // more work than one pass; on a second core they still end sooner. False, the columns
    // part-filled, when the second thread cannot start or either pass did not reach the
    // end (an error, or a row to be read the general way).
    bool readRowsOnTwoThreads(const Layout& top, detail::RowStore& store)
    {
        const ColumnSet mine = firstHalf(top.fields);
        ColumnSet theirs(mine.size());
        for (size_t f = 0; f < mine.size(); ++f)
            theirs[f] = !mine[f];
        BinaryReader other(bytes_, source_);
        other.pos_ = pos_;
        other.rowCount_ = rowCount_;
        bool theirsRead = false;
        std::thread second;
        try {
            second = std::thread([&] {
                try {
                    theirsRead = other.readRows(top, store, theirs);
                } catch (...) {  // told again, in row order, by the one pass that follows
                }
            });
        } catch (const std::system_error&) {
            return false;
        }
        bool mineRead = false;
        try {
            mineRead = readRows(top, store, mine);
        } catch (...) {
        }
        second.join();
        return mineRead && theirsRead && other.pos_ == pos_;
    }

    // The columns this thread reads: about half of the work, a value costing about the
    // same whatever its size, and its bytes besides.
    static ColumnSet firstHalf(const FieldDefs& fields)
    {
        ColumnSet mine(size_t(fields.size()), false);
        qint64 total = 0, taken = 0;
        for (const FieldDef& def : fields)
            total += kValueCost + qMax(def.size, 0);
        for (qsizetype f = 0; f < fields.size() && 2 * taken < total; ++f) {
            mine[size_t(f)] = true;
            taken += kValueCost + qMax(fields[f].size, 0);
        }
        return mine;
    }

    bool readRowInto(const Layout& level, const std::vector<FieldPlan>& plan, detail::RowStore& store, quint32 row)
    {
        const qsizetype fieldCount = qsizetype(plan.size());
        if (!isVisibleRow(take<quint8>("row")))
            return false;
        const qsizetype bitmapSize = (fieldCount + 3) / 4;
        need(bitmapSize, "row");
        const char* bitmap = p_ + pos_;
        pos_ += bitmapSize;
        for (qsizetype f = 0; f < fieldCount; ++f) {
            const int bits = (quint8(bitmap[f / 4]) >> ((f % 4) * 2)) & 3;
            if (bits & 2)
                return false;  // NOT CHANGED: a value of an older version
            const FieldPlan& field = plan[size_t(f)];
            if (!field.mine) {
                if (!(bits & 1))
                    field.text ? void(textBytes(field.word)) : void(readValue(level, int(f), 0));
                continue;
            }
            detail::Column& column = store.column(int(f));
            if (bits & 1) {
                column.append(QVariant());
                continue;
            }
            const qsizetype at = pos_;
            if (field.text) {
                // One character a byte: the byte count is the text's length.
                const QByteArrayView b = textBytes(field.word);
                if (!column.appendCp1252(b)) [[unlikely]]
                    textNotStored(level.fields[f], b, at);
                QAnyStringView stored;
                if (b.size() > field.fitsUpTo && column.textAt(row, stored)) {
                    QVariant value = stored.toString();
                    checkFits(level.fields[f], value, at);
                }
            } else {
                QVariant value = readValue(level, int(f), 0);
                if (pos_ - at > field.fitsUpTo)
                    checkFits(level.fields[f], value, at);
                column.append(value);
            }
        }
        return true;
    }

    [[noreturn, gnu::noinline, gnu::cold]] void textNotStored(const FieldDef& def, QByteArrayView b, qsizetype at) const
    {
        checkNoNul(b, def.name, false);  // says where the NUL is
        fail(QStringLiteral("text of field '%1' not stored").arg(def.name), at);
    }

    // The rows end the packet; anything after them is not ours to drop silently.
    void checkAtEnd() const
    {
        if (pos_ != size_)
            fail(QStringLiteral("%1 unexpected bytes after the last row").arg(size_ - pos_));
    }

    // Each row takes at least one byte and each character of text one byte, so the input
    // bounds what is reserved; the texts' share goes to each column by its size.
    void reserveColumns(const FieldDefs& fields, detail::RowStore& store) const
    {
        const qsizetype left = size_ - pos_;
        const quint32 rows = quint32(qMin<qsizetype>(rowCount_, left));
        qint64 widths = 0;
        for (const FieldDef& def : fields)
            widths += store.column(int(&def - fields.data())).isText() ? qMax(def.size, 1) : 0;
        for (int f = 0; f < store.columnCount(); ++f) {
            detail::Column& column = store.column(f);
            const qint64 share = column.isText() ? left * qMax(fields[f].size, 1) / qMax<qint64>(widths, 1) : 0;
            column.reserve(rows, qsizetype(share));
        }
    }

    // The rows read so far tell each text column's share of the rest, with an eighth to
    // spare: the fields' declared sizes only guess it, and a pool grown past its room
    // copies every character read before. As in reserveColumns(), the bytes left bound
    // both the rows and the characters still to come.
    void reserveBySample(detail::RowStore& store, quint32 read, const ColumnSet& mine) const
    {
        const qsizetype bytesLeft = size_ - pos_;
        const qsizetype rowsLeft = qMin<qsizetype>(rowCount_ - read, bytesLeft);
        for (int f = 0; f < store.columnCount(); ++f) {
            detail::Column& column = store.column(f);
            if (mine[size_t(f)] && column.isText()) {
                const qsizetype more = qMin(column.textChars() * rowsLeft * 9 / (8 * qsizetype(read)), bytesLeft);
                column.reserve(quint32(read + rowsLeft), column.textChars() + more);
            }
        }
    }

    [[noreturn]] void fail(const QString& what, qsizetype at = -1) const
    {
        throw PacketError(QStringLiteral("%1: %2 at offset %3").arg(source_, what).arg(at >= 0 ? at : pos_));
    }

    // A step whose PacketError (its text without the source) becomes this reader's.
    template <typename Step>
    auto located(const Step& step, qsizetype at = -1) const
    {
        try {
            return step();
        } catch (const PacketError& e) {
            fail(e.text(), at);
        }
    }

    void need(qsizetype n, const char* what) const
    {
        if (n < 0 || n > size_ - pos_) [[unlikely]]
            truncated(what);
    }

    [[noreturn, gnu::noinline, gnu::cold]] void truncated(const char* what) const
    {
        fail(QStringLiteral("truncated %1").arg(QLatin1String(what)));
    }

    template <typename T>
    T take(const char* what)
    {
        need(sizeof(T), what);
        const T v = qFromLittleEndian<T>(p_ + pos_);
        pos_ += sizeof(T);
        return v;
    }

    quint32 readHeader()
    {
        need(kHeaderSize, "header");
        pos_ = 4;
        const quint16 major = take<quint16>("header");
        const quint16 minor = take<quint16>("header");
        if (major > 3 || minor > 3)
            fail(QStringLiteral("unsupported format version %1.%2").arg(major).arg(minor), 4);
        const quint32 headerSize = take<quint32>("header");
        const quint16 columns = take<quint16>("header");
        rowCount_ = take<quint32>("header");
        const quint32 properties = take<quint32>("header");
        if (properties & 0x8000)
            fail(QStringLiteral("rows stored as XML are not supported"), 18);
        if (headerSize < kHeaderSize || headerSize > quint32(size_))
            fail(QStringLiteral("invalid header size %1").arg(headerSize), 8);
        pos_ = headerSize;
        return columns;
    }

    void readDescriptor(Layout& level, int depth)
    {
        const qsizetype start = pos_;
        if (--columnsLeft_ < 0)
            fail(QStringLiteral("more field descriptors than the header counts"));
        const quint8 nameLength = take<quint8>("field descriptor");
        need(nameLength, "field descriptor");
        FieldDef def;
        if (QByteArrayView(p_ + pos_, nameLength).contains('\0'))
            fail(QStringLiteral("NUL character in a field name"));
        def.name = decodeName(p_ + pos_, nameLength);
        pos_ += nameLength;
        const quint32 word = take<quint32>("field descriptor");
        const quint16 attrs = take<quint16>("field descriptor");
        def.hidden = attrs & kAttrHidden;
        def.readOnly = attrs & kAttrReadOnly;
        def.required = attrs & kAttrRequired;
        const int index = int(level.fields.size());
        level.fields.append(def);
        level.words.append(word);
        level.nested.emplace_back();
        readParams(level, index);
        if (typeCode(word) == TcEmbedded) {
            if (depth + 1 >= kMaxNesting)
                fail(QStringLiteral("datasets nested too deeply"), start);
            auto child = std::make_unique<Layout>();
            for (quint32 i = 0; i < typeUnits(word); ++i) {
                if (columnsLeft_ <= 0)
                    fail(QStringLiteral("nested field '%1' has more fields than the header counts").arg(def.name));
                readDescriptor(*child, depth + 1);
            }
            readParams(*child, -1);
            finishLayout(*child);
            level.nested.back() = std::move(child);
        }
    }

    void readParams(Layout& level, int field)
    {
        const quint16 count = take<quint16>(field < 0 ? "table parameters" : "field parameters");
        for (quint16 i = 0; i < count; ++i) {
            PacketParam param;
            param.field = field;
            const quint8 nameLength = take<quint8>("parameter");
            need(nameLength, "parameter");
            param.name = QByteArray(p_ + pos_, nameLength);
            pos_ += nameLength;
            param.typeWord = take<quint32>("parameter");
            const qsizetype valueStart = pos_;
            const quint32 units = typeUnits(param.typeWord);
            if (param.typeWord & kArrayParam) {
                const quint32 n = take<quint32>("parameter");
                need(qint64(n) * units, "parameter");
                pos_ += qint64(n) * units;
            } else if (param.typeWord & kVarying) {
                if (units != 1 && units != 2 && units != 4)
                    fail(
                        QStringLiteral("parameter %1 has an invalid length size").arg(QString::fromLatin1(param.name)));
                need(units, "parameter");
                const quint32 length = units == 1 ? quint8(p_[pos_])
                                       : units == 2 ? qFromLittleEndian<quint16>(p_ + pos_)
                                                    : qFromLittleEndian<quint32>(p_ + pos_);
                pos_ += units;
                need(length, "parameter");
                pos_ += length;
            } else {
                need(units, "parameter");
                pos_ += units;
            }
            param.raw = QByteArray(p_ + valueStart, pos_ - valueStart);
            // A NUL ends a name or a text for the host: one inside is corruption.
            if (param.name.contains('\0')
                || (typeCode(param.typeWord) == TcZString && paramString(param).contains('\0')))
                fail(QStringLiteral("NUL character in parameter '%1'").arg(QString::fromLatin1(param.name.left(40))),
                     valueStart);
            if (field < 0 && param.name == "CHANGE_LOG")
                level.changeLog = paramIntArray(param);
            level.params.append(std::move(param));
        }
    }

    void finishLayout(Layout& level)
    {
        const QList<FieldParams> all = located([&] { return fieldParamsOf(level.params, int(level.fields.size())); });
        for (qsizetype i = 0; i < level.fields.size(); ++i) {
            FieldDef& def = level.fields[i];
            const quint32 word = level.words[i];
            const FieldParams& params = all[i];
            if (!params.fullName.isEmpty())
                def.name = params.fullName;
            located([&] { applyFieldParams(def, fieldTypeFor(word, params.subtype, def.name), params); });
            if (def.type == FieldType::Bytes)  // the values hold exactly this many bytes
                def.size = int(typeUnits(word));
            if (const auto& child = level.nested[i])
                def.children = child->fields;
        }
    }

    void readRow(const Layout& level, StoredRows& stored, int depth)
    {
        const qsizetype fieldCount = level.fields.size();
        const quint8 state = take<quint8>("row");
        const qsizetype bitmapSize = (fieldCount + 3) / 4;
        need(bitmapSize, "row");
        const char* bitmap = p_ + pos_;
        pos_ += bitmapSize;
        QVariantList row(fieldCount);
        QVariant* values = row.data();
        for (qsizetype f = 0; f < fieldCount; ++f) {
            const int bits = (quint8(bitmap[f / 4]) >> ((f % 4) * 2)) & 3;
            if (bits & 1)
                continue;  // null
            if (bits & 2) {
                stored.markUnchanged(int(f), int(fieldCount));
                continue;
            }
            const qsizetype at = pos_;
            values[f] = readValue(level, int(f), depth);
            if (!textSurelyFits(level.fields[f], pos_ - at))
                checkFits(level.fields[f], values[f], at);
        }
        stored.append(std::move(row), state);
    }

    void checkFits(const FieldDef& def, QVariant& value, qsizetype at) const
    {
        located([&] { checkValueFits(def, value); }, at);
    }

    quint32 readLength(int prefix, const char* what)
    {
        need(prefix, what);
        const quint32 n = prefix == 1 ? quint8(p_[pos_])
                          : prefix == 2 ? qFromLittleEndian<quint16>(p_ + pos_)
                                        : qFromLittleEndian<quint32>(p_ + pos_);
        pos_ += prefix;
        return n;
    }

    // Bytes of a text or binary value: length-prefixed when varying, else fixed.
    QByteArrayView bytesOf(quint32 word, const char* what, bool* notIncluded = nullptr)
    {
        quint32 n = typeUnits(word);
        if (word & kVarying) {
            n = readLength(int(n), what);
            if (notIncluded && (n & 0x80000000u)) {
                *notIncluded = true;
                return {};
            }
        }
        need(n, what);
        QByteArrayView view(p_ + pos_, n);
        pos_ += n;
        return view;
    }

    QVariant readValue(const Layout& level, int f, int depth)
    {
        const quint32 word = level.words[f];
        const FieldDef& def = level.fields[f];
        const int units = int(typeUnits(word));
        switch (def.type) {
        case FieldType::String:
        case FieldType::FixedChar:
            return readText(word, def.name);
        case FieldType::WideString:
            return readWideText(word, def.name);
        case FieldType::ShortInt:
        case FieldType::SmallInt:
        case FieldType::Integer:
        case FieldType::Byte:
        case FieldType::Word:
        case FieldType::LongWord:
        case FieldType::LargeInt:
            return readInteger(word, def.type);
        case FieldType::Boolean:
            return readBoolean(units);
        case FieldType::Single:
        case FieldType::Float:
        case FieldType::Currency:
            return readFloat(def.type, units);
        case FieldType::Bcd:
        case FieldType::FmtBcd:
            return readBcd(units, def.name);
        case FieldType::Date:
            return dateFromDayNumber(take<qint32>("date value"));
        case FieldType::Time:
            return readTime(def.name);
        case FieldType::DateTime:
            return readTimeStamp(def.name);
        case FieldType::TimeStamp:
            return readSqlTimeStamp(units, def.name);
        case FieldType::Memo:
        case FieldType::WideMemo:
            return readMemo(word, def);
        case FieldType::Bytes:
        case FieldType::VarBytes:
        case FieldType::Blob:
        case FieldType::Graphic:
            return readBytes(word);
        case FieldType::DataSet:
            return readNested(level, f, depth);
        }
        fail(QStringLiteral("unreadable value"));
    }

    // The bytes of an 8-bit text, without the padding of a fixed-size one.
    QByteArrayView textBytes(quint32 word)
    {
        const QByteArrayView b = bytesOf(word, "text value");
        const qsizetype padding = word & kVarying ? -1 : b.indexOf('\0');
        return padding >= 0 ? b.first(padding) : b;
    }

    QVariant readText(quint32 word, const QString& field)
    {
        const QByteArrayView b = textBytes(word);
        QVariant text = texts_.cp1252(b);
        if (!text.isValid())
            checkNoNul(b, field, false);  // says where the NUL is
        return text;
    }

    QVariant readWideText(quint32 word, const QString& field)
    {
        const QByteArrayView b = bytesOf(word, "text value");
        if (word & kVarying)
            checkNoNul(b, field, true);
        return fromUtf16Le(b, !(word & kVarying));
    }

    QVariant readInteger(quint32 word, FieldType type)
    {
        const int units = int(typeUnits(word));
        need(units, "integer value");
        quint64 v = 0;
        for (int i = units - 1; i >= 0; --i)
            v = (v << 8) | quint8(p_[pos_ + i]);
        pos_ += units;
        qint64 value = qint64(v);
        if (typeCode(word) == TcInt && units < 8) {
            const quint64 sign = quint64(1) << (8 * units - 1);
            value = qint64((v ^ sign) - sign);
        }
        if (isWideInteger(type))
            return QVariant(value);
        return QVariant(int(value));
    }

    QVariant readBoolean(int units)
    {
        need(units, "boolean value");
        bool v = false;
        for (int i = 0; i < units; ++i)
            v = v || p_[pos_ + i];
        pos_ += units;
        return v;
    }

    QVariant readFloat(FieldType type, int units)
    {
        if (type == FieldType::Single)
            return double(take<float>("float value"));
        if (units == 10) {
            need(10, "float value");
            pos_ += 10;
            return fromExtended(p_ + pos_ - 10);
        }
        return take<double>("float value");
    }

    QVariant readBcd(int units, const QString& field)
    {
        need(units, "decimal value");
        const auto v = decodeBcd(p_ + pos_, units);
        if (!v)
            fail(QStringLiteral("malformed decimal value in field '%1'").arg(field));
        pos_ += units;
        return *v;
    }

    QVariant readTime(const QString& field)
    {
        const qint32 ms = take<qint32>("time value");
        if (ms < 0 || ms >= kMsPerDay)
            fail(QStringLiteral("time value out of range in field '%1'").arg(field), pos_ - 4);
        return QTime::fromMSecsSinceStartOfDay(ms);
    }

    // A memo whose length has its top bit set was left out of the packet: null here.
    QVariant readMemo(quint32 word, const FieldDef& def)
    {
        bool notIncluded = false;
        const QByteArrayView b = bytesOf(word, "memo value", &notIncluded);
        const bool wide = def.type == FieldType::WideMemo;
        checkNoNul(b, def.name, wide);
        if (notIncluded)
            return QVariant();
        return wide ? QVariant(fromUtf16Le(b, false)) : texts_.cp1252(b);
    }

    QVariant readBytes(quint32 word)
    {
        bool notIncluded = false;
        const QByteArrayView b = bytesOf(word, "binary value", &notIncluded);
        return notIncluded ? QVariant() : QVariant(b.toByteArray());
    }

    // A NUL inside a text ends it for the host; a text holding one is corrupt.
    void checkNoNul(QByteArrayView b, const QString& field, bool utf16) const
    {
        qsizetype at = -1;
        if (!utf16)
            at = b.indexOf('\0');
        for (qsizetype i = 0; utf16 && at < 0 && i + 1 < b.size(); i += 2)
            if (b[i] == '\0' && b[i + 1] == '\0')
                at = i;
        if (at >= 0)
            fail(QStringLiteral("NUL character in the text of field '%1'").arg(field), b.data() - p_ + at);
    }

    QVariant readTimeStamp(const QString& field)
    {
        const double ms = take<double>("date-time value");
        // Beyond about 292 million years the day number no longer fits; such a value is corrupt.
        if (!std::isfinite(ms) || std::fabs(ms) > 9.0e18)
            fail(QStringLiteral("date-time value out of range in field '%1'").arg(field), pos_ - 8);
        double days = std::floor(ms / double(kMsPerDay));
        qint64 msOfDay = std::llround(ms - days * double(kMsPerDay));
        if (msOfDay >= kMsPerDay) {
            days += 1;
            msOfDay -= kMsPerDay;
        }
        return QDateTime(dateFromDayNumber(qint64(days)), QTime::fromMSecsSinceStartOfDay(int(msOfDay)));
    }

    QVariant readSqlTimeStamp(int units, const QString& field)
    {
        need(units, "date-time value");
        const char* b = p_ + pos_;
        pos_ += units;
        const QDate date(qFromLittleEndian<qint16>(b), qFromLittleEndian<quint16>(b + 2),
                         qFromLittleEndian<quint16>(b + 4));
        const QTime time(qFromLittleEndian<quint16>(b + 6), qFromLittleEndian<quint16>(b + 8),
                         qFromLittleEndian<quint16>(b + 10), int(qFromLittleEndian<quint32>(b + 12) % 1000));
        if (!date.isValid() || !time.isValid())
            fail(QStringLiteral("invalid date-time value in field '%1'").arg(field), pos_ - units);
        return QDateTime(date, time);
    }

    QVariant readNested(const Layout& level, int f, int depth)
    {
        const Layout& child = *level.nested[f];
        const quint32 count = take<quint32>("nested rows");
        StoredRows stored;
        for (quint32 r = 0; r < count; ++r)
            readRow(child, stored, depth + 1);  // each row consumes input, so count is bounded
        DataPacket packet;
        packet.fields = child.fields;
        packet.params = child.params;
        packet.rows = resolveRows(std::move(stored), child.changeLog);
        return QVariant::fromValue(packet);
    }

    const QByteArray bytes_;
    const char* p_;
    qsizetype size_;
    qsizetype pos_ = 0;
    QString source_;
    qint64 columnsLeft_ = 0;
    quint32 rowCount_ = 0;
    TextArena texts_;
};

}  // namespace

DataPacket readBinaryPacket(const QByteArray& bytes, const QString& source)
{
    return BinaryReader(bytes, source).read();
}

bool loadBinaryPacket(const QByteArray& bytes, const QString& source, DataPacket& shape, detail::RowStore& store)
{
    return BinaryReader(bytes, source).readInto(shape, store);
}

}  // namespace platform::packet
