// Writer of the binary packet encoding, in the host's own layout: header, field
// descriptors with their parameters, table parameters, then rows without a change log.

#include "platform/dataset/BinaryPacketBuilder.h"
#include "platform/dataset/PacketCodec.h"
#include "platform/dataset/PacketEncodings.h"
#include "platform/dataset/RowStore.h"

#include "platform/Error.h"

#include <QDateTime>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform::packet {

namespace {

constexpr int kMaxShortName = 31;

template <typename T>
void put(QByteArray& out, T v)
{
    char b[sizeof(T)];
    qToLittleEndian(v, b);
    out.append(b, sizeof(T));
}

// Characters below U+0100 but for U+0080-U+009F are the same byte in Windows-1252 as in
// Latin-1: those are narrowed to `out`, eight at a time; false when another occurs.
bool narrowToCp1252(char* out, const char16_t* in, qsizetype n)
{
    const auto other = [](char16_t c) { return c > 0xFF || (c & 0xFFE0) == 0x80; };
#if defined(__SSE2__)
    if (n >= 8) {
        // The last eight overlap those before: the texts are mostly short.
        const __m128i high = _mm_set1_epi16(short(0xFF00)), top = _mm_set1_epi16(short(0xFFE0)),
                      c1 = _mm_set1_epi16(0x80);
        __m128i bad = _mm_setzero_si128();
        for (qsizetype i = 0;; i += 8) {
            i = qMin(i, n - 8);
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            bad = _mm_or_si128(bad, _mm_cmpeq_epi16(_mm_and_si128(v, top), c1));
            bad = _mm_or_si128(bad, _mm_and_si128(v, high));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(v, v));
            if (i == n - 8)
                break;
        }
        return _mm_movemask_epi8(_mm_cmpeq_epi8(bad, _mm_setzero_si128())) == 0xFFFF;  // no bit set
    }
#endif
    for (qsizetype i = 0; i < n; ++i) {
        if (other(in[i]))
            return false;
        out[i] = char(in[i]);
    }
    return true;
}

bool isNullValue(const QVariant& v)
{
    return !v.isValid() || v.metaType().id() == QMetaType::Nullptr;
}

[[noreturn]] void badValue(const FieldDef& def, const QVariant& v)
{
    throw PacketError(QStringLiteral("field '%1': value '%2' cannot be stored as %3")
                          .arg(def.name, v.toString().left(40), QString::fromLatin1(xmlTypeNameOf(def.type))));
}

qint64 toInteger(const FieldDef& def, const QVariant& v)
{
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    if (!ok) {
        const double d = v.toDouble(&ok);
        if (!ok || !std::isfinite(d) || d != std::trunc(d))
            badValue(def, v);
        return qint64(d);
    }
    return n;
}

double toDouble(const FieldDef& def, const QVariant& v)
{
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        badValue(def, v);
    return d;
}

QDateTime toDateTime(const FieldDef& def, const QVariant& v)
{
    QDateTime dt = v.toDateTime();
    if (!dt.isValid() && v.metaType().id() == QMetaType::QDate && v.toDate().isValid())
        dt = QDateTime(v.toDate(), QTime(0, 0));
    if (!dt.isValid())
        badValue(def, v);
    return dt;
}

// Text cut to the field's size, as a dataset keeps it.
QString fittedText(const FieldDef& def, const QVariant& v)
{
    QString s = v.toString();
    if (def.size > 0 && s.size() > def.size)
        s.truncate(def.size);
    return s;
}

// A length prefix of 1, 2 or (any other size given) 4 bytes.
int lengthSizeOf(int prefix)
{
    return prefix == 1 || prefix == 2 ? prefix : 4;
}

void storeLength(char* at, int prefix, quint32 n)
{
    if (prefix == 1)
        *at = char(n);
    else if (prefix == 2)
        qToLittleEndian<quint16>(quint16(n), at);
    else
        qToLittleEndian<quint32>(n, at);
}

