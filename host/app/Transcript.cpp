#include "host/app/Transcript.h"

#include "hostapi/fiscaldev.h"
#include "hostapi/possvc.h"
#include "platform/dataset/ClientDataSet.h"

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
    QJsonArray fields;
    for (const auto& f : packet.fields)
        fields.append(QJsonObject{{QStringLiteral("name"), f.name},
                                  {QStringLiteral("type"), platform::xmlTypeName(f.type)},
                                  {QStringLiteral("size"), f.size}});
    QJsonArray rows;
    for (const QVariantList& row : packet.rows) {
        QJsonArray values;
        for (const QVariant& v : row)
            values.append(toJson(v));
        rows.append(values);
    }
    return {{QStringLiteral("fields"), fields}, {QStringLiteral("rows"), rows}};
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

void Transcript::write(const QJsonObject& object)
{
    if (!file_.isOpen())
        return;
    file_.write(QJsonDocument(object).toJson(QJsonDocument::Compact));
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
    QJsonObject o{{QStringLiteral("lib"), r.lib}, {QStringLiteral("op"), r.op}, {QStringLiteral("args"), args}};
    if (r.raised)
        o.insert(QStringLiteral("error"), r.error);
    else
        o.insert(QStringLiteral("result"), r.hasResult ? toJson(r.result) : QJsonValue(QJsonValue::Null));
    o.insert(QStringLiteral("out"), out);
    write(o);
}

void Transcript::call(const hostkit::CallRecord& r)
{
    hostapi::CallRecord same;
    same.lib = r.lib;
    same.op = r.op;
    same.args = r.args;
    same.result = r.result;
    same.hasResult = r.result.isValid();
    same.out = r.out;
    same.raised = r.raised;
    same.error = r.error;
    call(same);
}

void Transcript::step(const QString& line, const QJsonObject& state)
{
    write({{QStringLiteral("step"), line}, {QStringLiteral("state"), state}});
}

void Transcript::event(const QString& name)
{
    write({{QStringLiteral("event"), name}});
}

void Transcript::error(const QString& text)
{
    write({{QStringLiteral("event"), QStringLiteral("error")}, {QStringLiteral("text"), text}});
}

void Transcript::observeHostLibraries()
{
    auto observer = [this](const hostapi::CallRecord& r) { call(r); };
    fiscaldev::library().setObserver(observer);
    possvc::library().setObserver(observer);
    hostkit::setCallObserver([this](const hostkit::CallRecord& r) { call(r); });
}

void Transcript::stopObserving()
{
    fiscaldev::library().setObserver({});
    possvc::library().setObserver({});
    hostkit::setCallObserver({});
}

}  // namespace pdvhost
