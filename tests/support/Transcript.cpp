#include "Transcript.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

namespace testsupport {

Transcript Transcript::read(const QString& path)
{
    Transcript t;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray& line : file.readAll().split('\n'))
            if (!line.trimmed().isEmpty())
                t.lines << QJsonDocument::fromJson(line).object();
    return t;
}

QList<QJsonObject> Transcript::calls(const QString& op) const
{
    QList<QJsonObject> found;
    for (const QJsonObject& line : lines)
        if (line.value(QStringLiteral("op")).toString() == op)
            found << line;
    return found;
}

QJsonObject Transcript::state(const QString& step) const
{
    for (const QJsonObject& line : lines)
        if (line.value(QStringLiteral("step")).toString() == step)
            return line.value(QStringLiteral("state")).toObject();
    ADD_FAILURE() << "no step " << step.toStdString();
    return {};
}

QJsonObject Transcript::lastState() const
{
    for (auto it = lines.crbegin(); it != lines.crend(); ++it)
        if (it->contains(QStringLiteral("step")))
            return it->value(QStringLiteral("state")).toObject();
    return {};
}

QStringList Transcript::events() const
{
    QStringList found;
    for (const QJsonObject& line : lines)
        if (line.contains(QStringLiteral("event")))
            found << line.value(QStringLiteral("event")).toString();
    return found;
}

QStringList Transcript::messages() const
{
    QStringList found;
    for (const QJsonObject& call : calls(QStringLiteral("Mensagem")))
        found << call.value(QStringLiteral("args")).toArray().at(0).toString();
    return found;
}

QStringList Transcript::messageHeads() const
{
    QStringList heads;
    for (const QString& text : messages())
        heads << text.left(text.indexOf(QStringLiteral("\nMotivo: ")) < 0 ? text.size()
                                                                            : text.indexOf(QStringLiteral("\nMotivo: ")));
    return heads;
}

double campaignValue(const QJsonObject& dataSet, const QString& campaign, const QString& field)
{
    const QJsonArray fields = dataSet.value(QStringLiteral("fields")).toArray();
    int campaignColumn = -1, fieldColumn = -1;
    for (int i = 0; i < fields.size(); ++i) {
        const QString name = fields.at(i).toObject().value(QStringLiteral("name")).toString();
        if (name == QLatin1String("CDCAMPANHA"))
            campaignColumn = i;
        if (name == field)
            fieldColumn = i;
    }
    for (const QJsonValue& row : dataSet.value(QStringLiteral("rows")).toArray())
        if (row.toArray().at(campaignColumn).toString() == campaign)
            return row.toArray().at(fieldColumn).toDouble();
    ADD_FAILURE() << "campaign not in the dataset: " << campaign.toStdString();
    return 0;
}

}  // namespace testsupport
