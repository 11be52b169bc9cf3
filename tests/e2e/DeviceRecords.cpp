#include "DeviceRecords.h"

#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>

namespace e2e {

namespace {

// The file called `name` under the terminal folder (empty when there is none). Searched
// rather than spelled out, so that moving a device's state within the terminal folder
// (beside its serial, say) leaves the readers as they are.
QString deviceFile(const QString& terminalDir, const QString& name)
{
    QDirIterator it(terminalDir, {name}, QDir::Files, QDirIterator::Subdirectories);
    return it.hasNext() ? it.next() : QString();
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return !path.isEmpty() && f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

// The journal's receipt lines: the opening's "CCF:nnnnnn COO:nnnnnn", the closing's
// "TOTAL R$" and then its date-time with "COO:nnnnnn", and a cancellation's "COO do cupom
// cancelado: nnnnnn". A number printed twice (a host killed before the printer kept what
// it printed) counts as its last printing.
PrinterRecord readPrinter(const QString& terminalDir)
{
    static const QRegularExpression opening(QStringLiteral("CCF:(\\d+) COO:(\\d+)$"));
    static const QRegularExpression closing(QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d +COO:(\\d+)$"));
    static const QRegularExpression cancelled(QStringLiteral("COO do cupom cancelado: +(\\d+)"));
    QMap<int, Receipt> byNumber;
    int current = 0;
    bool totalSeen = false;
    const QString journal = QString::fromUtf8(contents(deviceFile(terminalDir, QStringLiteral("journal.txt"))));
    for (const QString& line : journal.split(u'\n')) {
        if (const auto m = opening.match(line); m.hasMatch()) {
            current = m.captured(2).toInt();
            byNumber[current] = Receipt{current, m.captured(1).toInt()};
            totalSeen = false;
        } else if (line.startsWith(QStringLiteral("TOTAL R$")) && current) {
            totalSeen = true;
        } else if (const auto c = closing.match(line); c.hasMatch() && totalSeen && c.captured(1).toInt() == current) {
            byNumber[current].closed = true;
            current = 0;
        } else if (const auto x = cancelled.match(line); x.hasMatch()) {
            const int coo = x.captured(1).toInt();
            byNumber[coo].coo = coo;
            byNumber[coo].cancelled = true;
            if (coo == current)
                current = 0;
        }
    }
    PrinterRecord r{byNumber.values(), false};
    const QByteArray state = contents(deviceFile(terminalDir, QStringLiteral("printer-state.json")));
    r.receiptOpen = QJsonDocument::fromJson(state).object().value(QStringLiteral("open")).isObject();
    return r;
}

QList<IssuedCfe> readSatMemory(const QString& terminalDir)
{
    QList<IssuedCfe> issued;
    const QByteArray memory = contents(deviceFile(terminalDir, QStringLiteral("sat-memoria.json")));
    // The device's serial and its CF-es: {"serie": …, "cfes": [{"filial", "caixa", "venda", …}]}.
    for (const QJsonValue& v : QJsonDocument::fromJson(memory).object().value(QStringLiteral("cfes")).toArray()) {
        const QJsonObject o = v.toObject();
        issued << IssuedCfe{o.value(QStringLiteral("filial")).toString(), o.value(QStringLiteral("caixa")).toString(),
                            o.value(QStringLiteral("venda")).toString()};
    }
    return issued;
}

}  // namespace e2e
