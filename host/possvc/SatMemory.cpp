#include "host/possvc/SatMemory.h"

#include "platform/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace possvc {

namespace {

[[noreturn]] void fail(const QString& path, const QString& what)
{
    throw platform::HostError(QStringLiteral("SAT: memória do equipamento %1: %2").arg(path, what));
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
    QFile file(path_);
    if (!file.exists())
        return list;
    if (!file.open(QIODevice::ReadOnly))
        fail(path_, file.errorString());
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        fail(path_, QStringLiteral("conteúdo ilegível (%1)").arg(error.errorString()));
    for (const QJsonValue& v : doc.array()) {
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
    if (!QDir().mkpath(QFileInfo(path_).absolutePath()))
        fail(path_, QStringLiteral("a pasta não pode ser criada"));
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly))
        fail(path_, file.errorString());
    file.write(QJsonDocument(array).toJson(QJsonDocument::Compact));
    if (!file.commit())
        fail(path_, file.errorString());
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
