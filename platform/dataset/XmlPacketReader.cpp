// Reader of the XML packet encoding: METADATA (fields and parameters) then ROWDATA.
// Tolerant of what the host writes: 8-bit text without a declaration, references to
// surrogate halves, lower-case parameter names, attributes in any order.

#include "platform/dataset/PacketCodec.h"
#include "platform/dataset/PacketEncodings.h"
#include "platform/dataset/PacketRows.h"
#include "platform/dataset/XmlScanner.h"
#include "platform/dataset/XmlValues.h"

#include "platform/Error.h"

#include <QHash>

#include <memory>
#include <vector>

namespace platform::packet {

namespace {

using Token = XmlScanner::Token;

struct XmlLevel {
    FieldDefs fields;
    QList<QByteArray> typeNames;  // fieldtype as written
    QList<QByteArray> subtypes;   // SUBTYPE of each field, once the level is complete
    QList<QByteArray> attrNames;  // names of the row attributes, raw as in the file
    QList<PacketParam> params;
    std::vector<std::unique_ptr<XmlLevel>> nested;
    QHash<QByteArray, int> byAttrName;
    QList<qint64> changeLog;
};

// Which encoding the bytes use, and where the markup starts.
bool detectUtf8(const QByteArray& bytes, qsizetype& start)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        start = 3;
        return true;
    }
    start = 0;
    const qsizetype prologEnd = bytes.indexOf("?>");
    if (prologEnd < 0 || prologEnd > 512)
        return false;
    const QByteArray prolog = bytes.left(prologEnd).toLower();
    const qsizetype at = prolog.indexOf("encoding");
    if (!prolog.trimmed().startsWith("<?xml") || at < 0)
        return false;
    const QByteArray rest = prolog.mid(at + 8).trimmed();
    const bool saysUtf8 = rest.startsWith("=\"utf-8\"") || rest.startsWith("='utf-8'")
                          || rest.startsWith("= \"utf-8\"");
    return saysUtf8 && isValidUtf8(bytes.constData(), bytes.size());
}

class XmlReader {
public:
    XmlReader(const QByteArray& bytes, const QString& source) : source_(source)
    {
        qsizetype start = 0;
        utf8_ = detectUtf8(bytes, start);
        scanner_ = std::make_unique<XmlScanner>(bytes, start, utf8_, source);
        // A NUL ends a text for the host: a file holding one is corrupt.
        if (const qsizetype nul = bytes.indexOf('\0', start); nul >= 0)
            fail(QStringLiteral("NUL character"), nul);
    }

    DataPacket read()
    {
        XmlScanner& s = *scanner_;
        if (s.next() != Token::Start || !nameIs(s.name(), "DATAPACKET"))
            fail(QStringLiteral("not a data packet (no DATAPACKET element)"), s.offset());
        if (s.selfClosing())
            fail(QStringLiteral("empty DATAPACKET element"), s.offset());
        XmlLevel top;
        bool haveMetadata = false, haveRows = false;
        StoredRows stored;
        // Exactly one METADATA then one ROWDATA: a damaged tag must not read as an empty table.
        for (;;) {
            const Token t = s.next();
            if (t == Token::Eof)
                fail(QStringLiteral("truncated XML: DATAPACKET not closed"));
            if (t == Token::End)
                break;
            if (nameIs(s.name(), "METADATA") && !s.selfClosing() && !haveMetadata) {
                readMetadata(top, 0);
                haveMetadata = true;
            } else if (nameIs(s.name(), "ROWDATA") && !haveRows) {
                if (!haveMetadata)
                    fail(QStringLiteral("ROWDATA before METADATA"), s.offset());
                if (!s.selfClosing())
                    readRows(top, stored, 0);
                haveRows = true;
            } else {
                fail(QStringLiteral("unexpected element <%1> in DATAPACKET").arg(shortName(s.name())), s.offset());
            }
        }
        if (!haveMetadata)
            fail(QStringLiteral("no METADATA element"), s.offset());
        if (!haveRows)
            fail(QStringLiteral("no ROWDATA element"), s.offset());
        if (s.next() != Token::Eof)
            fail(QStringLiteral("content after the end of DATAPACKET"), s.offset());
        DataPacket packet;
        packet.fields = top.fields;
        packet.params = top.params;
        packet.rows = resolveRows(std::move(stored), top.changeLog);
        packet.sourceFormat = utf8_ ? PacketFormat::XmlUtf8 : PacketFormat::Xml;
        return packet;
    }

private:
    static constexpr int kMaxDepth = 4 * kMaxNesting + 8;

