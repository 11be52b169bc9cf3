// Writer of the XML packet encoding in the host's own style: one line, the prolog
// followed by two spaces, double-quoted attributes, NULL as an omitted attribute.

#include "platform/dataset/PacketCodec.h"
#include "platform/dataset/PacketEncodings.h"
#include "platform/dataset/XmlValues.h"

#include "platform/Error.h"

#include <QDateTime>
#include <QSet>
#include <QtEndian>

#include <type_traits>

namespace platform::packet {

namespace {

enum class TextMode {
    Ansi,     // Windows-1252 bytes
    Utf8,     // UTF-8 bytes
    Escaped,  // ASCII, everything else as &#NNN; (UTF-16 code units, as the host does)
};

void appendRef(QByteArray& out, uint code)
{
    out += "&#";
    if (code < 100)
        out += code < 10 ? "00" : "0";
    out += QByteArray::number(code);
    out += ';';
}

void appendEscaped(QByteArray& out, QStringView text, TextMode mode)
{
    qsizetype plainFrom = 0;
    auto flush = [&](qsizetype to) {
        if (to <= plainFrom)
            return;
        const QStringView plain = text.sliced(plainFrom, to - plainFrom);
        if (mode == TextMode::Utf8)
            out += plain.toUtf8();
        else
            appendCp1252(out, plain);  // Escaped mode only gets here with ASCII
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const char* named = nullptr;
        switch (c) {
        case '<': named = "&lt;"; break;
        case '>': named = "&gt;"; break;
        case '&': named = "&amp;"; break;
        case '"': named = "&quot;"; break;
        case '\'': named = "&apos;"; break;
        default: break;
        }
        // Characters the 8-bit code page cannot hold travel as references, not as '?'.
        const bool ref = c < 0x20 || c == '\\' || (mode == TextMode::Escaped && c >= 0x80)
                         || (mode == TextMode::Ansi && c >= 0x80 && !isCp1252(c))
                         || (mode == TextMode::Utf8 && QChar::isSurrogate(c));  // UTF-8 cannot hold a lone half
        if (!named && !ref)
            continue;
        flush(i);
        if (named)
            out += named;
        else
            appendRef(out, c);
        plainFrom = i + 1;
    }
    flush(text.size());
}

// XML attribute names cannot hold these; the host writes '_' instead. An 8-bit file
// cannot hold a character outside its code page in a name either (the full name
// travels in fieldname).
QString attrNameFor(const QString& name, bool ansi)
{
    QString s = name.isEmpty() ? QStringLiteral("_") : name;
    for (QChar& c : s)
        if (c.unicode() < 0x20 || QStringView(u" ()#*!$%?/<>&\"'=\\").contains(c)
            || (ansi && c.unicode() >= 0x80 && !isCp1252(c.unicode())))
            c = QLatin1Char('_');
    return s;
}

// Well-known parameters of their usual type are attributes; the rest are PARAM elements.
bool isAttributeParam(const PacketParam& p, bool tableLevel)
{
    const quint32 known = knownParamType(p.name, tableLevel);
    return known != 0 && known == (p.typeWord & 0x7FFFFFFF);
}

class XmlWriter {
public:
    explicit XmlWriter(bool utf8) : utf8_(utf8), nameMode_(utf8 ? TextMode::Utf8 : TextMode::Ansi) {}

    QByteArray write(const DataPacket& packet)
    {
        out_.reserve(4096 + packet.rows.size() * 64);
        writePacket(packet, nullptr);
        return out_;
    }

    void write(const DataPacket& packet, const TextSink& sink)
    {
        out_.reserve(kTextChunk + 4096);
        writePacket(packet, &sink);
        passChunk(out_, sink, true);
    }

private:
    struct Level {
        FieldDefs fields;
        QList<QByteArray> attrNames;  // encoded
        QList<QByteArray> subtypes;
        QList<Level> children;        // per field (empty level for flat fields)
    };

    // With a sink, the text goes to it after each top-level row that fills a chunk.
    void writePacket(const DataPacket& packet, const TextSink* sink)
    {
        out_ += utf8_ ? "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>  "
                      : "<?xml version=\"1.0\" standalone=\"yes\"?>  ";
        out_ += "<DATAPACKET Version=\"2.0\"><METADATA>";
        const Level top = writeMetadata(packet, 0);
        out_ += "</METADATA><ROWDATA>";
        for (const QVariantList& row : packet.rows) {
            writeRow(top, row, "ROW");
            if (sink)
                passChunk(out_, *sink);
        }
        out_ += "</ROWDATA></DATAPACKET>";
    }

    void attr(const char* name, const QByteArray& value)
    {
        out_ += ' ';
        out_ += name;
        out_ += "=\"";
        out_ += value;
        out_ += '"';
    }

