#pragma once
// What the sale services ask a fiscal device: "which CF-e, if any, did you issue for this
// terminal's sale N?" The device answers from what it keeps; the sale services decide and
// write the sale's rows. Nothing here reads a device's files.

#include "PossvcExport.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace possvc {

class POSSVC_EXPORT IssuedCfes {
public:
    virtual ~IssuedCfes() = default;
    // The device's answer (name=value lines) of the latest CF-e issued for the sale.
    // Throws platform::HostError when the device cannot say.
    virtual std::optional<QStringList> cfeFor(const QString& branch, const QString& cashRegister,
                                              const QString& sequence) const = 0;
};

}  // namespace possvc
