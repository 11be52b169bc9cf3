#include "host/fiscaldev/PrinterState.h"

#include "host/common/StateFile.h"

namespace fiscaldev::sim {

namespace {

host::StateFile stateFile(const QString& path)
{
    return host::StateFile(path, QStringLiteral("fiscaldev: printer state file %1: %2"),
                           QStringLiteral("not a state document (%1)"));
}

int requireCount(const QJsonObject& o, const char* key, const QString& path)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined())
        return 0;
    if (!v.isDouble() || v.toDouble() < 0 || v.toDouble() != static_cast<int>(v.toDouble()))
        stateFile(path).fail(QStringLiteral("\"%1\" is not a count").arg(QLatin1String(key)));
    return v.toInt();
}

}  // namespace

PrinterState PrinterState::load(const QString& path)
{
    PrinterState s;
    const auto doc = stateFile(path).read(host::StateFile::Shape::Object);
    if (!doc)
        return s;
    const QJsonObject o = doc->object();
    if (o.contains(QStringLiteral("serial")))
        s.serial = o.value(QStringLiteral("serial")).toString(s.serial);
    s.coo = requireCount(o, "coo", path);
    s.ccf = requireCount(o, "ccf", path);
    s.cancellations = requireCount(o, "cancellations", path);
    s.grandTotal = o.value(QStringLiteral("grandTotal")).toDouble();
    s.cancelledTotal = o.value(QStringLiteral("cancelledTotal")).toDouble();
    s.movementDate = QDate::fromString(o.value(QStringLiteral("movementDate")).toString(), Qt::ISODate);
    const QJsonObject last = o.value(QStringLiteral("lastReceipt")).toObject();
    s.lastReceiptCoo = requireCount(last, "coo", path);
    s.lastReceiptTotal = last.value(QStringLiteral("total")).toDouble();
    s.lastReceiptCancellable = last.value(QStringLiteral("cancellable")).toBool();
    s.lastReceiptCcf = requireCount(last, "ccf", path);
    s.lastReceiptOpened = QDateTime::fromString(last.value(QStringLiteral("opened")).toString(), Qt::ISODateWithMs);
    const QJsonValue open = o.value(QStringLiteral("open"));
    if (open.isObject()) {
        const QJsonObject r = open.toObject();
        s.open = OpenReceipt{requireCount(r, "coo", path), requireCount(r, "ccf", path),
                             requireCount(r, "items", path), r.value(QStringLiteral("subtotal")).toDouble(),
                             QDateTime::fromString(r.value(QStringLiteral("opened")).toString(), Qt::ISODateWithMs)};
    }
    s.registers = o.value(QStringLiteral("registers")).toObject();
    return s;
}

void PrinterState::save(const QString& path) const
{
    QJsonObject o{
        {QStringLiteral("serial"), serial},
        {QStringLiteral("coo"), coo},
        {QStringLiteral("ccf"), ccf},
        {QStringLiteral("grandTotal"), grandTotal},
        {QStringLiteral("cancelledTotal"), cancelledTotal},
        {QStringLiteral("cancellations"), cancellations},
        {QStringLiteral("movementDate"), movementDate.isValid() ? movementDate.toString(Qt::ISODate) : QString()},
        {QStringLiteral("lastReceipt"), QJsonObject{{QStringLiteral("coo"), lastReceiptCoo},
                                                    {QStringLiteral("total"), lastReceiptTotal},
                                                    {QStringLiteral("cancellable"), lastReceiptCancellable},
                                                    {QStringLiteral("ccf"), lastReceiptCcf},
                                                    {QStringLiteral("opened"), lastReceiptOpened.toString(Qt::ISODateWithMs)}}},
        {QStringLiteral("registers"), registers},
    };
    if (open)
        o.insert(QStringLiteral("open"), QJsonObject{{QStringLiteral("coo"), open->coo},
                                                     {QStringLiteral("ccf"), open->ccf},
                                                     {QStringLiteral("items"), open->items},
                                                     {QStringLiteral("subtotal"), open->subtotal},
                                                     {QStringLiteral("opened"), open->opened.toString(Qt::ISODateWithMs)}});
    stateFile(path).write(QJsonDocument(o), QJsonDocument::Indented);
}

}  // namespace fiscaldev::sim