// A field's room for one text in the rows (none for a field that is no text).
BinaryPacketBuilder::TextRoom textRoomOf(const FieldDef& def, quint32 word)
{
    if (traitsOf(def.type).binaryCode != TcZString)
        return {};
    const int prefix = int(typeUnits(word));
    qsizetype limit = prefix == 1 ? 0xFF : prefix == 2 ? 0xFFFF : 0x7FFFFFFF;
    if (def.size > 0)
        limit = qMin<qsizetype>(limit, def.size);
    return {qint32(limit), quint8(lengthSizeOf(prefix))};
}

// Copies the bytes of `in` up to the first that is not ASCII (at most n) to `out`, eight
// at a time, the last eight overlapping those before; how many were copied.
qsizetype copyAscii(const char* in, qsizetype n, char* out)
{
    constexpr quint64 kHigh = 0x8080808080808080ULL;
    if (n < 8) {
        qsizetype i = 0;
        for (; i < n && quint8(in[i]) < 0x80; ++i)
            out[i] = in[i];
        return i;
    }
    quint64 w;
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        std::memcpy(&w, in + i, 8);
        if (w & kHigh)
            return i;
        std::memcpy(out + i, &w, 8);
    }
    if (i < n) {
        std::memcpy(&w, in + n - 8, 8);
        if (w & kHigh)
            return i;
        std::memcpy(out + n - 8, &w, 8);
    }
    return n;
}

void putLength(QByteArray& out, int prefix, quint32 n)
{
    char b[4];
    storeLength(b, prefix, n);
    out.append(b, lengthSizeOf(prefix));
}

void putBytes(QByteArray& out, int prefix, QByteArrayView bytes)
{
    const qsizetype max = prefix == 1 ? 0xFF : prefix == 2 ? 0xFFFF : 0x7FFFFFFF;
    const QByteArrayView b = bytes.first(qMin(bytes.size(), max));
    putLength(out, prefix, quint32(b.size()));
    out.append(b.data(), b.size());
}

bool usesNesting(const FieldDefs& fields)
{
    for (const FieldDef& f : fields)
        if (f.type == FieldType::DataSet)
            return true;
    return false;
}

int countColumns(const FieldDefs& fields)
{
    int n = 0;
    for (const FieldDef& f : fields)
        n += 1 + (f.type == FieldType::DataSet ? countColumns(f.children) : 0);
    if (n > 0xFFFF)
        throw PacketError(QStringLiteral("a packet holds at most 65535 fields"));
    return n;
}

void writeParams(QByteArray& out, const QList<PacketParam>& params)
{
    put<quint16>(out, quint16(params.size()));
    for (const PacketParam& p : params) {
        const QByteArray name = p.name.left(255);
        out.append(char(name.size()));
        out.append(name);
        put<quint32>(out, p.typeWord);
        out.append(p.raw);
    }
}

void writeLevel(QByteArray& out, const DataPacket& level, int depth)
{
    const QList<QList<PacketParam>> stored = fieldParamGroups(level.params, int(level.fields.size()));
    for (int i = 0; i < level.fields.size(); ++i) {
        const FieldDef& def = level.fields[i];
        QByteArray name = def.name.toUtf8();
        if (name.size() > kMaxShortName) {  // the full name travels in FIELDNAME
            name.truncate(kMaxShortName);
            while (!name.isEmpty() && !isValidUtf8(name.constData(), name.size()))
                name.chop(1);
        }
        out.append(char(name.size()));
        out.append(name);
        put<quint32>(out, typeWordFor(def));
        put<quint16>(out, quint16((def.hidden ? kAttrHidden : 0) | (def.readOnly ? kAttrReadOnly : 0)
                                  | (def.required ? kAttrRequired : 0)));
        writeParams(out, paramsForField(def, i, stored[i]));
        if (def.type == FieldType::DataSet) {
            DataPacket child;
            child.fields = def.children;
            writeLevel(out, child, depth + 1);
        }
    }
    // Nested levels carry no table parameters of their own here.
    writeParams(out, depth == 0 ? tableParams(level) : QList<PacketParam>());
}

