#pragma once
// The reference host's transcript: one JSON object per line, in order — every call the
// module makes into fiscaldev, possvc and hostkit's transcribed operations, the state of
// the screen after each script line, and the events "shown", "closed" and "error".
//
// Values: text -> string, booleans, numbers, date-time -> {"datetime":"…"}, null -> null,
// the empty-parameter marker -> {"empty":true}, a variant array -> an array, a data packet
// or a dataset -> {"fields":[{"name","type","size"}],"rows":[[…]]}.
//
// Owns its output file. Writing never throws; a file that cannot be opened is reported
// by open().

#include "hostapi/ProcVar.h"
#include "hostapi/hostkit.h"
#include "platform/dataset/DataPacket.h"

#include <QFile>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace pdvhost {

QJsonValue toJson(const QVariant& value);
QJsonObject packetJson(const platform::DataPacket& packet);
// A dataset's rows as a packet, or null while it is not open.
QJsonValue dataSetJson(const QObject* dataSet);

class Transcript {
public:
    // Opens (truncates) the file; false with `error` set when it cannot be written.
    bool open(const QString& path, QString* error);
    bool isOpen() const { return file_.isOpen(); }

    void call(const hostapi::CallRecord& record);
    void step(const QString& line, const QJsonObject& state);
    void event(const QString& name);
    void error(const QString& text);
    // {"event":"recovered","text":…}: one thing the start-up recovery put right.
    void recovered(const QString& text);

    // Detaches the host libraries' call observers.
    static void stopObserving();

private:
    using Members = QList<std::pair<QString, QJsonValue>>;
    void write(const Members& members);  // one line, the keys in the order given
    static QByteArray text(const Members& members);
    QFile file_;
};


}  // namespace pdvhost
