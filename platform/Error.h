#pragma once
// The error hierarchy of the whole system. Errors are exceptions; no exception crosses
// the Qt event loop or an exported C function (screen handlers and exports catch them).

#include "PlatformDatasetExport.h"

#include <QString>
#include <stdexcept>
#include <utility>

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

// A database failure: connecting, preparing, executing. The text is the driver's message;
// the kind says what the failure means for the statement that met it, as far as the
// engine told, and the engine's own code (SQLSTATE, SQLite's extended result code, the
// ODBC driver's native code) comes along as text.
class PLATFORM_DATASET_EXPORT DatabaseError : public Error {
public:
    enum class Kind {
        Other,           // not carried out, for any other reason (misuse, a text the engine refused)
        InDoubt,         // a commit whose answer was lost: it may have been carried out
        ConnectionLost,  // the connection went away while the statement ran
        Busy,            // the database stayed locked, or another transaction was in the way
        Refused,         // a constraint or a value the engine refused: not carried out
    };

    using Error::Error;
    DatabaseError(const QString& text, Kind kind, QString engineCode = {})
        : Error(text), kind_(kind), engineCode_(std::move(engineCode)) {}

    Kind kind() const noexcept { return kind_; }
    const QString& engineCode() const noexcept { return engineCode_; }
    // The statement may have been carried out although no answer said so.
    bool uncertain() const noexcept { return kind_ == Kind::InDoubt || kind_ == Kind::ConnectionLost; }

private:
    Kind kind_ = Kind::Other;
    QString engineCode_;
};

// A host operation that cannot be called (unassigned procedure variable) or failed inside.
class PLATFORM_DATASET_EXPORT HostError : public Error {
public:
    using Error::Error;
};

}  // namespace platform
