#pragma once
// A simulated device's memory between runs: one JSON document in a file of its own.
// A missing file is a device that remembers nothing yet; a file that exists but cannot
// be read or understood is an error (what a device counted is never silently restarted).
// The file is written whole or not at all (beside the old one, then renamed over it), read
// back, and readable by its owner only (0600).
//
// Errors: platform::HostError, its text made from `errorText` with %1 the file and %2
// what is wrong.

#include <QJsonDocument>
#include <QString>

#include <optional>

namespace host {

class StateFile {
public:
    // `unreadable` says that the content is not the expected document; %1 is the parser's reason.
    StateFile(QString path, QString errorText, QString unreadable)
        : path_(std::move(path)), errorText_(std::move(errorText)), unreadable_(std::move(unreadable)) {}

    enum class Shape { Object, Array };
    // The document, or nothing when the file does not exist.
    std::optional<QJsonDocument> read(Shape shape) const;
    void write(const QJsonDocument& document, QJsonDocument::JsonFormat format) const;

    [[noreturn]] void fail(const QString& what) const;
    const QString& path() const { return path_; }

private:
    QString path_, errorText_, unreadable_;
};

}  // namespace host
