#include "platform/dataset/XmlScanner.h"

#include "platform/dataset/PacketCodec.h"

#include "platform/Error.h"

#include <cstring>
#include <string_view>
#include <unordered_set>

namespace platform::packet {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isNameEnd(char c)
{
    return isSpace(c) || c == '=' || c == '>' || c == '/';
}

}  // namespace

bool nameIs(QByteArrayView name, const char* literal)
{
    return name.compare(QByteArrayView(literal), Qt::CaseInsensitive) == 0;
}

XmlScanner::XmlScanner(const QByteArray& bytes, qsizetype start, bool utf8, const QString& source)
    : p_(bytes.constData()), size_(bytes.size()), pos_(start), utf8_(utf8), source_(source)
{
    attrs_.reserve(32);
}

void XmlScanner::fail(const QString& what, qsizetype at) const
{
    throw PacketError(QStringLiteral("%1: %2 at offset %3").arg(source_, what).arg(at >= 0 ? at : pos_));
}

void XmlScanner::skipPast(const char* terminator, const char* what)
{
    const qsizetype n = qsizetype(std::strlen(terminator));
    const QByteArrayView rest(p_ + pos_, size_ - pos_);
    const qsizetype at = rest.indexOf(QByteArrayView(terminator, n));
    if (at < 0)
        fail(QStringLiteral("unterminated %1").arg(QLatin1String(what)), tagStart_);
    pos_ += at + n;
}

XmlScanner::Token XmlScanner::next()
{
    for (;;) {
        const void* lt = pos_ < size_ ? std::memchr(p_ + pos_, '<', size_t(size_ - pos_)) : nullptr;
        if (!lt) {
            pos_ = size_;
            return Token::Eof;
        }
        tagStart_ = static_cast<const char*>(lt) - p_;
        pos_ = tagStart_ + 1;
        if (pos_ >= size_)
            fail(QStringLiteral("truncated tag"), tagStart_);
        const char c = p_[pos_];
        if (c == '?') {
            skipPast("?>", "processing instruction");
        } else if (c == '!') {
            if (QByteArrayView(p_ + pos_, size_ - pos_).startsWith("!--"))
                skipPast("-->", "comment");
            else if (QByteArrayView(p_ + pos_, size_ - pos_).startsWith("![CDATA["))
                skipPast("]]>", "CDATA section");
            else
                skipPast(">", "declaration");
        } else if (c == '/') {
            ++pos_;
            name_ = readName();
            skipPast(">", "end tag");
            attrs_.clear();
            selfClosing_ = false;
            return Token::End;
        } else {
            readStartTag();
            return Token::Start;
        }
    }
}

QByteArrayView XmlScanner::readName()
{
    const qsizetype start = pos_;
    while (pos_ < size_ && !isNameEnd(p_[pos_]))
        ++pos_;
    return QByteArrayView(p_ + start, pos_ - start);
}

void XmlScanner::skipSpaces()
{
    while (pos_ < size_ && isSpace(p_[pos_]))
        ++pos_;
}

void XmlScanner::readStartTag()
{
    attrs_.clear();
    selfClosing_ = false;
    name_ = readName();
    if (name_.isEmpty())
        fail(QStringLiteral("tag without a name"), tagStart_);
    for (;;) {
        skipSpaces();
        if (pos_ >= size_)
            fail(QStringLiteral("truncated tag <%1>")
                     .arg(QString::fromLatin1(name_.first(qMin<qsizetype>(name_.size(), 40)))),
                 tagStart_);
        const char c = p_[pos_];
        if (c == '>') {
            ++pos_;
            break;
        }
        if (c == '/') {
            ++pos_;
            if (pos_ < size_ && p_[pos_] == '>') {
                ++pos_;
                selfClosing_ = true;
                break;
            }
            continue;  // stray '/': tolerated
        }
        readAttribute();
    }
    checkDistinctAttributes();
}

void XmlScanner::readAttribute()
{
    const qsizetype attrStart = pos_;
    Attribute attr{readName(), {}};
    if (attr.name.isEmpty()) {  // '=' without a name
        ++pos_;
        return;
    }
    skipSpaces();
    if (pos_ < size_ && p_[pos_] == '=') {
        ++pos_;
        skipSpaces();
        attr.value = readAttributeValue(attrStart);
    }
    attrs_.push_back(attr);
}

