#include "host/app/Transcript.h"

#include "host/hostkit/HostHooks.h"
#include "hostapi/fiscaldev.h"
#include "hostapi/possvc.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/PacketJson.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QWidget>

namespace pdvhost {

namespace {

QJsonObject dateTime(const QDateTime& dt)
{
    return {{QStringLiteral("datetime"), dt.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"))}};
}

const platform::ClientDataSet* asDataSet(const QObject* object)
{
    // The dataset may come from another copy of the platform library (the module's):
    // recognised by class name, not by cast.
    return object && object->inherits("platform::ClientDataSet")
               ? static_cast<const platform::ClientDataSet*>(object)
               : nullptr;
}

}  // namespace

QJsonObject packetJson(const platform::DataPacket& packet)
{
    return platform::packetToJson(packet);  // the layout of cdstool dump --json
}

QJsonValue dataSetJson(const QObject* object)
{
    const platform::ClientDataSet* ds = asDataSet(object);
    if (!ds || !ds->active())
        return QJsonValue::Null;
    return packetJson(ds->packet());
}

QJsonValue toJson(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QJsonValue::Null;
    const int type = value.typeId();
    if (type == qMetaTypeId<platform::DataPacket>())
        return packetJson(value.value<platform::DataPacket>());
    const QByteArray typeName = value.metaType().name();
    if (typeName.contains("Empty"))  // the non-fiscal print's empty-parameter marker
        return QJsonObject{{QStringLiteral("empty"), true}};
    switch (type) {
    case QMetaType::QString: return value.toString();
    case QMetaType::Bool: return value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: return double(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float: return value.toDouble();
    case QMetaType::QDateTime: return dateTime(value.toDateTime());
    case QMetaType::QDate: return dateTime(QDateTime(value.toDate(), QTime(0, 0)));
    case QMetaType::QTime: return value.toTime().toString(QStringLiteral("HH:mm:ss.zzz"));
    case QMetaType::QStringList: return QJsonArray::fromStringList(value.toStringList());
    case QMetaType::QVariantList: {
        QJsonArray array;
        for (const QVariant& v : value.toList())
            array.append(toJson(v));
        return array;
    }
    case QMetaType::QVariantMap: {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            object.insert(it.key(), toJson(it.value()));
        return object;
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        try {
            return packetJson(platform::readPacket(bytes));
        } catch (const std::exception&) {
            return QString::fromUtf8(bytes);
        }
    }
    case QMetaType::QObjectStar: {
        const QObject* object = value.value<QObject*>();
        if (asDataSet(object))
            return dataSetJson(object);
        return object ? QJsonValue(object->objectName()) : QJsonValue(QJsonValue::Null);
    }
    default:
        break;
    }
    if (value.canConvert<QString>())
        return value.toString();
    return QString::fromLatin1(typeName);
}

bool Transcript::open(const QString& path, QString* error)
{
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        if (error)
            *error = file_.errorString();
        return false;
    }
    return true;
}

namespace {

// A JSON value as compact text (a scalar is written as the only element of an array,
// without the brackets).
QByteArray valueText(const QJsonValue& value)
{
    if (value.isObject())
        return QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
    if (value.isArray())
        return QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact);
    return QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact).mid(1).chopped(1);
}

}  // namespace

QByteArray Transcript::text(const Members& members)
{
    QByteArray out = "{";
    for (const auto& [key, value] : members) {
        if (out.size() > 1)
            out += ',';
        out += valueText(key) + ':' + valueText(value);
    }
    return out + '}';
}

void Transcript::write(const Members& members)
{
    if (!file_.isOpen())
        return;
    file_.write(text(members));
    file_.write("\n");
    file_.flush();
}

void Transcript::call(const hostapi::CallRecord& r)
{
    QJsonArray args;
    for (const QVariant& v : r.args)
        args.append(toJson(v));
    QJsonArray out;
    for (const QVariant& v : r.out)
        out.append(toJson(v));
    Members o{{QStringLiteral("lib"), r.lib}, {QStringLiteral("op"), r.op}, {QStringLiteral("args"), args}};
    if (r.raised)
        o.append({QStringLiteral("error"), r.error});
    else
        o.append({QStringLiteral("result"), r.hasResult ? toJson(r.result) : QJsonValue(QJsonValue::Null)});
    o.append({QStringLiteral("out"), out});
    write(o);
}

void Transcript::step(const QString& line, const QJsonObject& state)
{
    if (!file_.isOpen())
        return;
    // The state's members in their documented order.
    Members ordered;
    for (const char* key : {"enabled", "consumer", "cdsCampanha", "cdsBrinde"})
        if (state.contains(QLatin1String(key)))
            ordered.append({QString::fromLatin1(key), state.value(QLatin1String(key))});
    file_.write("{\"step\":" + valueText(line) + ",\"state\":" + text(ordered) + "}\n");
    file_.flush();
}

void Transcript::event(const QString& name)
{
    write({{QStringLiteral("event"), name}});
}

void Transcript::error(const QString& text)
{
    write({{QStringLiteral("event"), QStringLiteral("error")}, {QStringLiteral("text"), text}});
}

void Transcript::recovered(const QString& text)
{
    write({{QStringLiteral("event"), QStringLiteral("recovered")}, {QStringLiteral("text"), text}});
}

void Transcript::stopObserving()
{
    fiscaldev::library().setObserver({});
    possvc::library().setObserver({});
    hostkit::setCallObserver({});
}

}  // namespace pdvhost