// Text straight into the output, its length prefix patched afterwards.
void putText(QByteArray& out, const FieldDef& def, int prefix, const QVariant& v)
{
    const QString converted = v.metaType().id() == QMetaType::QString ? QString() : v.toString();
    QStringView text = v.metaType().id() == QMetaType::QString
                           ? QStringView(*static_cast<const QString*>(v.constData()))
                           : QStringView(converted);
    if (def.size > 0 && text.size() > def.size)
        text = text.first(def.size);
    const qsizetype max = prefix == 1 ? 0xFF : prefix == 2 ? 0xFFFF : 0x7FFFFFFF;
    const qsizetype at = out.size();
    putLength(out, prefix, 0);
    appendCp1252(out, text);
    qsizetype n = out.size() - at - prefix;
    if (n > max) {
        out.truncate(at + prefix + max);
        n = max;
    }
    storeLength(out.data() + at, prefix, quint32(n));
}

void writeRow(QByteArray& out, const FieldDefs& fields, const QVariantList& row);

void writeNested(QByteArray& out, const FieldDef& def, const QVariant& v)
{
    if (!v.canConvert<DataPacket>())
        badValue(def, v);
    const DataPacket child = v.value<DataPacket>();
    put<quint32>(out, quint32(child.rows.size()));
    for (const QVariantList& row : child.rows)
        writeRow(out, def.children, row);
}

// Dates as day numbers, times as milliseconds of the day, date-times as milliseconds
// since day zero, SQL time stamps as their parts.
void writeDateOrTime(QByteArray& out, const FieldDef& def, const QVariant& v)
{
    switch (def.type) {
    case FieldType::Date: {
        const QDate d = v.metaType().id() == QMetaType::QDateTime ? v.toDateTime().date() : v.toDate();
        if (!d.isValid())
            badValue(def, v);
        return put<qint32>(out, qint32(dayNumberOf(d)));
    }
    case FieldType::Time: {
        const QTime t = v.metaType().id() == QMetaType::QDateTime ? v.toDateTime().time() : v.toTime();
        if (!t.isValid())
            badValue(def, v);
        return put<qint32>(out, t.msecsSinceStartOfDay());
    }
    case FieldType::DateTime: {
        const QDateTime dt = toDateTime(def, v);
        return put<double>(out, double(dayNumberOf(dt.date()) * kMsPerDay + dt.time().msecsSinceStartOfDay()));
    }
    case FieldType::TimeStamp: {
        const QDateTime dt = toDateTime(def, v);
        put<qint16>(out, qint16(dt.date().year()));
        put<quint16>(out, quint16(dt.date().month()));
        put<quint16>(out, quint16(dt.date().day()));
        put<quint16>(out, quint16(dt.time().hour()));
        put<quint16>(out, quint16(dt.time().minute()));
        put<quint16>(out, quint16(dt.time().second()));
        return put<quint32>(out, quint32(dt.time().msec()));
    }
    default:
        break;
    }
}

