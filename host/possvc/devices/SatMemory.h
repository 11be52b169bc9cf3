#pragma once
// What the simulated SAT device remembers of the CF-es it issued. A real device keeps its
// sessions and answers the host's last-session query; the simulation keeps, in a file of
// its own beside the terminal, the latest CF-es with the sale each was issued for and
// the answer the device gave. The file is written whole before the device answers, so a
// host that dies right after the issue still finds the CF-e at its next start. Without a
// file (an empty path) the device remembers for the life of the process only.
//
// A device serves one shop database: each CF-e is kept with the database it was issued
// against, and only that database's sales find it.
//
// Errors: platform::HostError naming the file when it cannot be read or written.

#include "PossvcExport.h"
#include <QString>
#include <QStringList>

#include <optional>

namespace possvc {

struct IssuedCfe {
    QString database;                        // the shop database (its connection text)
    QString branch, cashRegister, sequence;  // the sale
    QStringList answer;                      // the device's answer, name=value lines
};

class POSSVC_EXPORT SatMemory {
public:
    SatMemory(QString path, QString database) : path_(std::move(path)), database_(std::move(database)) {}

    // Keeps the CF-e of a sale of this database (the oldest are forgotten beyond kKept).
    void remember(const QString& branch, const QString& cashRegister, const QString& sequence,
                  const QStringList& answer) const;
    // The latest CF-e issued for the sale, if the device issued one.
    std::optional<IssuedCfe> find(const QString& branch, const QString& cashRegister, const QString& sequence) const;

    const QString& path() const { return path_; }
    static constexpr int kKept = 200;

private:
    QList<IssuedCfe> load() const;
    void store(const QList<IssuedCfe>& list) const;
    QString path_;
    QString database_;
};

}  // namespace possvc
