#pragma once
// The commands of cdstool, a tool to inspect, convert and edit the terminal's
// client-dataset files (binary or XML data packets).
//
// Each command returns the process exit code. Problems with a file (missing,
// malformed, a value its field cannot hold) throw platform::Error, which main reports
// as "cdstool: <file>: <what>" with exit code 1; bad usage throws UsageError (exit 2).

#include <QString>
#include <QStringList>

#include <stdexcept>

namespace cdstool {

class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString& text) : std::runtime_error(text.toStdString()) {}
};

enum class DumpStyle { Table, Csv, Xml, Json };

int dump(const QString& file, DumpStyle style);
// Without a format option the output format follows OUT's extension (.xml: XML).
int convert(const QString& in, const QString& out, const QString& formatOption);
int create(const QString& out, const QString& jsonFile, bool xml);
// assignments are FIELD=VALUE; row is 1-based.
int set(const QString& file, const QStringList& assignments, int row);

}  // namespace cdstool
