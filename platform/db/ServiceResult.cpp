#include "platform/db/ServiceResult.h"

#include <QByteArray>
#include <QRegularExpression>

#include <cstring>

namespace platform::db {

namespace {

bool isPacketBytes(const QByteArray& b)
{
    static const char binary[4] = {'\x96', '\x19', '\xE0', '\xBD'};
    static const char legacy[4] = {'\xCD', '\xAB', '\x00', '\x00'};
    if (b.size() >= 4 && (std::memcmp(b.constData(), binary, 4) == 0 || std::memcmp(b.constData(), legacy, 4) == 0))
        return true;
    const QByteArray head = b.left(64).trimmed();
    return head.startsWith("<?xml") || head.startsWith("<DATAPACKET");
}

bool isErrorText(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?\\d+([.,]\\d+)?$"));
    const QString t = text.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1String("<?xml")) || t.startsWith(QLatin1String("<DATAPACKET")))
        return false;
    return !number.match(t).hasMatch();
}

}  // namespace

bool isErrorResult(const QVariant& result)
{
    if (!result.isValid() || result.isNull())
        return false;
    switch (result.typeId()) {
    case QMetaType::QByteArray: {
        const QByteArray b = result.toByteArray();
        return !isPacketBytes(b) && isErrorText(QString::fromUtf8(b));
    }
    case QMetaType::QString:
        return isErrorText(result.toString());
    default:
        return false;
    }
}

QString resultText(const QVariant& result)
{
    return result.typeId() == QMetaType::QByteArray ? QString::fromUtf8(result.toByteArray()) : result.toString();
}

}  // namespace platform::db