    [[noreturn]] void fail(const QString& what, qsizetype at = -1) const { scanner_->fail(what, at); }

    // A step whose PacketError (its text without the source) becomes this reader's.
    template <typename Step>
    auto located(const Step& step) const
    {
        try {
            return step();
        } catch (const PacketError& e) {
            fail(e.text());
        }
    }

    void readMetadata(XmlLevel& level, int depth)
    {
        XmlScanner& s = *scanner_;
        for (Token t = s.next(); t != Token::End; t = s.next()) {
            if (t == Token::Eof)
                fail(QStringLiteral("truncated XML in METADATA"));
            if (nameIs(s.name(), "FIELDS")) {
                if (!s.selfClosing())
                    readFields(level, depth);
            } else if (nameIs(s.name(), "PARAMS")) {
                readParams(level, -1);
            } else if (!s.selfClosing()) {
                s.skipElement(kMaxDepth);
            }
        }
        finishLevel(level);
    }

    void readFields(XmlLevel& level, int depth)
    {
        XmlScanner& s = *scanner_;
        for (Token t = s.next(); t != Token::End; t = s.next()) {
            if (t == Token::Eof)
                fail(QStringLiteral("truncated XML in FIELDS"));
            if (nameIs(s.name(), "FIELD"))
                readField(level, depth);
            else if (!s.selfClosing())
                s.skipElement(kMaxDepth);
        }
    }

    // A FIELD element: its attributes, then any PARAM elements and the fields and
    // parameters of a nested dataset inside it.
    void readField(XmlLevel& level, int depth)
    {
        XmlScanner& s = *scanner_;
        const qsizetype at = s.offset();
        const int index = int(level.fields.size());
        FieldTag tag = readFieldAttributes(level, index);
        if (tag.attrName.isEmpty())
            fail(QStringLiteral("FIELD without attrname"), at);
        std::unique_ptr<XmlLevel> child;
        if (!s.selfClosing())
            child = readFieldContent(level, index, tag.def.name, depth, at);
        if (child)
            finishLevel(*child);
        level.fields.append(tag.def);
        level.attrNames.append(tag.attrName);
        level.typeNames.append(tag.typeName);
        level.nested.push_back(std::move(child));
    }

    struct FieldTag {
        FieldDef def;
        QByteArray typeName;  // fieldtype as written
        QByteArray attrName;  // the name of its row attribute, raw as in the file
    };

    FieldTag readFieldAttributes(XmlLevel& level, int index)
    {
        XmlScanner& s = *scanner_;
        FieldTag tag;
        QString fieldName, attrText;
        for (const auto& a : s.attributes()) {
            if (nameIs(a.name, "attrname")) {
                tag.attrName = a.value.toByteArray();
                attrText = s.decode(a.value);
                if (tag.attrName.contains('&'))
                    tag.attrName = utf8_ ? attrText.toUtf8() : toCp1252(attrText);
            } else if (nameIs(a.name, "fieldname") || nameIs(a.name, "tagname")) {
                fieldName = s.decode(a.value);
            } else if (nameIs(a.name, "fieldtype")) {
                tag.typeName = s.decode(a.value).toLatin1();
            } else if (nameIs(a.name, "readonly")) {
                tag.def.readOnly = isTrue(a.value);
            } else if (nameIs(a.name, "required")) {
                tag.def.required = isTrue(a.value);
            } else if (nameIs(a.name, "hidden")) {
                tag.def.hidden = isTrue(a.value);
            } else if (!nameIs(a.name, "linkfield")) {  // link fields of nested details need nothing more
                const QByteArray name = a.name.toByteArray().toUpper();
                const quint32 word = knownParamType(name, false);
                level.params.append(makeParam(name, word ? word : knownStringType(), s.decode(a.value), index));
            }
        }
        tag.def.name = fieldName.isEmpty() ? attrText : fieldName;
        return tag;
    }

