// Writer of the binary packet encoding, in the host's own layout: header, field
// descriptors with their parameters, table parameters, then rows without a change log.

#include "platform/dataset/PacketCodec.h"
#include "platform/dataset/PacketEncodings.h"

#include "platform/Error.h"

#include <QDateTime>
#include <QtEndian>

#include <cmath>

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

void putLength(QByteArray& out, int prefix, quint32 n)
{
    if (prefix == 1)
        out.append(char(n));
    else if (prefix == 2)
        put<quint16>(out, quint16(n));
    else
        put<quint32>(out, n);
}

void putBytes(QByteArray& out, int prefix, QByteArrayView bytes)
{
    const qsizetype max = prefix == 1 ? 0xFF : prefix == 2 ? 0xFFFF : 0x7FFFFFFF;
    const QByteArrayView b = bytes.first(qMin(bytes.size(), max));
    putLength(out, prefix, quint32(b.size()));
    out.append(b.data(), b.size());
}

class BinaryWriter {
public:
    QByteArray write(const DataPacket& packet)
    {
        out_.reserve(4096);
        out_.append("\x96\x19\xE0\xBD", 4);
        put<quint16>(out_, usesNesting(packet.fields) ? 2 : 1);
        put<quint16>(out_, 0);
        put<quint32>(out_, 24);
        put<quint16>(out_, quint16(countColumns(packet.fields)));
        put<quint32>(out_, quint32(packet.rows.size()));
        put<quint32>(out_, 3);
        put<quint16>(out_, 0);  // data offset, patched below
        writeLevel(packet, 0);
        if (out_.size() <= 0xFFFF) {
            qToLittleEndian<quint16>(quint16(out_.size()), out_.data() + 22);
        } else {
            qToLittleEndian<quint32>(1, out_.data() + 18);  // offset does not fit: readers walk the metadata
        }
        for (const QVariantList& row : packet.rows)
            writeRow(packet.fields, row);
        return out_;
    }

private:
    static bool usesNesting(const FieldDefs& fields)
    {
        for (const FieldDef& f : fields)
            if (f.type == FieldType::DataSet)
                return true;
        return false;
    }

    static int countColumns(const FieldDefs& fields)
    {
        int n = 0;
        for (const FieldDef& f : fields)
            n += 1 + (f.type == FieldType::DataSet ? countColumns(f.children) : 0);
        if (n > 0xFFFF)
            throw PacketError(QStringLiteral("a packet holds at most 65535 fields"));
        return n;
    }

