#pragma once
// The simulated SAT device: it takes a sale's CF-e input, issues the CF-e (model 59) in the
// real layout, keeps it in its memory (SatMemory.h) and answers in name=value lines, as
// the real device answers. It refuses (answer with EEEEE other than 06000 and a
// "mensagem") a wrong activation code. It reads and writes nothing of the shop's
// database: the sale services hand it the sale and register what it answered.

#include "PossvcExport.h"
#include "host/possvc/devices/SatCfe.h"
#include "host/possvc/devices/SatMemory.h"

#include <QString>
#include <QStringList>

namespace possvc {

class POSSVC_EXPORT SatDevice {
public:
    // `activationCode` empty: any code is accepted.
    SatDevice(const SatMemory& memory, QString activationCode, sat::XmlForm form);

    const QString& serial() const { return memory_.serial(); }

    // True when `code` activates the device; otherwise `answer` receives the refusal.
    bool accepts(const QString& code, QStringList& answer) const;
    // A refusal of this device's next session.
    static QStringList refusal(const QString& code, const QString& message);
    // The CF-e of the sale's input, signed with this device's serial; nothing is kept
    // yet. Throws platform::HostError when the sale cannot make a valid CF-e.
    sat::Cfe draft(const sat::CfeInput& input) const;
    // Issues the drafted CF-e of the sale and remembers it before answering. Throws
    // platform::HostError when the memory cannot be written (nothing is answered then).
    QStringList issue(const sat::Cfe& cfe, const QString& branch, const QString& cashRegister,
                      const QString& sequence) const;

    // The answer the device gives when it is busy (the host's planned fault).
    static QStringList busyAnswer();

private:
    static int nextSession();
    const SatMemory& memory_;
    QString activationCode_;
    sat::XmlForm form_;
};

}  // namespace possvc