void writeValue(QByteArray& out, const FieldDef& def, quint32 word, const QVariant& v)
{
    const int units = int(typeUnits(word));
    switch (def.type) {
    case FieldType::String:
    case FieldType::FixedChar:
        return putText(out, def, units, v);
    case FieldType::WideString:
        return putBytes(out, units, toUtf16Le(fittedText(def, v)));
    case FieldType::ShortInt: return put<qint8>(out, qint8(toInteger(def, v)));
    case FieldType::SmallInt: return put<qint16>(out, qint16(toInteger(def, v)));
    case FieldType::Integer: return put<qint32>(out, qint32(toInteger(def, v)));
    case FieldType::LargeInt: return put<qint64>(out, toInteger(def, v));
    case FieldType::Byte: return put<quint8>(out, quint8(toInteger(def, v)));
    case FieldType::Word: return put<quint16>(out, quint16(toInteger(def, v)));
    case FieldType::LongWord: return put<quint32>(out, quint32(toInteger(def, v)));
    case FieldType::Boolean: return put<quint16>(out, v.toBool() ? 1 : 0);
    case FieldType::Single: return put<float>(out, float(toDouble(def, v)));
    case FieldType::Float:
    case FieldType::Currency: return put<double>(out, toDouble(def, v));
    case FieldType::Bcd:
    case FieldType::FmtBcd:
        out.append(encodeBcd(toDouble(def, v), def.size, def.decimals, units, def.name));
        return;
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::DateTime:
    case FieldType::TimeStamp: return writeDateOrTime(out, def, v);
    case FieldType::Memo: return putBytes(out, 4, toCp1252(v.toString()));
    case FieldType::WideMemo: return putBytes(out, 4, toUtf16Le(v.toString()));
    case FieldType::Bytes: {
        QByteArray b = v.toByteArray();
        b.resize(units, '\0');
        out.append(b);
        return;
    }
    case FieldType::VarBytes:
    case FieldType::Blob:
    case FieldType::Graphic: return putBytes(out, units, v.toByteArray());
    case FieldType::DataSet: return writeNested(out, def, v);
    }
}

// A row of a nested dataset (the top level goes through the builder).
void writeRow(QByteArray& out, const FieldDefs& fields, const QVariantList& row)
{
    out.append('\0');  // row state: unmodified
    const qsizetype bitmapAt = out.size();
    out.append(QByteArray((fields.size() + 3) / 4, '\0'));
    static const QVariant kNull;
    for (qsizetype f = 0; f < fields.size(); ++f) {
        const QVariant& value = f < row.size() ? row[f] : kNull;
        if (isNullValue(value)) {
            out[bitmapAt + f / 4] = char(quint8(out[bitmapAt + f / 4]) | (1 << ((f % 4) * 2)));
            continue;
        }
        writeValue(out, fields[f], typeWordFor(fields[f]), value);
    }
}

// Rows held as columns: the texts go from the pools into the bytes without a variant.
void writeColumns(BinaryPacketBuilder& builder, const detail::RowStore& columns)
{
    const int fieldCount = columns.columnCount();
    for (quint32 r = 0; r < columns.rowCount(); ++r) {
        builder.beginRow();
        for (int f = 0; f < fieldCount; ++f) {
            const detail::Column& column = columns.column(f);
            QAnyStringView text;
            if (!column.isText())
                builder.putValue(column.get(r));
            else if (!column.textAt(r, text))
                builder.putNull();
            else if (!text.visit([&](auto view) {
                         if constexpr (std::is_same_v<decltype(view), QStringView>
                                       || std::is_same_v<decltype(view), QLatin1StringView>)
                             return builder.putText(view);
                         else
                             return false;  // the columns hold no UTF-8
                     }))
                builder.putValue(text.toString());
        }
    }
}

}  // namespace

QByteArray writeBinaryPacket(const DataPacket& packet)
{
    BinaryPacketBuilder builder(packet);
    const detail::RowStore* columns = packet.rows.columns();
    if (columns && columns->matches(packet.fields)) {
        writeColumns(builder, *columns);
        return builder.finish();
    }
    static const QVariant kNull;
    const qsizetype fieldCount = packet.fields.size();
    for (const QVariantList& row : std::as_const(packet.rows)) {
        builder.beginRow();
        for (qsizetype f = 0; f < fieldCount; ++f)
            builder.putValue(f < row.size() ? row[f] : kNull);
    }
    return builder.finish();
}

}  // namespace platform::packet