    void writeLevel(const DataPacket& level, int depth)
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
            out_.append(char(name.size()));
            out_.append(name);
            put<quint32>(out_, typeWordFor(def));
            put<quint16>(out_, quint16((def.hidden ? kAttrHidden : 0) | (def.readOnly ? kAttrReadOnly : 0)
                                       | (def.required ? kAttrRequired : 0)));
            writeParams(paramsForField(def, i, stored[i]));
            if (def.type == FieldType::DataSet) {
                DataPacket child;
                child.fields = def.children;
                writeLevel(child, depth + 1);
            }
        }
        // Nested levels carry no table parameters of their own here.
        writeParams(depth == 0 ? tableParams(level) : QList<PacketParam>());
    }

    void writeParams(const QList<PacketParam>& params)
    {
        put<quint16>(out_, quint16(params.size()));
        for (const PacketParam& p : params) {
            const QByteArray name = p.name.left(255);
            out_.append(char(name.size()));
            out_.append(name);
            put<quint32>(out_, p.typeWord);
            out_.append(p.raw);
        }
    }

    void writeRow(const FieldDefs& fields, const QVariantList& row)
    {
        out_.append('\0');  // row state: unmodified
        const qsizetype bitmapAt = out_.size();
        out_.append(QByteArray((fields.size() + 3) / 4, '\0'));
        static const QVariant kNull;
        for (qsizetype f = 0; f < fields.size(); ++f) {
            const QVariant& value = f < row.size() ? row[f] : kNull;
            if (isNullValue(value)) {
                out_[bitmapAt + f / 4] = char(quint8(out_[bitmapAt + f / 4]) | (1 << ((f % 4) * 2)));
                continue;
            }
            writeValue(fields[f], value);
        }
    }

    void writeValue(const FieldDef& def, const QVariant& v)
    {
        const quint32 word = typeWordFor(def);
        const int units = int(typeUnits(word));
        switch (def.type) {
        case FieldType::String:
        case FieldType::FixedChar:
            return putText(def, units, v);
        case FieldType::WideString:
            return putBytes(out_, units, toUtf16Le(fittedText(def, v)));
        case FieldType::ShortInt: return put<qint8>(out_, qint8(toInteger(def, v)));
        case FieldType::SmallInt: return put<qint16>(out_, qint16(toInteger(def, v)));
        case FieldType::Integer: return put<qint32>(out_, qint32(toInteger(def, v)));
        case FieldType::LargeInt: return put<qint64>(out_, toInteger(def, v));
        case FieldType::Byte: return put<quint8>(out_, quint8(toInteger(def, v)));
        case FieldType::Word: return put<quint16>(out_, quint16(toInteger(def, v)));
        case FieldType::LongWord: return put<quint32>(out_, quint32(toInteger(def, v)));
        case FieldType::Boolean: return put<quint16>(out_, v.toBool() ? 1 : 0);
        case FieldType::Single: return put<float>(out_, float(toDouble(def, v)));
        case FieldType::Float:
        case FieldType::Currency: return put<double>(out_, toDouble(def, v));
        case FieldType::Bcd:
        case FieldType::FmtBcd:
            out_.append(encodeBcd(toDouble(def, v), def.size, def.decimals, units, def.name));
            return;
        case FieldType::Date: {
            const QDate d = v.metaType().id() == QMetaType::QDateTime ? v.toDateTime().date() : v.toDate();
            if (!d.isValid())
                badValue(def, v);
            return put<qint32>(out_, qint32(dayNumberOf(d)));
        }
        case FieldType::Time: {
            const QTime t = v.metaType().id() == QMetaType::QDateTime ? v.toDateTime().time() : v.toTime();
            if (!t.isValid())
                badValue(def, v);
            return put<qint32>(out_, t.msecsSinceStartOfDay());
        }
        case FieldType::DateTime: {
            const QDateTime dt = toDateTime(def, v);
            return put<double>(out_, double(dayNumberOf(dt.date()) * kMsPerDay + dt.time().msecsSinceStartOfDay()));
        }
        case FieldType::TimeStamp: {
            const QDateTime dt = toDateTime(def, v);
            put<qint16>(out_, qint16(dt.date().year()));
            put<quint16>(out_, quint16(dt.date().month()));
            put<quint16>(out_, quint16(dt.date().day()));
            put<quint16>(out_, quint16(dt.time().hour()));
            put<quint16>(out_, quint16(dt.time().minute()));
            put<quint16>(out_, quint16(dt.time().second()));
            return put<quint32>(out_, quint32(dt.time().msec()));
        }
        case FieldType::Memo: return putBytes(out_, 4, toCp1252(v.toString()));
        case FieldType::WideMemo: return putBytes(out_, 4, toUtf16Le(v.toString()));
        case FieldType::Bytes: {
            QByteArray b = v.toByteArray();
            b.resize(units, '\0');
            out_.append(b);
            return;
        }
        case FieldType::VarBytes:
        case FieldType::Blob:
        case FieldType::Graphic: return putBytes(out_, units, v.toByteArray());
        case FieldType::DataSet: return writeNested(def, v);
        }
    }

    // Text straight into the output, its length prefix patched afterwards.
    void putText(const FieldDef& def, int prefix, const QVariant& v)
    {
        const QString converted = v.metaType().id() == QMetaType::QString ? QString() : v.toString();
        QStringView text = v.metaType().id() == QMetaType::QString
                               ? QStringView(*static_cast<const QString*>(v.constData()))
                               : QStringView(converted);
        if (def.size > 0 && text.size() > def.size)
            text = text.first(def.size);
        const qsizetype max = prefix == 1 ? 0xFF : prefix == 2 ? 0xFFFF : 0x7FFFFFFF;
        const qsizetype at = out_.size();
        putLength(out_, prefix, 0);
        appendCp1252(out_, text);
        qsizetype n = out_.size() - at - prefix;
        if (n > max) {
            out_.truncate(at + prefix + max);
            n = max;
        }
        char* length = out_.data() + at;
        if (prefix == 1)
            *length = char(n);
        else if (prefix == 2)
            qToLittleEndian<quint16>(quint16(n), length);
        else
            qToLittleEndian<quint32>(quint32(n), length);
    }

    void writeNested(const FieldDef& def, const QVariant& v)
    {
        if (!v.canConvert<DataPacket>())
            badValue(def, v);
        const DataPacket child = v.value<DataPacket>();
        put<quint32>(out_, quint32(child.rows.size()));
        for (const QVariantList& row : child.rows)
            writeRow(def.children, row);
    }

    QByteArray out_;
};

}  // namespace

QByteArray writeBinaryPacket(const DataPacket& packet)
{
    return BinaryWriter().write(packet);
}

}  // namespace platform::packet
