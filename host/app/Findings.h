#pragma once
// The findings of `pdvhost check`: one line each, grouped by the file (or part of the
// set-up) they are about, with the fix in words. An error is what blocks a redemption
// or makes it write a wrong record; a warning is worth fixing but blocks nothing; a note
// tells what the check saw (gifts offered) and is no finding.

#include <QJsonObject>
#include <QList>
#include <QString>

namespace pdvhost {

enum class Severity { Note, Warning, Error };

struct Finding {
    QString file;  // "PARAMETROSQVN.CDS", "Dados/Cadastros/DataMovimento.cds", "database", ...
    QString key;   // the key, field, table or campaign; may be empty
    Severity severity = Severity::Error;
    QString message;
    QString fix;
};

class Findings {
public:
    void error(const QString& file, const QString& key, const QString& message, const QString& fix);
    void warning(const QString& file, const QString& key, const QString& message, const QString& fix);
    void note(const QString& file, const QString& key, const QString& message);

    const QList<Finding>& all() const { return list_; }
    int count(Severity severity) const;
    bool blocking() const { return count(Severity::Error) > 0; }
    int exitCode() const { return blocking() ? 1 : 0; }

    // The report as text: the files in the order first reported, one line a finding,
    // and a closing line with the counts.
    QString text(const QString& terminalDir) const;
    // {"terminal":…, "ok":bool, "errors":n, "warnings":n, "findings":[{file,key,severity,message,fix}]}
    QJsonObject json(const QString& terminalDir) const;

private:
    QList<Finding> list_;
};

QString severityName(Severity severity);  // "note", "warning", "error"

}  // namespace pdvhost
