#include "Commands.h"
#include "Dump.h"
#include "TargetFile.h"

#include "platform/Error.h"
#include "platform/dataset/DataPacket.h"
#include "platform/dataset/PacketJson.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include <sys/stat.h>

namespace cdstool {

using platform::DataPacket;
using platform::PacketError;
using platform::PacketFormat;

namespace {

PacketFormat formatFor(const QString& option, const QString& out)
{
    if (option == QLatin1String("--binary"))
        return PacketFormat::Binary;
    if (option == QLatin1String("--xml"))
        return PacketFormat::Xml;
    if (option == QLatin1String("--xml-utf8"))
        return PacketFormat::XmlUtf8;
    return QFileInfo(out).suffix().compare(QLatin1String("xml"), Qt::CaseInsensitive) == 0 ? PacketFormat::Xml
                                                                                           : PacketFormat::Binary;
}

QJsonObject readJsonFile(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        throw PacketError(QStringLiteral("%1: file not found").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        throw PacketError(QStringLiteral("%1: cannot open (%2)").arg(path, file.errorString()));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError)
        throw PacketError(
            QStringLiteral("%1: invalid JSON: %2 at offset %3").arg(path, error.errorString()).arg(error.offset));
    if (!doc.isObject())
        throw PacketError(QStringLiteral("%1: expected a JSON object {\"fields\":[...],\"rows\":[...]}").arg(path));
    return doc.object();
}

// Where the written packet differs from what was meant, as one line, or nothing.
std::optional<QString> firstDifference(const DataPacket& meant, const DataPacket& read)
{
    if (meant.fields.size() != read.fields.size() || meant.rows.size() != read.rows.size())
        return QStringLiteral("the fields or rows would change");
    for (qsizetype f = 0; f < meant.fields.size(); ++f) {
        const platform::FieldDef& a = meant.fields[f];
        const platform::FieldDef& b = read.fields[f];
        if (a.name != b.name || a.type != b.type || a.size != b.size)
            return QStringLiteral("field '%1' would change its definition").arg(a.name);
    }
    for (qsizetype r = 0; r < meant.rows.size(); ++r)
        for (qsizetype f = 0; f < meant.fields.size(); ++f) {
            const auto type = meant.fields[f].type;
            const QJsonValue a = platform::valueToJson(meant.rows[r].value(f), type);
            const QJsonValue b = platform::valueToJson(read.rows[r].value(f), type);
            if (a != b)
                return QStringLiteral("field '%1' in row %2: \"%3\" would be stored as \"%4\" (this file's "
                                      "encoding cannot hold it)")
                    .arg(meant.fields[f].name)
                    .arg(r + 1)
                    .arg(cellText(a).left(60), cellText(b).left(60));
        }
    return std::nullopt;
}

// The process's file-creation mask (reading it means setting it: set back at once).
mode_t creationMask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Writes beside the target, reads the result back and compares it with what was meant,
// then replaces the target in one rename: a failure at any step leaves the target as it was.
// A target that is a symbolic link has its file replaced, with that file's owner and mode.
void writeVerified(const DataPacket& packet, const QString& target, PacketFormat format)
{
    const QByteArray bytes = platform::writePacket(packet, format);
    const QString replaced = replacedFile(target);
    const QFileInfo info(replaced);
    QTemporaryFile temp(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX"));
    if (!temp.open() || temp.write(bytes) != bytes.size() || !temp.flush())
        throw PacketError(QStringLiteral("%1: cannot write beside it (%2)").arg(target, temp.errorString()));
    const DataPacket again = platform::readPacketFile(temp.fileName());
    if (platform::packetToJsonText(again) != platform::packetToJsonText(packet)) {
        const QString what = firstDifference(packet, again).value_or(QStringLiteral("the data would change"));
        throw PacketError(QStringLiteral("%1: not written: %2").arg(target, what));
    }
    if (QFileInfo::exists(replaced))
        keepOwnerAndMode(temp.handle(), replaced, target);  // once read back: the mode may forbid reading
    else  // the mode the creation mask gives any new file, not the temporary's owner-only one
        ::fchmod(temp.handle(), 0666 & ~creationMask());
    temp.close();
    if (std::rename(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(replaced).constData()) != 0)
        throw PacketError(QStringLiteral("%1: cannot replace it (%2)").arg(target, QString::fromLocal8Bit(std::strerror(errno))));
    temp.setAutoRemove(false);  // renamed: nothing left to remove
}

}  // namespace

int convert(const QString& in, const QString& out, const QString& formatOption)
{
    const DataPacket p = platform::readPacketFile(in);
    writeVerified(p, out, formatFor(formatOption, out));
    return 0;
}

int create(const QString& out, const QString& jsonFile, bool xml)
{
    DataPacket p;
    try {
        p = platform::packetFromJson(readJsonFile(jsonFile));
    } catch (const PacketError& e) {
        if (e.text().startsWith(jsonFile + QLatin1String(": ")))
            throw;
        throw PacketError(QStringLiteral("%1: %2").arg(jsonFile, e.text()));
    }
    if (p.isNull())
        throw PacketError(QStringLiteral("%1: a data packet needs at least one field").arg(jsonFile));
    writeVerified(p, out, xml ? PacketFormat::Xml : PacketFormat::Binary);
    return 0;
}

int set(const QString& file, const QStringList& assignments, int row)
{
    DataPacket p = platform::readPacketFile(file);
    if (row > p.rows.size())
        throw PacketError(QStringLiteral("%1: has no row %2 (it has %3)").arg(file).arg(row).arg(p.rows.size()));
    QVariantList& values = p.rows[row - 1];
    values.resize(p.fields.size());
    for (const QString& assignment : assignments) {
        const qsizetype eq = assignment.indexOf(QLatin1Char('='));
        if (eq <= 0)
            throw UsageError(QStringLiteral("'%1' is not FIELD=VALUE").arg(assignment));
        const QString name = assignment.left(eq);
        const int f = p.indexOf(name);
        if (f < 0)
            throw PacketError(QStringLiteral("%1: no field '%2'").arg(file, name));
        const platform::FieldDef& def = p.fields[f];
        if (def.type == platform::FieldType::DataSet)
            throw PacketError(QStringLiteral("%1: field '%2' is a nested dataset").arg(file, def.name));
        try {
            values[f] = platform::valueFromJson(QJsonValue(assignment.mid(eq + 1)), def);
        } catch (const PacketError& e) {
            throw PacketError(QStringLiteral("%1: %2").arg(file, e.text()));
        }
        const bool text = values[f].metaType().id() == QMetaType::QString;
        if (text && def.size > 0 && values[f].toString().size() > def.size
            && def.type != platform::FieldType::Memo && def.type != platform::FieldType::WideMemo)
            throw PacketError(QStringLiteral("%1: field '%2' holds at most %3 characters")
                                  .arg(file, def.name).arg(def.size));
    }
    writeVerified(p, file, p.sourceFormat);
    return 0;
}

}  // namespace cdstool
