// What this terminal left half done and who runs it now: the redemptions pending on its
// branch and register (a close-out whose document never came), the SAT device's memory
// that recovery reads to settle them, and a host running the terminal at the moment.
#include "host/app/Check.h"

#include "host/app/TerminalDevices.h"
#include "host/app/TerminalLock.h"
#include "host/possvc/devices/SatMemory.h"
#include "host/possvc/sale/SaleServicesDb.h"
#include "platform/Error.h"
#include "platform/db/Connection.h"
#include "platform/db/Query.h"

#include <QDir>

#include <algorithm>

namespace pdvhost::check {

namespace {

// Where pdvhost keeps the terminal's SAT device memory: in the terminal folder, under the
// device's serial.
QString satMemoryPath(const Terminal& t)
{
    return devicesOf(t.dir, t.text(terminal::Param::CDFILIAL).trimmed(), t.text(terminal::Param::CDCAIXA).trimmed(),
                     t.text(terminal::Param::NRSERIEIMP).trimmed())
        .satMemoryPath();
}

QString missing(const QString& docType)
{
    if (docType == QLatin1String("S"))
        return QStringLiteral("its CF-e is not registered on the sale");
    if (docType == QLatin1String("N"))
        return QStringLiteral("its NFC-e did not reach the customer");
    return QStringLiteral("its fiscal document (type '%1') is still to come").arg(docType);
}

QString age(const QDateTime& since)
{
    if (!since.isValid())
        return QStringLiteral("of unknown age");
    const qint64 minutes = since.secsTo(QDateTime::currentDateTime()) / 60;
    if (minutes < 120)
        return QStringLiteral("%1 min old").arg(std::max<qint64>(minutes, 0));
    if (minutes < 48 * 60)
        return QStringLiteral("%1 h old").arg(minutes / 60);
    return QStringLiteral("%1 days old").arg(minutes / (24 * 60));
}

void checkPendingSales(const Terminal& t, platform::db::Connection& db, Findings& f)
{
    const QString branch = t.text(terminal::Param::CDFILIAL).trimmed();
    const QString cashRegister = t.text(terminal::Param::CDCAIXA).trimmed();
    if (branch.isEmpty() || cashRegister.isEmpty())
        return;  // the parameter file's findings say why
    platform::db::Query q(&db);
    try {
        q.setSql(QStringLiteral("SELECT NRSEQVENDA, IDTPDOCVENDA, DTHRINCLUSAO FROM VENDAPENDENTE "
                                "WHERE CDFILIAL = :P_CDFILIAL AND CDCAIXA = :P_CDCAIXA ORDER BY DTHRINCLUSAO"));
        q.setParam(QStringLiteral("P_CDFILIAL"), branch);
        q.setParam(QStringLiteral("P_CDCAIXA"), cashRegister);
        q.open();
    } catch (const platform::DatabaseError&) {
        return;  // the database part names the table that cannot be read
    }
    for (; !q.eof(); q.next()) {
        const QString sale = q.value(0).toString().trimmed();
        f.error(QStringLiteral("pending"), QStringLiteral("sale %1").arg(sale),
                QStringLiteral("a redemption of register %1 (branch %2), %3, is still pending: %4")
                    .arg(cashRegister, branch, age(possvc::db::toDateTime(q.value(2))), missing(q.value(1).toString().trimmed())),
                QStringLiteral("start pdvhost on this terminal, which settles it before the screen opens; if it "
                               "cannot, put right what it names first"));
    }
}

void checkSatMemory(const Terminal& t, Findings& f)
{
    if (!t.sat())
        return;
    const QString path = satMemoryPath(t);
    try {
        // Any lookup reads the whole memory: what recovery reads to settle a pending sale.
        (void)possvc::SatMemory(path, QString()).find(QString(), QString(), QString());
    } catch (const platform::Error& e) {
        f.error(QStringLiteral("SAT"), QDir(t.dir).relativeFilePath(path), e.text(),
                QStringLiteral("restore the device's memory file; without it a pending redemption cannot be settled "
                               "and pdvhost does not open the screen"));
    }
}

void checkRunningHost(const Terminal& t, Findings& f)
{
    if (const auto holder = TerminalLock::holderOf(t.dir))
        f.note(QStringLiteral("host"), QStringLiteral("lock"),
               QStringLiteral("a pdvhost runs this terminal now: %1").arg(holder->text()));
}

}  // namespace

void checkPending(const Terminal& t, platform::db::Connection* db, Findings& f)
{
    checkRunningHost(t, f);
    checkSatMemory(t, f);
    if (db)
        checkPendingSales(t, *db, f);
}

}  // namespace pdvhost::check
