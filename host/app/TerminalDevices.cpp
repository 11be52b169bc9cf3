#include "host/app/TerminalDevices.h"

#include "host/possvc/devices/SatMemory.h"
#include "terminal/TerminalFiles.h"

#include "platform/Error.h"
#include "platform/dataset/ClientDataSet.h"

#include <QDir>

namespace pdvhost {

namespace {

// The last `width` digits of a code, zero-filled.
QString digits(const QString& code, int width)
{
    QString d;
    for (QChar c : code)
        if (c.isDigit())
            d += c;
    return d.right(width).rightJustified(width, QLatin1Char('0'));
}

}  // namespace

QString TerminalDevices::printerStatePath() const
{
    return QDir(printerDir).filePath(printerSerial + QStringLiteral("/printer-state.json"));
}

QString TerminalDevices::satMemoryPath() const
{
    return possvc::SatMemory::pathIn(satDir, satSerial);
}

TerminalDevices devicesOf(const QString& terminalDir, const QString& branch, const QString& cashRegister,
                          const QString& printerSerial)
{
    TerminalDevices d;
    d.branch = branch.trimmed();
    d.cashRegister = cashRegister.trimmed();
    const QString ids = digits(d.branch, 4) + digits(d.cashRegister, 3);
    d.printerSerialOnSales = printerSerial.trimmed();
    d.printerSerial = printerSerial.trimmed().isEmpty() ? QStringLiteral("ECFSIM") + ids : printerSerial.trimmed();
    d.satSerial = QStringLiteral("90") + ids;
    const QDir dir(terminalDir);
    d.printerDir = dir.absoluteFilePath(QStringLiteral("Fiscal"));
    d.satDir = dir.absoluteFilePath(QStringLiteral("SAT"));
    return d;
}

TerminalDevices readTerminalDevices(const QString& terminalDir)
{
    using terminal::Param;
    QString branch, cashRegister, printerSerial;
    const terminal::FileDef& def = terminal::fileDef(terminal::File::Parametros);
    const QString path = terminal::findHostFile(QString::fromLatin1(def.relative));
    if (!path.isEmpty()) {
        try {
            platform::ClientDataSet ds(QString::fromLatin1(def.dataSet));
            ds.loadFromFile(path);
            if (!ds.active())
                ds.open();
            const terminal::Parameters p = terminal::Parameters::read(ds);
            branch = p.text(Param::CDFILIAL);
            cashRegister = p.text(Param::CDCAIXA);
            printerSerial = p.text(Param::NRSERIEIMP);
        } catch (const platform::Error&) {
            // No identity: the screen's opening reports the file.
        }
    }
    return devicesOf(terminalDir, branch, cashRegister, printerSerial);
}

}  // namespace pdvhost
