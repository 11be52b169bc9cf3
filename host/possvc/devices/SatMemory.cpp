#include "host/possvc/devices/SatMemory.h"

#include "host/common/StateFile.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>

namespace possvc {

namespace {

host::StateFile stateFile(const QString& path)
{
    return host::StateFile(path, QStringLiteral("SAT: memória do equipamento %1: %2"),
                           QStringLiteral("conteúdo ilegível (%1)"));
}

// The memories of devices without a file, per serial.
QList<IssuedCfe>& processMemory(const QString& serial)
{
    static QHash<QString, QList<IssuedCfe>> memories;
    return memories[serial];
}

IssuedCfe fromJson(const QJsonObject& o)
{
    IssuedCfe cfe;
    cfe.session = o.value(QStringLiteral("sessao")).toInt();
    cfe.branch = o.value(QStringLiteral("filial")).toString();
    cfe.cashRegister = o.value(QStringLiteral("caixa")).toString();
    cfe.sequence = o.value(QStringLiteral("venda")).toString();
    cfe.number = o.value(QStringLiteral("numero")).toString();
    cfe.key = o.value(QStringLiteral("chave")).toString();
    for (const QJsonValue& line : o.value(QStringLiteral("resposta")).toArray())
        cfe.answer << line.toString();
    return cfe;
}

QJsonObject toJson(const IssuedCfe& c)
{
    return {{QStringLiteral("sessao"), c.session},       {QStringLiteral("filial"), c.branch},
            {QStringLiteral("caixa"), c.cashRegister},   {QStringLiteral("venda"), c.sequence},
            {QStringLiteral("numero"), c.number},        {QStringLiteral("chave"), c.key},
            {QStringLiteral("resposta"), QJsonArray::fromStringList(c.answer)}};
}

}  // namespace

QString SatMemory::pathIn(const QString& dir, const QString& serial)
{
    if (dir.isEmpty())
        return {};
    return QDir(dir).filePath(serial + QStringLiteral("/sat-memoria.json"));
}

QList<IssuedCfe> SatMemory::load() const
{
    if (path_.isEmpty())
        return processMemory(serial_);
    QList<IssuedCfe> list;
    const auto doc = stateFile(path_).read(host::StateFile::Shape::Object);
    if (!doc)
        return list;
    const QJsonObject o = doc->object();
    // Another device's memory is never taken for this one's.
    if (o.value(QStringLiteral("serie")).toString() != serial_)
        stateFile(path_).fail(QStringLiteral("é do equipamento '%1', não do %2")
                                  .arg(o.value(QStringLiteral("serie")).toString(), serial_));
    for (const QJsonValue& v : o.value(QStringLiteral("cfes")).toArray())
        list << fromJson(v.toObject());
    return list;
}

void SatMemory::remember(const IssuedCfe& cfe) const
{
    QList<IssuedCfe> list = load();
    list << cfe;
    while (list.size() > kKept)
        list.removeFirst();
    store(list);
}

void SatMemory::store(const QList<IssuedCfe>& list) const
{
    if (path_.isEmpty()) {
        processMemory(serial_) = list;
        return;
    }
    QJsonArray cfes;
    for (const IssuedCfe& c : list)
        cfes << toJson(c);
    const host::StateFile file = stateFile(path_);
    if (!QDir().mkpath(QFileInfo(path_).absolutePath()))
        file.fail(QStringLiteral("a pasta não pode ser criada"));
    file.write(QJsonDocument(QJsonObject{{QStringLiteral("serie"), serial_}, {QStringLiteral("cfes"), cfes}}),
               QJsonDocument::Compact);
}

std::optional<IssuedCfe> SatMemory::find(const QString& branch, const QString& cashRegister,
                                         const QString& sequence) const
{
    const QList<IssuedCfe> list = load();
    for (auto it = list.crbegin(); it != list.crend(); ++it)
        if (it->branch == branch && it->cashRegister == cashRegister && it->sequence == sequence)
            return *it;
    return std::nullopt;
}

std::optional<QStringList> SatMemory::cfeFor(const QString& branch, const QString& cashRegister,
                                             const QString& sequence) const
{
    if (const auto cfe = find(branch, cashRegister, sequence))
        return cfe->answer;
    return std::nullopt;
}

}  // namespace possvc