QByteArrayView XmlScanner::readAttributeValue(qsizetype attrStart)
{
    if (pos_ >= size_)
        fail(QStringLiteral("truncated attribute"), attrStart);
    const char quote = p_[pos_];
    if (quote != '"' && quote != '\'') {  // unquoted value, tolerated
        const qsizetype valueStart = pos_;
        while (pos_ < size_ && !isSpace(p_[pos_]) && p_[pos_] != '>')
            ++pos_;
        return QByteArrayView(p_ + valueStart, pos_ - valueStart);
    }
    const void* end = std::memchr(p_ + pos_ + 1, quote, size_t(size_ - pos_ - 1));
    if (!end)
        fail(QStringLiteral("unterminated attribute value"), attrStart);
    const qsizetype endPos = static_cast<const char*>(end) - p_;
    const QByteArrayView value(p_ + pos_ + 1, endPos - pos_ - 1);
    pos_ = endPos + 1;
    return value;
}

void XmlScanner::checkDistinctAttributes() const
{
    // The same attribute twice would let one value silently replace the other.
    auto duplicate = [this](const Attribute& a) {
        fail(QStringLiteral("attribute %1 appears twice in <%2>")
                 .arg(QString::fromLatin1(a.name.first(qMin<qsizetype>(a.name.size(), 40))),
                      QString::fromLatin1(name_.first(qMin<qsizetype>(name_.size(), 40)))),
             a.name.data() - p_);
    };
    if (attrs_.size() <= 16) {
        for (size_t i = 1; i < attrs_.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                if (attrs_[i].name == attrs_[j].name)
                    duplicate(attrs_[i]);
        return;
    }
    std::unordered_set<std::string_view> seen;
    seen.reserve(attrs_.size());
    for (const Attribute& a : attrs_)
        if (!seen.insert(std::string_view(a.name.data(), size_t(a.name.size()))).second)
            duplicate(a);
}

void XmlScanner::skipElement(int depthLimit)
{
    int depth = 1;
    while (depth > 0) {
        switch (next()) {
        case Token::Start:
            if (!selfClosing_ && ++depth > depthLimit)
                fail(QStringLiteral("elements nested too deeply"), tagStart_);
            break;
        case Token::End:
            --depth;
            break;
        case Token::Eof:
            fail(QStringLiteral("truncated XML: missing end tags"));
        }
    }
}

namespace {

// The value of a reference starting after '&' (without the ';'), or -1.
int entityValue(QByteArrayView e)
{
    if (e == "lt") return '<';
    if (e == "gt") return '>';
    if (e == "amp") return '&';
    if (e == "quot") return '"';
    if (e == "apos") return '\'';
    if (e.size() < 2 || e.size() > 10 || e[0] != '#')
        return -1;
    bool ok = false;
    const bool hex = e[1] == 'x' || e[1] == 'X';
    const uint v = e.sliced(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
    return ok && v <= 0x10FFFF ? int(v) : -1;
}

}  // namespace

QString XmlScanner::decode(QByteArrayView raw) const
{
    QString text(raw.size(), Qt::Uninitialized);  // no reference makes more characters than its bytes
    char16_t* start = reinterpret_cast<char16_t*>(text.data());
    text.truncate(decodeInto(start, raw) - start);
    return text;
}

QVariant XmlScanner::decodeValue(QByteArrayView raw) const
{
    return texts_.take(decodeInto(texts_.reserve(raw.size()), raw));
}

char16_t* XmlScanner::putText(char16_t* out, QByteArrayView bytes) const
{
    if (utf8_)
        return texts_.putUtf8(out, bytes);
    if (!TextArena::putCp1252(out, bytes))
        fail(QStringLiteral("NUL character"), bytes.data() - p_);
    return out + bytes.size();
}

// The characters of `raw` at `out`, at most one a byte; the end of what was written.
char16_t* XmlScanner::decodeInto(char16_t* out, QByteArrayView raw) const
{
    qsizetype from = 0;
    for (qsizetype amp = raw.indexOf('&'); amp >= 0; amp = raw.indexOf('&', from)) {
        out = putText(out, raw.sliced(from, amp - from));
        const qsizetype semi = raw.indexOf(';', amp + 1);
        const int value = semi > amp ? entityValue(raw.sliced(amp + 1, semi - amp - 1)) : -1;
        if (value < 0) {  // not a reference: keep the '&' as it stands
            *out++ = u'&';
            from = amp + 1;
            continue;
        }
        if (value == 0)
            fail(QStringLiteral("reference to the NUL character"), raw.data() + amp - p_);
        if (value > 0xFFFF) {
            *out++ = QChar::highSurrogate(char32_t(value));
            *out++ = QChar::lowSurrogate(char32_t(value));
        } else {
            *out++ = char16_t(value);
        }
        from = semi + 1;
    }
    return putText(out, raw.sliced(from));
}

}  // namespace platform::packet
