#include "host/possvc/devices/SatMemory.h"

#include "host/common/StateFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace possvc {

namespace {

host::StateFile stateFile(const QString& path)
{
    return host::StateFile(path, QStringLiteral("SAT: memória do equipamento %1: %2"),
                           QStringLiteral("conteúdo ilegível (%1)"));
}

// The memory of a device without a file.
QList<IssuedCfe>& processMemory()
{
    static QList<IssuedCfe> list;
    return list;
}

}  // namespace

QList<IssuedCfe> SatMemory::load() const
{
    if (path_.isEmpty())
        return processMemory();
    QList<IssuedCfe> list;
    const auto doc = stateFile(path_).read(host::StateFile::Shape::Array);
    if (!doc)
        return list;
    for (const QJsonValue& v : doc->array()) {
        const QJsonObject o = v.toObject();
        IssuedCfe cfe{o.value(QStringLiteral("banco")).toString(), o.value(QStringLiteral("filial")).toString(),
                      o.value(QStringLiteral("caixa")).toString(), o.value(QStringLiteral("venda")).toString(), {}};
        for (const QJsonValue& line : o.value(QStringLiteral("resposta")).toArray())
            cfe.answer << line.toString();
        list << cfe;
    }
    return list;
}

void SatMemory::remember(const QString& branch, const QString& cashRegister, const QString& sequence,
                         const QStringList& answer) const
{
    QList<IssuedCfe> list = load();
    list << IssuedCfe{database_, branch, cashRegister, sequence, answer};
    while (list.size() > kKept)
        list.removeFirst();
    store(list);
}

void SatMemory::store(const QList<IssuedCfe>& list) const
{
    if (path_.isEmpty()) {
        processMemory() = list;
        return;
    }
    QJsonArray array;
    for (const IssuedCfe& c : list)
        array << QJsonObject{{QStringLiteral("banco"), c.database},
                             {QStringLiteral("filial"), c.branch},
                             {QStringLiteral("caixa"), c.cashRegister},
                             {QStringLiteral("venda"), c.sequence},
                             {QStringLiteral("resposta"), QJsonArray::fromStringList(c.answer)}};
    const host::StateFile file = stateFile(path_);
    if (!QDir().mkpath(QFileInfo(path_).absolutePath()))
        file.fail(QStringLiteral("a pasta não pode ser criada"));
    file.write(QJsonDocument(array), QJsonDocument::Compact);
}

std::optional<IssuedCfe> SatMemory::find(const QString& branch, const QString& cashRegister,
                                         const QString& sequence) const
{
    const QList<IssuedCfe> list = load();
    for (auto it = list.crbegin(); it != list.crend(); ++it)
        if (it->database == database_ && it->branch == branch && it->cashRegister == cashRegister
            && it->sequence == sequence)
            return *it;
    return std::nullopt;
}

}  // namespace possvc
