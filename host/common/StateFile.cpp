#include "host/common/StateFile.h"

#include "platform/Error.h"
#include "platform/dataset/RegularFile.h"

#include <QSaveFile>

namespace host {

void StateFile::fail(const QString& what) const
{
    throw platform::HostError(errorText_.arg(path_, what));
}

std::optional<QJsonDocument> StateFile::read(Shape shape) const
{
    // A device's memory is a small regular file: anything else (a FIFO would block, a
    // device never ends) is refused before it is read.
    constexpr qint64 kCeiling = qint64(64) * 1024 * 1024;
    const platform::RegularFile file = platform::readRegularFile(path_, kCeiling);
    switch (file.outcome) {
    case platform::RegularFile::Outcome::Read: break;
    case platform::RegularFile::Outcome::Missing: return std::nullopt;
    case platform::RegularFile::Outcome::TooLarge:
        fail(QStringLiteral("%1 bytes, more than the %2 a device's memory may have").arg(file.size).arg(kCeiling));
    case platform::RegularFile::Outcome::NotRegular:
    case platform::RegularFile::Outcome::Unreadable: fail(file.why);
    }
    QJsonParseError error;
    QJsonDocument doc = QJsonDocument::fromJson(file.bytes, &error);
    const bool shaped = shape == Shape::Object ? doc.isObject() : doc.isArray();
    if (error.error != QJsonParseError::NoError || !shaped)
        fail(unreadable_.arg(error.errorString()));
    return doc;
}

void StateFile::write(const QJsonDocument& document, QJsonDocument::JsonFormat format) const
{
    const QByteArray bytes = document.toJson(format);
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly))
        fail(file.errorString());
    // The device's own: what it keeps is readable by its owner only.
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        fail(QStringLiteral("as permissões não podem ser restritas ao dono: %1").arg(file.errorString()));
    file.write(bytes);
    if (!file.commit())
        fail(file.errorString());
    // Read back: a device that answers must find again what it just kept.
    const platform::RegularFile back = platform::readRegularFile(path_, bytes.size() + 1);
    if (back.outcome != platform::RegularFile::Outcome::Read || back.bytes != bytes)
        fail(QStringLiteral("o conteúdo gravado não foi relido igual"));
}

}  // namespace host
