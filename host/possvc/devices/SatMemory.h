#pragma once
// What the simulated SAT device keeps of the CF-es it issued, as a real device keeps its
// sessions and answers the host's last-session query: its serial and, per CF-e, the
// session, the sale it was issued for (branch, register, sale number), the CF-e's number
// and key and the answer the device gave. Nothing of the host: no database, no connection
// text, no password.
//
// The memory is kept in the terminal folder under the device's serial, readable by its
// owner only (0600), and written whole (beside the file, read back, renamed) before the
// device answers, so a host that dies right after the issue still finds the CF-e at its
// next start. Without a file (an empty path) the device remembers for the life of the
// process only, per serial.
//
// Errors: platform::HostError naming the file when it cannot be read or written.

#include "PossvcExport.h"
#include "host/possvc/sale/IssuedDocuments.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace possvc {

struct IssuedCfe {
    int session = 0;
    QString branch, cashRegister, sequence;  // the sale
    QString number, key;                     // the CF-e
    QStringList answer;                      // the device's answer, name=value lines
};

class POSSVC_EXPORT SatMemory : public IssuedCfes {
public:
    SatMemory(QString path, QString serial) : path_(std::move(path)), serial_(std::move(serial)) {}

    // The memory file of device `serial` under the terminal's SAT folder `dir`.
    static QString pathIn(const QString& dir, const QString& serial);

    // Keeps the CF-e (the oldest are forgotten beyond kKept).
    void remember(const IssuedCfe& cfe) const;
    // The latest CF-e issued for the sale, if the device issued one.
    std::optional<IssuedCfe> find(const QString& branch, const QString& cashRegister, const QString& sequence) const;
    std::optional<QStringList> cfeFor(const QString& branch, const QString& cashRegister,
                                      const QString& sequence) const override;
    // Every CF-e kept, oldest first.
    QList<IssuedCfe> all() const { return load(); }

    const QString& path() const { return path_; }
    const QString& serial() const { return serial_; }
    static constexpr int kKept = 200;

private:
    QList<IssuedCfe> load() const;
    void store(const QList<IssuedCfe>& list) const;
    QString path_;
    QString serial_;
};

}  // namespace possvc