namespace platform {

using namespace packet;

BinaryPacketBuilder::BinaryPacketBuilder(const DataPacket& shape) : fields_(shape.fields)
{
    words_.reserve(size_t(fields_.size()));
    nullUnlessCp1252_.assign(size_t(fields_.size()), false);
    for (const FieldDef& def : std::as_const(fields_)) {
        words_.push_back(typeWordFor(def));
        textRooms_.push_back(textRoomOf(def, words_.back()));
    }
    out_.reserve(4096);
    out_.append("\x96\x19\xE0\xBD", 4);
    put<quint16>(out_, usesNesting(fields_) ? 2 : 1);
    put<quint16>(out_, 0);
    put<quint32>(out_, 24);
    put<quint16>(out_, quint16(countColumns(fields_)));
    put<quint32>(out_, 0);  // row count, filled in by finish()
    put<quint32>(out_, 3);
    put<quint16>(out_, 0);  // data offset, patched below
    writeLevel(out_, shape, 0);
    if (out_.size() <= 0xFFFF)
        qToLittleEndian<quint16>(quint16(out_.size()), out_.data() + 22);
    else
        qToLittleEndian<quint32>(1, out_.data() + 18);  // offset does not fit: readers walk the metadata
    used_ = out_.size();
}

char* BinaryPacketBuilder::extend(qsizetype n)
{
    // The rows are written through a pointer into a buffer grown by doubling (its size
    // runs ahead of the bytes written, used_): the rows' small values would otherwise
    // each pay for a general append.
    if (out_.size() - used_ < n)
        out_.resize(qMax(2 * out_.size(), used_ + n));
    char* p = out_.data() + used_;
    used_ += n;
    return p;
}

void BinaryPacketBuilder::checkField() const
{
    if (bitmapAt_ < 0 || field_ >= fields_.size())
        throw PacketError(QStringLiteral("a row is given more values than the packet has fields"));
}

// The writing of a text field's length prefix, after its characters.
void BinaryPacketBuilder::finishText(qsizetype at, int lengthSize, qsizetype n)
{
    used_ = at + lengthSize + n;
    storeLength(out_.data() + at, lengthSize, quint32(n));
    ++field_;
}

void BinaryPacketBuilder::reserve(qsizetype bytes)
{
    if (out_.size() - used_ < bytes)
        out_.resize(used_ + bytes);
}

void BinaryPacketBuilder::checkRowComplete() const
{
    if (bitmapAt_ >= 0 && field_ != fields_.size())
        throw PacketError(QStringLiteral("a row is given %1 values for %2 fields").arg(field_).arg(fields_.size()));
}

void BinaryPacketBuilder::beginRow()
{
    checkRowComplete();
    const qsizetype bitmapSize = (fields_.size() + 3) / 4;
    char* p = extend(1 + bitmapSize);
    std::memset(p, 0, size_t(1 + bitmapSize));  // row state unmodified, no nulls yet
    bitmapAt_ = used_ - bitmapSize;
    field_ = 0;
    ++rows_;
}

void BinaryPacketBuilder::putNull()
{
    checkField();
    char& bits = out_.data()[bitmapAt_ + field_ / 4];
    bits = char(quint8(bits) | (1 << ((field_ % 4) * 2)));
    ++field_;
}

void BinaryPacketBuilder::setNullUnlessCp1252(int field)
{
    if (field >= 0 && field < fields_.size())
        nullUnlessCp1252_[size_t(field)] = true;
}

void BinaryPacketBuilder::putValue(const QVariant& value)
{
    const int typeId = value.data_ptr().typeId();  // inline: no call into the library a value
    if (typeId == QMetaType::UnknownType || typeId == QMetaType::Nullptr)
        return putNull();
    checkField();
    if (typeId == QMetaType::QString) {
        const QString& text = *static_cast<const QString*>(value.constData());
        if (nullUnlessCp1252_[size_t(field_)] && fromCp1252(toCp1252(text)) != text)
            return putNull();
        if (putLatin1Text(text))
            return;
    }
    scratch_.clear();
    writeValue(scratch_, fields_[field_], words_[size_t(field_)], value);
    std::memcpy(extend(scratch_.size()), scratch_.constData(), size_t(scratch_.size()));
    ++field_;
}

bool BinaryPacketBuilder::putText(QStringView text)
{
    checkField();
    return !nullUnlessCp1252_[size_t(field_)] && putLatin1Text(text);
}

bool BinaryPacketBuilder::putLatin1Text(QStringView text)
{
    const FieldDef& def = fields_[field_];
    if (traitsOf(def.type).binaryCode != TcZString)
        return false;
    const int prefix = int(typeUnits(words_[size_t(field_)]));
    const int lengthSize = lengthSizeOf(prefix);
    qsizetype n = qMin<qsizetype>(text.size(), prefix == 1 ? 0xFF : prefix == 2 ? 0xFFFF : 0x7FFFFFFF);
    if (def.size > 0)
        n = qMin<qsizetype>(n, def.size);
    const qsizetype at = used_;
    if (!narrowToCp1252(extend(lengthSize + n) + lengthSize, text.utf16(), n)) {
        used_ = at;
        return false;
    }
    finishText(at, lengthSize, n);
    return true;
}

bool BinaryPacketBuilder::putText(QLatin1StringView text)
{
    checkField();
    const TextRoom room = textRooms_[size_t(field_)];
    if (room.lengthSize == 0 || nullUnlessCp1252_[size_t(field_)])
        return false;
    const qsizetype n = qMin<qsizetype>(text.size(), room.limit);
    const qsizetype at = used_;
    char* o = extend(room.lengthSize + n) + room.lengthSize;
    for (qsizetype i = 0; i < n; ++i) {
        const auto c = quint8(text[i].toLatin1());
        if (c >= 0x80 && c < 0xA0) {  // Windows-1252 holds other characters there
            used_ = at;
            return false;
        }
        o[i] = char(c);
    }
    finishText(at, room.lengthSize, n);
    return true;
}

bool BinaryPacketBuilder::putUtf8Text(const char* data, qsizetype size)
{
    checkField();
    const TextRoom room = textRooms_[size_t(field_)];
    if (room.lengthSize == 0)
        return false;
    const qsizetype limit = qMin<qsizetype>(size, room.limit);  // characters; here one byte each
    const qsizetype at = used_;
    char* o = extend(room.lengthSize + limit) + room.lengthSize;
    qsizetype n = copyAscii(data, limit, o);
    for (qsizetype i = n; i < size && n < limit; ++n) {
        const auto c = quint8(data[i]);
        if (c < 0x80) {
            o[n] = char(c);
            ++i;
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < size && (quint8(data[i + 1]) & 0xC0) == 0x80
                   && (c == 0xC3 || quint8(data[i + 1]) >= 0xA0)) {
            // U+00A0..U+00FF, the accented letters: the same byte in Windows-1252.
            o[n] = char(((c & 0x03) << 6) | (quint8(data[i + 1]) & 0x3F));
            i += 2;
        } else {
            used_ = at;  // anything else takes the general conversion
            return false;
        }
    }
    finishText(at, room.lengthSize, n);
    return true;
}

bool BinaryPacketBuilder::putDouble(double value)
{
    checkField();
    const FieldType type = fields_[field_].type;
    if (type != FieldType::Float && type != FieldType::Currency)
        return false;
    qToLittleEndian<double>(value, extend(sizeof(double)));
    ++field_;
    return true;
}

QByteArray BinaryPacketBuilder::finish()
{
    checkRowComplete();
    qToLittleEndian<quint32>(rows_, out_.data() + 14);
    out_.resize(used_);
    out_.squeeze();
    return std::move(out_);
}

}  // namespace platform