    void textAttr(const char* name, const QString& value, TextMode mode)
    {
        out_ += ' ';
        out_ += name;
        out_ += "=\"";
        appendEscaped(out_, value, mode);
        out_ += '"';
    }

    Level writeMetadata(const DataPacket& packet, int depth)
    {
        Level level;
        level.fields = packet.fields;
        QSet<QString> used;
        const QList<QList<PacketParam>> stored = fieldParamGroups(packet.params, int(packet.fields.size()));
        out_ += "<FIELDS>";
        for (int i = 0; i < packet.fields.size(); ++i) {
            const FieldDef& def = packet.fields[i];
            const QString attrName = uniqueAttrName(def.name, used);
            QByteArray encoded;
            appendEscaped(encoded, attrName, nameMode_);
            level.attrNames.append(encoded);
            const QList<PacketParam> others
                = writeFieldTag(def, attrName, encoded, paramsForField(def, i, stored[i]), level);
            const bool nested = def.type == FieldType::DataSet;
            if (others.isEmpty() && !nested) {
                out_ += "/>";
                level.children.append(Level());
                continue;
            }
            out_ += '>';
            writeParamElements(others, false);
            if (nested) {
                DataPacket child;
                child.fields = def.children;
                level.children.append(writeMetadata(child, depth + 1));
            } else {
                level.children.append(Level());
            }
            out_ += "</FIELD>";
        }
        out_ += "</FIELDS>";
        writeTableParams(depth == 0 ? tableParams(packet) : QList<PacketParam>());
        return level;
    }

    // The row attribute of a field: its name as XML can hold it, numbered when another
    // field of the level already has it.
    QString uniqueAttrName(const QString& name, QSet<QString>& used) const
    {
        const bool ansi = nameMode_ == TextMode::Ansi;
        QString attrName = attrNameFor(name, ansi);
        for (int n = 2; used.contains(attrName.toUpper()); ++n)
            attrName = attrNameFor(name, ansi) + QLatin1Char('_') + QString::number(n);
        used.insert(attrName.toUpper());
        return attrName;
    }

    // The FIELD tag up to its end, with the attribute parameters (WIDTH, DECIMALS,
    // SUBTYPE); the field's subtype goes to the level. Returns the parameters that are
    // written as elements.
    QList<PacketParam> writeFieldTag(const FieldDef& def, const QString& attrName, const QByteArray& encoded,
                                     const QList<PacketParam>& params, Level& level)
    {
        out_ += "<FIELD";
        attr("attrname", encoded);
        if (attrName != def.name)
            textAttr("fieldname", def.name, nameMode_);
        attr("fieldtype", xmlTypeNameOf(def.type));
        if (def.readOnly)
            attr("readonly", "true");
        if (def.required)
            attr("required", "true");
        if (def.hidden)
            attr("hidden", "true");
        QByteArray subtype;
        QList<PacketParam> others;
        for (const PacketParam& p : params) {
            if (isAttributeParam(p, false)) {
                textAttr(p.name.constData(), paramToText(p), nameMode_);
                if (p.name == "SUBTYPE")
                    subtype = paramString(p);
            } else if (p.name != "FIELDNAME") {
                others.append(p);
            }
        }
        level.subtypes.append(subtype);
        return others;
    }

    void writeParamElements(const QList<PacketParam>& params, bool tableLevel)
    {
        for (const PacketParam& p : params) {
            out_ += "<PARAM";
            textAttr("Name", QString::fromUtf8(p.name), nameMode_);
            textAttr("Value", paramToText(p), nameMode_);
            // A string needs no Type unless its name would make a reader expect another type.
            const QByteArray type = xmlNameOfParamType(p.typeWord);
            const quint32 known = knownParamType(p.name, tableLevel) | knownParamType(p.name, !tableLevel);
            if (type != "string" || (known && known != paramTypeForXml("string")))
                attr("Type", type);
            if (p.typeWord & 0x80000000u)
                attr("Roundtrip", "True");
            out_ += "/>";
        }
    }

    void writeTableParams(const QList<PacketParam>& params)
    {
        out_ += "<PARAMS";
        QList<PacketParam> others;
        for (const PacketParam& p : params) {
            if (isAttributeParam(p, true))
                textAttr(p.name.constData(), paramToText(p), nameMode_);
            else
                others.append(p);
        }
        if (others.isEmpty()) {
            out_ += "/>";
            return;
        }
        out_ += '>';
        writeParamElements(others, true);
        out_ += "</PARAMS>";
    }

