#pragma once
// Test helpers for packets. Bytes builds binary packets byte by byte, as the format note lays them out, so that the
// reader is tested against hand-made files rather than against our own writer.

#include "platform/dataset/FieldDef.h"

#include <QByteArray>
#include <QtEndian>

namespace packettest {

class Bytes {
public:
    Bytes& u8(int v) { out.append(char(v)); return *this; }
    Bytes& u16(int v) { return le<quint16>(quint16(v)); }
    Bytes& u32(quint32 v) { return le<quint32>(v); }
    Bytes& i32(qint32 v) { return le<qint32>(v); }
    Bytes& i64(qint64 v) { return le<qint64>(v); }
    Bytes& f64(double v) { return le<double>(v); }
    Bytes& raw(const QByteArray& b) { out.append(b); return *this; }
    // u8 length + bytes (names, short strings)
    Bytes& str(const QByteArray& s) { u8(int(s.size())); out.append(s); return *this; }

    // Header of 24 bytes; data offset patched by finishMetadata().
    Bytes& header(int columns, quint32 rows, int major = 1)
    {
        raw(QByteArray("\x96\x19\xE0\xBD", 4)).u16(major).u16(0).u32(24).u16(columns).u32(rows).u32(3).u16(0);
        return *this;
    }
    Bytes& finishMetadata()
    {
        qToLittleEndian<quint16>(quint16(out.size()), out.data() + 22);
        return *this;
    }
    // A field descriptor without params: name, type word, attrs, 0 params.
    Bytes& field(const QByteArray& name, quint32 word, int attrs = 0)
    {
        return str(name).u32(word).u16(attrs).u16(0);
    }
    // A field with one WIDTH param.
    Bytes& fieldWithWidth(const QByteArray& name, quint32 word, int width)
    {
        return str(name).u32(word).u16(0).u16(1).str("WIDTH").u32(0x00020002).u16(width);
    }
    Bytes& subtypeParam(const QByteArray& subtype)
    {
        return str("SUBTYPE").u32(0x00490002).u16(int(subtype.size() + 1)).raw(subtype).u8(0);
    }

    QByteArray out;

private:
    template <typename T>
    Bytes& le(T v)
    {
        char b[sizeof(T)];
        qToLittleEndian(v, b);
        out.append(b, sizeof(T));
        return *this;
    }
};

// A field definition in one line.
inline platform::FieldDef fieldDef(const QString& name, platform::FieldType type, int size = 0, int decimals = 0)
{
    platform::FieldDef d = platform::FieldDef::of(name, type, size);
    d.decimals = decimals;
    return d;
}

// Type words used by the tests.
constexpr quint32 kZString1 = 0x00490001;
constexpr quint32 kInt4 = 0x00010004;
constexpr quint32 kFloat8 = 0x00040008;
constexpr quint32 kBlob = 0x004B0004;

}  // namespace packettest
