#pragma once
// The error hierarchy of the whole system. Errors are exceptions; no exception crosses
// the Qt event loop or an exported C function (screen handlers and exports catch them).

#include "PlatformDatasetExport.h"

#include <QString>
#include <stdexcept>

namespace platform {

// Base of every error the system raises. Carries its text as a QString (Portuguese and
// accented texts survive) and as UTF-8 for what().
class PLATFORM_DATASET_EXPORT Error : public std::runtime_error {
public:
    explicit Error(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const noexcept { return text_; }

private:
    QString text_;
};

// Misuse of a dataset: unknown field, wrong state, conversion that cannot be made.
class PLATFORM_DATASET_EXPORT DataSetError : public Error {
public:
    using Error::Error;
};

// Malformed or unreadable data packet or file. The text names the source and what is wrong.
class PLATFORM_DATASET_EXPORT PacketError : public Error {
public:
    using Error::Error;
};

// A filter expression that does not parse. The text names the position.
class PLATFORM_DATASET_EXPORT FilterError : public Error {
public:
    using Error::Error;
};

// A database failure: connecting, preparing, executing. The text is the driver's message.
class PLATFORM_DATASET_EXPORT DatabaseError : public Error {
public:
    using Error::Error;
};

// A host operation that cannot be called (unassigned procedure variable) or failed inside.
class PLATFORM_DATASET_EXPORT HostError : public Error {
public:
    using Error::Error;
};

}  // namespace platform
