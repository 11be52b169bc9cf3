#pragma once
// A small, tolerant tokenizer for XML data packets. Packets written by the host are
// not always well-formed XML (8-bit text without a declaration, references to lone
// surrogate halves), so they are scanned here rather than by a conforming parser.
// It yields start and end tags with their raw attributes and skips text, comments,
// processing instructions, CDATA and DOCTYPE. Views point into the scanned bytes.

#include "platform/dataset/TextArena.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

namespace platform::packet {

class XmlScanner {
public:
    enum class Token { Start, End, Eof };
    struct Attribute {
        QByteArrayView name;
        QByteArrayView value;  // raw, entities not yet expanded
    };

    // `utf8` selects how attribute values decode; `source` names the input in errors.
    XmlScanner(const QByteArray& bytes, qsizetype start, bool utf8, const QString& source);

    // The next tag. Throws PacketError on a truncated or broken tag, or one that holds
    // the same attribute twice.
    Token next();

    QByteArrayView name() const { return name_; }
    bool selfClosing() const { return selfClosing_; }
    const std::vector<Attribute>& attributes() const { return attrs_; }
    qsizetype offset() const { return tagStart_; }

    // Decodes a raw attribute value: bytes to text, then the five named entities and
    // numeric references (a reference to a surrogate half is kept as that code unit).
    // `raw` must be a view into the scanned bytes; a reference to NUL throws PacketError.
    QString decode(QByteArrayView raw) const;
    // The same as a QString value whose characters share a block with other values (see
    // TextArena): for the many texts of the rows.
    QVariant decodeValue(QByteArrayView raw) const;
    // Skips the rest of the current element (after a Start token that was not self-closing).
    void skipElement(int depthLimit);

    [[noreturn]] void fail(const QString& what, qsizetype at = -1) const;

private:
    void skipPast(const char* terminator, const char* what);
    QByteArrayView readName();
    void skipSpaces();
    void readStartTag();
    void readAttribute();
    QByteArrayView readAttributeValue(qsizetype attrStart);
    void checkDistinctAttributes() const;
    char16_t* decodeInto(char16_t* out, QByteArrayView raw) const;
    char16_t* putText(char16_t* out, QByteArrayView bytes) const;

    const char* p_;
    qsizetype size_;
    qsizetype pos_;
    bool utf8_;
    QString source_;
    QByteArrayView name_;
    bool selfClosing_ = false;
    qsizetype tagStart_ = 0;
    std::vector<Attribute> attrs_;
    mutable TextArena texts_;
};

// Case-insensitive comparison of an XML name with an ASCII literal.
bool nameIs(QByteArrayView name, const char* literal);

}  // namespace platform::packet
