#include "host/common/StateFile.h"

#include "platform/Error.h"

#include <QFile>
#include <QSaveFile>

namespace host {

void StateFile::fail(const QString& what) const
{
    throw platform::HostError(errorText_.arg(path_, what));
}

std::optional<QJsonDocument> StateFile::read(Shape shape) const
{
    QFile file(path_);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        fail(file.errorString());
    QJsonParseError error;
    QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    const bool shaped = shape == Shape::Object ? doc.isObject() : doc.isArray();
    if (error.error != QJsonParseError::NoError || !shaped)
        fail(unreadable_.arg(error.errorString()));
    return doc;
}

void StateFile::write(const QJsonDocument& document, QJsonDocument::JsonFormat format) const
{
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly))
        fail(file.errorString());
    file.write(document.toJson(format));
    if (!file.commit())
        fail(file.errorString());
}

}  // namespace host