    // What a FIELD element holds; the nested dataset's level when it has one.
    std::unique_ptr<XmlLevel> readFieldContent(XmlLevel& level, int index, const QString& name, int depth,
                                               qsizetype at)
    {
        XmlScanner& s = *scanner_;
        std::unique_ptr<XmlLevel> child;
        for (Token t = s.next(); t != Token::End; t = s.next()) {
            if (t == Token::Eof)
                fail(QStringLiteral("truncated XML in FIELD '%1'").arg(name));
            if (nameIs(s.name(), "PARAM")) {
                readParamElement(level, index);
                if (!s.selfClosing())
                    s.skipElement(kMaxDepth);
            } else if (nameIs(s.name(), "FIELDS") || nameIs(s.name(), "PARAMS")) {
                if (!child) {
                    if (depth + 1 >= kMaxNesting)
                        fail(QStringLiteral("datasets nested too deeply"), at);
                    child = std::make_unique<XmlLevel>();
                }
                if (nameIs(s.name(), "PARAMS"))
                    readParams(*child, -1);
                else if (!s.selfClosing())
                    readFields(*child, depth + 1);
            } else if (!s.selfClosing()) {
                s.skipElement(kMaxDepth);
            }
        }
        return child;
    }

    static QString shortName(QByteArrayView name)
    {
        return QString::fromLatin1(name.first(qMin<qsizetype>(name.size(), 40)));
    }
    static bool isTrue(QByteArrayView v) { return !v.isEmpty() && (v[0] == 't' || v[0] == 'T' || v[0] == '1'); }
    static quint32 knownStringType() { return knownParamType("SUBTYPE", false); }

    PacketParam makeParam(const QByteArray& name, quint32 word, const QString& text, int field)
    {
        return located([&] { return paramFromText(name, word, text, field); });
    }

    // <PARAM Name="..." Value="..." [Type="..."] [Roundtrip="True"]/>
    void readParamElement(XmlLevel& level, int field)
    {
        XmlScanner& s = *scanner_;
        QByteArray name, type;
        QString value;
        bool roundtrip = false;
        for (const auto& a : s.attributes()) {
            if (nameIs(a.name, "Name"))
                name = s.decode(a.value).toUtf8();
            else if (nameIs(a.name, "Value"))
                value = s.decode(a.value);
            else if (nameIs(a.name, "Type"))
                type = s.decode(a.value).toLatin1();
            else if (nameIs(a.name, "Roundtrip"))
                roundtrip = isTrue(a.value);
        }
        if (name.isEmpty())
            return;
        quint32 word = type.isEmpty() ? knownParamType(name, field < 0) : paramTypeForXml(type);
        if (!word)
            word = knownStringType();
        PacketParam p = makeParam(name, word, value, field);
        if (roundtrip)
            p.typeWord |= 0x80000000u;
        level.params.append(std::move(p));
    }

    void readParams(XmlLevel& level, int field)
    {
        XmlScanner& s = *scanner_;
        for (const auto& a : s.attributes()) {
            const QByteArray name = a.name.toByteArray();
            quint32 word = knownParamType(name.toUpper(), true);
            PacketParam p = makeParam(word ? name.toUpper() : name, word ? word : knownStringType(),
                                      s.decode(a.value), field);
            level.params.append(std::move(p));
        }
        if (s.selfClosing())
            return;
        for (Token t = s.next(); t != Token::End; t = s.next()) {
            if (t == Token::Eof)
                fail(QStringLiteral("truncated XML in PARAMS"));
            if (nameIs(s.name(), "PARAM"))
                readParamElement(level, field);
            if (!s.selfClosing())
                s.skipElement(kMaxDepth);
        }
    }

    // Types, sizes and the row-attribute lookup, once all fields and params are known.
    void finishLevel(XmlLevel& level)
    {
        level.subtypes.clear();
        level.byAttrName.clear();
        const QList<FieldParams> all = located([&] { return fieldParamsOf(level.params, int(level.fields.size())); });
        for (int i = 0; i < level.fields.size(); ++i) {
            FieldDef& def = level.fields[i];
            const FieldParams& params = all[i];
            const QByteArray& typeName = level.typeNames[i];
            const auto type = fieldTypeForXml(typeName, params.subtype, params.width >= 0);
            if (!type)
                fail(QStringLiteral("field '%1' has an unknown type '%2'")
                         .arg(def.name, QString::fromLatin1(typeName.left(40))));
            applyFieldParams(def, *type, params);
            if (def.type == FieldType::DataSet) {
                if (!level.nested[i])
                    level.nested[i] = std::make_unique<XmlLevel>();
                def.children = level.nested[i]->fields;
            }
            level.subtypes.append(params.subtype);
            if (level.byAttrName.contains(level.attrNames[i]))
                fail(QStringLiteral("two fields with the attrname '%1'").arg(def.name));
            level.byAttrName.insert(level.attrNames[i], i);
        }
        for (const PacketParam& p : std::as_const(level.params))
            if (p.field == -1 && p.name == "CHANGE_LOG")
                level.changeLog = paramIntArray(p);
    }

