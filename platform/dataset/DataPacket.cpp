#include "platform/dataset/DataPacket.h"

#include "platform/dataset/PacketCodec.h"
#include "platform/dataset/PacketEncodings.h"
#include "platform/dataset/RegularFile.h"

#include "platform/Error.h"

#include <QSaveFile>

#include <atomic>

namespace platform {

namespace {

bool startsAsXml(const QByteArray& bytes)
{
    qsizetype i = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    return i < bytes.size() && bytes[i] == '<';
}

}  // namespace

int DataPacket::indexOf(const QString& name) const
{
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString xmlTypeName(FieldType type)
{
    return QString::fromLatin1(packet::xmlTypeNameOf(type));
}

QList<QByteArray> fieldSubtypes(const DataPacket& packet)
{
    QList<QByteArray> out(packet.fields.size());
    QList<bool> stored(packet.fields.size(), false);
    for (const PacketParam& p : packet.params)
        if (p.field >= 0 && p.field < out.size() && p.name == "SUBTYPE" && !stored[p.field]) {
            out[p.field] = packet::paramString(p);
            stored[p.field] = true;
        }
    for (qsizetype f = 0; f < out.size(); ++f)
        if (!stored[f])
            out[f] = packet::defaultSubtype(packet.fields[f].type);
    return out;
}

QByteArray fieldSubtype(const DataPacket& packet, int field)
{
    for (const PacketParam& p : packet.params)
        if (p.field == field && p.name == "SUBTYPE")
            return packet::paramString(p);
    return field >= 0 && field < packet.fields.size() ? packet::defaultSubtype(packet.fields[field].type)
                                                        : QByteArray();
}

namespace {

std::atomic<qint64> sizeLimit{0};  // 0: not set yet

QString tooLarge(const QString& source, qint64 size)
{
    return QStringLiteral("%1: %2 bytes, more than the %3 bytes a data packet may have")
        .arg(source)
        .arg(size)
        .arg(packetSizeLimit());
}

}  // namespace

qint64 packetSizeLimit()
{
    // Configuration reaches the system through its callers, never the environment: a
    // program that reads larger packets (a tool) sets its own limit.
    if (const qint64 set = sizeLimit.load())
        return set;
    return qint64(256) * 1024 * 1024;
}

void setPacketSizeLimit(qint64 bytes)
{
    sizeLimit.store(qMax<qint64>(1, bytes));
}

DataPacket readPacket(const QByteArray& bytes, const QString& source)
{
    if (bytes.isEmpty())
        return {};
    if (bytes.size() > packetSizeLimit())
        throw PacketError(tooLarge(source, bytes.size()));
    if (packet::hasBinarySignature(bytes))
        return packet::readBinaryPacket(bytes, source);
    if (startsAsXml(bytes))
        return packet::readXmlPacket(bytes, source);
    throw PacketError(QStringLiteral("%1: not a data packet (neither the binary signature nor XML)").arg(source));
}

DataPacket readPacketFile(const QString& path)
{
    // Only a regular file is read, and one above the ceiling is refused before it is.
    const RegularFile file = readRegularFile(path, packetSizeLimit());
    switch (file.outcome) {
    case RegularFile::Outcome::Read: break;
    case RegularFile::Outcome::Missing: throw PacketError(QStringLiteral("%1: file not found").arg(path));
    case RegularFile::Outcome::NotRegular:
        throw PacketError(QStringLiteral("%1: %2, not a data packet file").arg(path, file.why));
    case RegularFile::Outcome::TooLarge: throw PacketError(tooLarge(path, file.size));
    case RegularFile::Outcome::Unreadable:
        throw PacketError(QStringLiteral("%1: cannot open (%2)").arg(path, file.why));
    }
    if (file.bytes.isEmpty())
        throw PacketError(QStringLiteral("%1: empty file").arg(path));
    return readPacket(file.bytes, path);
}

QByteArray writePacket(const DataPacket& packet, PacketFormat format)
{
    switch (format) {
    case PacketFormat::Xml: return packet::writeXmlPacket(packet, false);
    case PacketFormat::XmlUtf8: return packet::writeXmlPacket(packet, true);
    case PacketFormat::Binary: break;
    }
    return packet::writeBinaryPacket(packet);
}

void writePacketTo(const DataPacket& packet, PacketFormat format, const TextSink& sink)
{
    if (format == PacketFormat::Binary)
        sink(writePacket(packet, format));
    else
        packet::writeXmlPacket(packet, format == PacketFormat::XmlUtf8, sink);
}

void writePacketFile(const DataPacket& packet, const QString& path, PacketFormat format)
{
    const QByteArray bytes = writePacket(packet, format);
    // Written beside the target and renamed over it, so a failure leaves the old file whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw PacketError(QStringLiteral("%1: cannot write (%2)").arg(path, file.errorString()));
}

QVariant packetToVariant(const DataPacket& packet)
{
    if (packet.isNull())
        return {};
    return QVariant(writePacket(packet, PacketFormat::Binary));
}

DataPacket packetFromVariant(const QVariant& value, const QString& source)
{
    if (!value.isValid() || value.isNull())
        return {};
    if (value.canConvert<DataPacket>() && value.metaType() == QMetaType::fromType<DataPacket>())
        return value.value<DataPacket>();
    if (value.metaType().id() != QMetaType::QByteArray)
        throw PacketError(
            QStringLiteral("%1: a %2 is not a data packet").arg(source, QString::fromLatin1(value.typeName())));
    return readPacket(value.toByteArray(), source);
}

}  // namespace platform
