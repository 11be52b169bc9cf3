#pragma once
// How GoogleTest shows Qt's value types and the platform's packet format in failure
// messages and in the names of parameterised cases (CTest lists each case with its
// parameter): as text, where GoogleTest alone would dump their bytes, or show a QString
// as a list of 2-byte objects.
//
// Every translation unit of the tests is compiled with this header included first
// (test_support's compile options): a printer seen by some files of an executable and
// not by others would give two bodies to one GoogleTest template, and the linker keeps
// either.

#include <QtGlobal>

#include <iosfwd>

QT_BEGIN_NAMESPACE
class QByteArray;
class QChar;
class QDate;
class QDateTime;
class QString;
class QTime;
class QVariant;
QT_END_NAMESPACE

// Texts in double quotes with C escapes for quotes, backslashes and control characters;
// other characters as UTF-8.
void PrintTo(const QString& text, std::ostream* os);
void PrintTo(QChar c, std::ostream* os);
// Bytes in double quotes: printable ASCII as it is, the rest as \xNN.
void PrintTo(const QByteArray& bytes, std::ostream* os);
// QVariant(type, value), QVariant() when invalid.
void PrintTo(const QVariant& value, std::ostream* os);
// ISO 8601: 2026-12-07, 10:00:00.005, 2026-12-07T10:00:00.005; QDate() when invalid.
void PrintTo(const QDate& date, std::ostream* os);
void PrintTo(const QTime& time, std::ostream* os);
void PrintTo(const QDateTime& dateTime, std::ostream* os);

namespace platform {
enum class PacketFormat;
// binary, xml, xml-utf8
void PrintTo(PacketFormat format, std::ostream* os);
}  // namespace platform