    void readRows(const XmlLevel& level, StoredRows& stored, int depth)
    {
        XmlScanner& s = *scanner_;
        for (Token t = s.next(); t != Token::End; t = s.next()) {
            if (t == Token::Eof)
                fail(QStringLiteral("truncated XML in ROWDATA"));
            if (s.name().size() >= 3 && nameIs(s.name().first(3), "ROW"))
                readRow(level, stored, depth);
            else
                fail(QStringLiteral("unexpected element <%1> among the rows").arg(shortName(s.name())), s.offset());
        }
    }

    int fieldOfAttribute(const XmlLevel& level, QByteArrayView name, int guess) const
    {
        if (guess < level.attrNames.size() && level.attrNames[guess] == name)
            return guess;
        return level.byAttrName.value(name.toByteArray(), -1);
    }

    void readRow(const XmlLevel& level, StoredRows& stored, int depth)
    {
        XmlScanner& s = *scanner_;
        const qsizetype fieldCount = level.fields.size();
        QVariantList row(fieldCount);
        QVariant* values = row.data();
        QList<bool> present;
        const bool trackUnchanged = !level.changeLog.isEmpty();
        if (trackUnchanged)
            present.fill(false, fieldCount);
        quint8 state = 0;
        int guess = 0;
        for (const auto& a : s.attributes()) {
            if (a.name.size() == 8 && nameIs(a.name, "RowState")) {
                state = quint8(a.value.toUInt());
                continue;
            }
            const int f = fieldOfAttribute(level, a.name, guess);
            if (f < 0 || level.fields[f].type == FieldType::DataSet)
                continue;
            guess = f + 1;
            try {
                values[f] = xmlTextToValue(level.fields[f], level.subtypes[f], a.value, *scanner_);
                if (!textSurelyFits(level.fields[f], a.value.size()))
                    checkValueFits(level.fields[f], values[f]);
            } catch (const PacketError& e) {
                fail(QStringLiteral("row %1: %2").arg(stored.values.size() + 1).arg(e.text()), s.offset());
            }
            if (trackUnchanged)
                present[f] = true;
        }
        if (!s.selfClosing())
            readNestedRows(level, row, present, depth);
        if (trackUnchanged)
            for (qsizetype f = 0; f < fieldCount; ++f)
                if (!present[f])
                    stored.markUnchanged(int(f), int(fieldCount));
        stored.append(std::move(row), state);
    }

    // <ROW ...><Lines><ROWLines .../></Lines></ROW>
    void readNestedRows(const XmlLevel& level, QVariantList& row, QList<bool>& present, int depth)
    {
        XmlScanner& s = *scanner_;
        for (Token t = s.next(); t != Token::End; t = s.next()) {
            if (t == Token::Eof)
                fail(QStringLiteral("truncated XML in ROW"));
            const int f = level.byAttrName.value(s.name().toByteArray(), -1);
            if (f < 0 || level.fields[f].type != FieldType::DataSet) {
                if (!s.selfClosing())
                    s.skipElement(kMaxDepth);
                continue;
            }
            if (depth + 1 >= kMaxNesting)
                fail(QStringLiteral("datasets nested too deeply"), s.offset());
            const XmlLevel& child = *level.nested[f];
            StoredRows stored;
            if (!s.selfClosing())
                readRows(child, stored, depth + 1);
            DataPacket packet;
            packet.fields = child.fields;
            packet.params = child.params;
            packet.rows = resolveRows(std::move(stored), child.changeLog);
            packet.sourceFormat = utf8_ ? PacketFormat::XmlUtf8 : PacketFormat::Xml;
            row[f] = QVariant::fromValue(packet);
            if (!present.isEmpty())
                present[f] = true;
        }
    }

    QString source_;
    bool utf8_ = false;
    std::unique_ptr<XmlScanner> scanner_;
};

}  // namespace

DataPacket readXmlPacket(const QByteArray& bytes, const QString& source)
{
    return XmlReader(bytes, source).read();
}

}  // namespace platform::packet
