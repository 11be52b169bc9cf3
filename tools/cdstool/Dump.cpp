// cdstool dump: the rows as a table, CSV, the XML packet or JSON, written to standard
// output row by row as they are made from the file's columns. The memory a dump needs
// is the file's rows, never their text: the table measures its column widths in a first
// walk over the rows and writes them in a second.

#include "Commands.h"
#include "Dump.h"
#include "Output.h"

#include "platform/dataset/DataPacket.h"
#include "platform/dataset/PacketJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace cdstool {

using platform::DataPacket;
using platform::PacketFormat;

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

namespace {

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

QVariant valueAt(const QVariantList& row, qsizetype field)
{
    return field < row.size() ? row[field] : QVariant();
}

// The cells of a row as the table shows them: on one line, cut to a readable width.
QStringList tableCells(const DataPacket& p, const QVariantList& row)
{
    constexpr int kMaxWidth = 60;
    QStringList cells;
    for (qsizetype f = 0; f < p.fields.size(); ++f) {
        const QVariant v = valueAt(row, f);
        QString text = v.isValid() ? oneLine(cellText(platform::valueToJson(v, p.fields[f].type)))
                                   : QStringLiteral("(null)");
        if (text.size() > kMaxWidth)
            text = text.left(kMaxWidth - 3) + QLatin1String("...");
        cells << text;
    }
    return cells;
}

// The widths of the columns: their names' and their widest cells'.
QList<qsizetype> tableWidths(const DataPacket& p)
{
    QList<qsizetype> widths;
    for (const auto& def : p.fields)
        widths << def.name.size();
    for (const QVariantList& row : p.rows) {
        const QStringList cells = tableCells(p, row);
        for (qsizetype f = 0; f < cells.size(); ++f)
            widths[f] = qMax(widths[f], cells[f].size());
    }
    return widths;
}

void printTable(const DataPacket& p, StandardOutput& out)
{
    const QList<qsizetype> widths = tableWidths(p);
    auto printLine = [&](const QStringList& cells) {
        QString line;
        for (qsizetype f = 0; f < cells.size(); ++f)
            line += (f ? QLatin1String(" | ") : QLatin1String("")) + cells[f].leftJustified(widths[f]);
        out.write(line.trimmed().toUtf8() + '\n');
    };
    QStringList header;
    for (const auto& def : p.fields)
        header << def.name;
    printLine(header);
    QStringList rule;
    for (qsizetype w : widths)
        rule << QString(w, QLatin1Char('-'));
    out.write(rule.join(QLatin1String("-+-")).toUtf8() + '\n');
    for (const QVariantList& row : p.rows)
        printLine(tableCells(p, row));
    out.writeText(QStringLiteral("(%1 row%2)\n").arg(p.rows.size()).arg(p.rows.size() == 1 ? "" : "s"));
}

void printCsv(const DataPacket& p, StandardOutput& out)
{
    QStringList header;
    for (const auto& def : p.fields)
        header << csvField(def.name);
    out.write(header.join(QLatin1Char(',')).toUtf8() + "\r\n");
    for (const QVariantList& row : p.rows) {
        QStringList line;
        for (qsizetype f = 0; f < p.fields.size(); ++f)
            line << csvField(cellText(platform::valueToJson(valueAt(row, f), p.fields[f].type)));
        out.write(line.join(QLatin1Char(',')).toUtf8() + "\r\n");
    }
}

}  // namespace

int dump(const QString& file, DumpStyle style)
{
    // Read whole before anything is written: a file that does not read prints nothing.
    const DataPacket p = platform::readPacketFile(file);
    StandardOutput out;
    switch (style) {
    case DumpStyle::Table: printTable(p, out); break;
    case DumpStyle::Csv: printCsv(p, out); break;
    case DumpStyle::Xml:
        platform::writePacketTo(p, PacketFormat::XmlUtf8, out.sink());
        out.write("\n");
        break;
    case DumpStyle::Json:
        platform::writePacketJsonText(p, out.sink());
        out.write("\n");
        break;
    }
    out.finish();
    return 0;
}

}  // namespace cdstool
