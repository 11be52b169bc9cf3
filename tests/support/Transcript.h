#pragma once
// The transcript pdvhost writes (one JSON object a line: host calls with their arguments
// and results, the screen's state after each script line, events), read back for checks.

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace testsupport {

struct Transcript {
    // The lines of the file at `path`; none when it cannot be read.
    static Transcript read(const QString& path);

    QList<QJsonObject> lines;

    // The recorded calls of host operation `op`, in order.
    QList<QJsonObject> calls(const QString& op) const;
    // The state after script line `step`; fails the test when there is no such step.
    QJsonObject state(const QString& step) const;
    // The state after the last script line.
    QJsonObject lastState() const;
    QStringList events() const;
    // The texts of the messages shown (first argument of each "Mensagem" call).
    QStringList messages() const;
    // The same without their reason lines ("\nMotivo: ...").
    QStringList messageHeads() const;
};

// The value of `field` in the row of campaign `campaign` of the dataset `dataSet` as the
// transcript writes it (fields and rows); fails the test when the campaign is missing.
double campaignValue(const QJsonObject& dataSet, const QString& campaign, const QString& field);

}  // namespace testsupport
