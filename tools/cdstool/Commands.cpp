#include "Commands.h"
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

namespace cdstool {

using platform::DataPacket;
using platform::PacketError;
using platform::PacketFormat;

namespace {

void print(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

// A JSON value as one line of text; null is empty.
QString cellText(const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::String: return v.toString();
    case QJsonValue::Bool: return QString::fromLatin1(v.toBool() ? "true" : "false");
    case QJsonValue::Double: {
        const QJsonArray one{v};
        const QByteArray text = QJsonDocument(one).toJson(QJsonDocument::Compact);
        return QString::fromUtf8(text.mid(1, text.size() - 2));
    }
    case QJsonValue::Object:
        return QString::fromUtf8(QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact));
    default: return {};
    }
}

// Control characters shown as escapes, so that each row stays on one line.
QString oneLine(const QString& s)
{
    QString out;
    for (QChar c : s) {
        if (c == QLatin1Char('\n')) out += QLatin1String("\\n");
        else if (c == QLatin1Char('\r')) out += QLatin1String("\\r");
        else if (c == QLatin1Char('\t')) out += QLatin1String("\\t");
        else if (c.unicode() < 0x20) out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else out += c;
    }
    return out;
}

QString csvField(const QString& s)
{
    if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\n'))
        && !s.contains(QLatin1Char('\r')))
        return s;
    QString quoted = s;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void printTable(const DataPacket& p)
{
    constexpr int kMaxWidth = 60;
    QList<QStringList> cells;
    QList<qsizetype> widths;
    QStringList header;
    for (const auto& def : p.fields) {
        header << def.name;
        widths << def.name.size();
    }
    for (const QVariantList& row : p.rows) {
        QStringList line;
        for (qsizetype f = 0; f < p.fields.size(); ++f) {
            const QVariant v = f < row.size() ? row[f] : QVariant();
            QString text = v.isValid() ? oneLine(cellText(platform::valueToJson(v, p.fields[f].type)))
                                       : QStringLiteral("(null)");
            if (text.size() > kMaxWidth)
                text = text.left(kMaxWidth - 3) + QLatin1String("...");
            widths[f] = qMax(widths[f], text.size());
            line << text;
        }
        cells << line;
    }
    auto printLine = [&](const QStringList& line) {
        QString out;
        for (qsizetype f = 0; f < line.size(); ++f)
            out += (f ? QLatin1String(" | ") : QLatin1String("")) + line[f].leftJustified(widths[f]);
        print(out.trimmed().toUtf8() + '\n');
    };
    printLine(header);
    QStringList rule;
    for (qsizetype w : widths)
        rule << QString(w, QLatin1Char('-'));
    print(rule.join(QLatin1String("-+-")).toUtf8() + '\n');
    for (const QStringList& line : cells)
        printLine(line);
    print(QStringLiteral("(%1 row%2)\n").arg(p.rows.size()).arg(p.rows.size() == 1 ? "" : "s").toUtf8());
}

void printCsv(const DataPacket& p)
{
    QStringList header;
    for (const auto& def : p.fields)
        header << csvField(def.name);
    print(header.join(QLatin1Char(',')).toUtf8() + "\r\n");
    for (const QVariantList& row : p.rows) {
        QStringList line;
        for (qsizetype f = 0; f < p.fields.size(); ++f)
            line << csvField(cellText(platform::valueToJson(f < row.size() ? row[f] : QVariant(), p.fields[f].type)));
        print(line.join(QLatin1Char(',')).toUtf8() + "\r\n");
    }
}

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
    keepOwnerAndMode(temp.handle(), replaced, target);  // once read back: the mode may forbid reading
    temp.close();
    if (std::rename(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(replaced).constData()) != 0)
        throw PacketError(QStringLiteral("%1: cannot replace it (%2)").arg(target, QString::fromLocal8Bit(std::strerror(errno))));
    temp.setAutoRemove(false);  // renamed: nothing left to remove
}

}  // namespace

int dump(const QString& file, DumpStyle style)
{
    const DataPacket p = platform::readPacketFile(file);
    switch (style) {
    case DumpStyle::Table: printTable(p); break;
    case DumpStyle::Csv: printCsv(p); break;
    case DumpStyle::Xml: print(platform::writePacket(p, PacketFormat::XmlUtf8) + '\n'); break;
    case DumpStyle::Json:
        print(platform::packetToJsonText(p) + '\n');
        break;
    }
    return 0;
}

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