    void writeRow(const Level& level, const QVariantList& row, const QByteArray& tag)
    {
        out_ += '<';
        out_ += tag;
        bool hasNested = false;
        for (qsizetype f = 0; f < level.fields.size() && f < row.size(); ++f) {
            const QVariant& v = row[f];
            if (!v.isValid() || v.metaType().id() == QMetaType::Nullptr)
                continue;
            if (level.fields[f].type == FieldType::DataSet) {
                hasNested = true;
                continue;
            }
            out_ += ' ';
            out_ += level.attrNames[f];
            out_ += "=\"";
            appendValue(level.fields[f], level.subtypes[f], v);
            out_ += '"';
        }
        if (!hasNested) {
            out_ += "/>";
            return;
        }
        out_ += '>';
        for (qsizetype f = 0; f < level.fields.size() && f < row.size(); ++f) {
            if (level.fields[f].type != FieldType::DataSet || !row[f].canConvert<DataPacket>())
                continue;
            out_ += '<' + level.attrNames[f] + '>';
            const QByteArray childTag = "ROW" + level.attrNames[f];
            const DataPacket child = row[f].value<DataPacket>();
            for (const QVariantList& childRow : child.rows)
                writeRow(level.children[f], childRow, childTag);
            out_ += "</" + level.attrNames[f] + '>';
        }
        out_ += "</" + tag + '>';
    }

    [[noreturn]] static void badValue(const FieldDef& def, const QVariant& v)
    {
        throw PacketError(QStringLiteral("field '%1': value '%2' cannot be stored as %3")
                              .arg(def.name, v.toString().left(40), QString::fromLatin1(xmlTypeNameOf(def.type))));
    }

    // The value of a non-null cell as its attribute's text.
    void appendValue(const FieldDef& def, const QByteArray& subtype, const QVariant& v)
    {
        switch (kindOf(def.type)) {
        case ValueKind::Text: return appendText(def, subtype, v.toString());
        case ValueKind::Bytes: return appendBytes(def, v.toByteArray());
        case ValueKind::Integer: out_ += QByteArray::number(numberOf<qint64>(def, v)); return;
        case ValueKind::Boolean: out_ += v.toBool() ? "TRUE" : "FALSE"; return;
        case ValueKind::Float: return appendFloat(def, numberOf<double>(def, v));
        case ValueKind::Date: out_ += formatXmlDate(valid(def, v, dateOfValue(v))); return;
        case ValueKind::Time: out_ += formatXmlTime(valid(def, v, timeOfValue(v))); return;
        case ValueKind::DateTime: out_ += formatXmlDateTime(valid(def, v, dateTimeOfValue(v))); return;
        case ValueKind::DataSet: return;
        }
    }

    template <typename T>
    static const T& valid(const FieldDef& def, const QVariant& v, const T& value)
    {
        if (!value.isValid())
            badValue(def, v);
        return value;
    }

    template <typename T>
    static T numberOf(const FieldDef& def, const QVariant& v)
    {
        bool ok = true;
        T n;
        if constexpr (std::is_integral_v<T>)
            n = v.toLongLong(&ok);
        else
            n = v.toDouble(&ok);
        if (!ok)
            badValue(def, v);
        return n;
    }

    // Texts are cut to their size; memos are Base64 of their encoding unless their
    // subtype says they are plain text. Wide texts are ASCII with references.
    void appendText(const FieldDef& def, const QByteArray& subtype, QString s)
    {
        if (traitsOf(def.type).sizeLimits && def.size > 0 && s.size() > def.size)
            s.truncate(def.size);
        const bool memo = def.type == FieldType::Memo || def.type == FieldType::WideMemo;
        if (memo && !isTextSubtype(subtype)) {
            out_ += (def.type == FieldType::Memo ? toCp1252(s) : toUtf16Le(s)).toBase64();
            return;
        }
        const bool wide = def.type == FieldType::WideString || def.type == FieldType::WideMemo;
        appendEscaped(out_, s, wide ? TextMode::Escaped : utf8_ ? TextMode::Utf8 : TextMode::Ansi);
    }

    void appendBytes(const FieldDef& def, QByteArray b)
    {
        if (def.type == FieldType::Bytes)
            b.resize(qBound(0, def.size, 0xFFFF), '\0');  // fixed size: zero-filled
        out_ += b.toBase64();
    }

    void appendFloat(const FieldDef& def, double d)
    {
        if (def.type == FieldType::Bcd || def.type == FieldType::FmtBcd)
            out_ += formatDecimal(d, def.decimals);
        else
            out_ += formatDouble(d, def.type == FieldType::Single);
    }

    QByteArray out_;
    bool utf8_;
    TextMode nameMode_;
};

}  // namespace

QByteArray writeXmlPacket(const DataPacket& packet, bool utf8)
{
    return XmlWriter(utf8).write(packet);
}

void writeXmlPacket(const DataPacket& packet, bool utf8, const TextSink& sink)
{
    XmlWriter(utf8).write(packet, sink);
}

}  // namespace platform::packet
