#include "platform/dataset/FilterExpression.h"

#include "platform/Error.h"
#include "platform/dataset/ValueText.h"

#include <QLocale>

#include <vector>

namespace platform {

namespace {

enum class Tok { End, Ident, String, Number, LParen, RParen, Op, And, Or, Not, Is, Null, True, False };
enum class CmpOp { Eq, Ne, Lt, Le, Gt, Ge };

struct Token {
    Tok kind = Tok::End;
    QString text;  // identifier, string contents, number text, operator
    int pos = 0;   // 1-based
};

// Nesting beyond this is refused, so that hostile input cannot exhaust the stack.
constexpr int kMaxDepth = 200;

[[noreturn]] void syntaxError(int pos, const QString& what)
{
    throw FilterError(QStringLiteral("Error in filter expression at position %1: %2").arg(pos).arg(what));
}

QString describe(const Token& t)
{
    switch (t.kind) {
    case Tok::End: return QStringLiteral("end of expression");
    case Tok::String: return QStringLiteral("'%1'").arg(t.text);
    default: return QStringLiteral("'%1'").arg(t.text);
    }
}

class Lexer {
public:
    explicit Lexer(const QString& s) : s_(s) {}

    Token next()
    {
        while (i_ < s_.size() && s_[i_].isSpace()) ++i_;
        Token t;
        t.pos = int(i_) + 1;
        if (i_ >= s_.size())
            return t;
        const QChar c = s_[i_];
        if (c.isLetter() || c == QLatin1Char('_')) return word(t);
        if (startsNumber(i_) || (c == QLatin1Char('-') && startsNumber(i_ + 1))) return number(t);
        if (c == QLatin1Char('\'')) return quoted(t);
        if (c == QLatin1Char('[')) return bracketed(t);
        if (c == QLatin1Char('(')) { ++i_; t.kind = Tok::LParen; t.text = c; return t; }
        if (c == QLatin1Char(')')) { ++i_; t.kind = Tok::RParen; t.text = c; return t; }
        for (const char* op : {"<>", "<=", ">=", "!=", "=", "<", ">"}) {
            const QLatin1String o(op);
            if (QStringView(s_).mid(i_).startsWith(o)) {
                i_ += o.size();
                t.kind = Tok::Op;
                t.text = o;
                return t;
            }
        }
        syntaxError(t.pos, QStringLiteral("unexpected character '%1'").arg(c));
    }

private:
    bool startsNumber(qsizetype i) const
    {
        if (i >= s_.size()) return false;
        return s_[i].isDigit() || (s_[i] == QLatin1Char('.') && i + 1 < s_.size() && s_[i + 1].isDigit());
    }

    Token word(Token t)
    {
        const qsizetype start = i_;
        while (i_ < s_.size() && (s_[i_].isLetterOrNumber() || s_[i_] == QLatin1Char('_'))) ++i_;
        t.text = s_.mid(start, i_ - start);
        const QString up = t.text.toUpper();
        static const std::pair<const char*, Tok> keywords[] = {
            {"AND", Tok::And}, {"OR", Tok::Or}, {"NOT", Tok::Not}, {"IS", Tok::Is},
            {"NULL", Tok::Null}, {"TRUE", Tok::True}, {"FALSE", Tok::False}};
        t.kind = Tok::Ident;
        for (const auto& [name, kind] : keywords)
            if (up == QLatin1String(name)) t.kind = kind;
        return t;
    }

    Token number(Token t)
    {
        const qsizetype start = i_;
        if (s_[i_] == QLatin1Char('-')) ++i_;  // a minus sign is only ever part of a number
        auto digits = [&] { while (i_ < s_.size() && s_[i_].isDigit()) ++i_; };
        digits();
        if (i_ < s_.size() && s_[i_] == QLatin1Char('.')) { ++i_; digits(); }
        if (i_ < s_.size() && (s_[i_] == QLatin1Char('e') || s_[i_] == QLatin1Char('E'))) {
            const qsizetype mark = i_++;
            if (i_ < s_.size() && (s_[i_] == QLatin1Char('+') || s_[i_] == QLatin1Char('-'))) ++i_;
            if (i_ < s_.size() && s_[i_].isDigit()) digits(); else i_ = mark;
        }
        if (i_ < s_.size() && (s_[i_].isLetter() || s_[i_] == QLatin1Char('_')))
            syntaxError(int(i_) + 1, QStringLiteral("unexpected character '%1' in a number").arg(s_[i_]));
        t.kind = Tok::Number;
        t.text = s_.mid(start, i_ - start);
        return t;
    }

    Token quoted(Token t)
    {
        ++i_;
        for (;;) {
            if (i_ >= s_.size())
                syntaxError(t.pos, QStringLiteral("text not closed by a quote"));
            if (s_[i_] == QLatin1Char('\'')) {
                if (i_ + 1 < s_.size() && s_[i_ + 1] == QLatin1Char('\'')) { t.text += QLatin1Char('\''); i_ += 2; continue; }
                ++i_;
                break;
            }
            t.text += s_[i_++];
        }
        t.kind = Tok::String;
        return t;
    }

    Token bracketed(Token t)
    {
        const qsizetype close = s_.indexOf(QLatin1Char(']'), i_);
        if (close < 0)
            syntaxError(t.pos, QStringLiteral("field name not closed by ']'"));
        t.text = s_.mid(i_ + 1, close - i_ - 1).trimmed();
        if (t.text.isEmpty())
            syntaxError(t.pos, QStringLiteral("empty field name"));
        i_ = close + 1;
        t.kind = Tok::Ident;
        return t;
    }

    const QString& s_;
    qsizetype i_ = 0;
};

// One side of a comparison: a field or a literal.
struct Operand {
    bool isField = false;
    QString name;             // field name as written
    int pos = 0;
    int field = -1;           // bound field index
    QVariant raw;             // literal as written: QString, qint64, double, bool; invalid for NULL
    bool quoted = false;
    QVariant value;           // literal as compared (converted to the other side's field type)
    detail::Cell cell;        // cell of `value`
};

}  // namespace

struct FilterExpression::Node {
    enum Kind { Or, And, Not, Compare, IsNull, IsNotNull, FieldTruth, Constant };
    Kind kind = Constant;
    std::vector<std::unique_ptr<Node>> children;  // Or, And (n-ary), Not (one)
    CmpOp op = CmpOp::Eq;
    Operand a, b;                                 // Compare; IsNull/FieldTruth use a
    bool prefix = false;                          // text = 'abc*'
    bool constant = false;
};

using Node = FilterExpression::Node;

namespace {

class Parser {
public:
    explicit Parser(const QString& text) : lex_(text) { advance(); }

    std::unique_ptr<Node> parse()
    {
        auto root = parseOr(0);
        if (tok_.kind != Tok::End)
            syntaxError(tok_.pos, QStringLiteral("expected AND, OR or the end but found %1").arg(describe(tok_)));
        return root;
    }

private:
    void advance() { tok_ = lex_.next(); }

    std::unique_ptr<Node> parseList(Node::Kind kind, Tok separator, int depth)
    {
        auto first = kind == Node::Or ? parseList(Node::And, Tok::And, depth) : parseNot(depth);
        if (tok_.kind != separator)
            return first;
        auto node = std::make_unique<Node>();
        node->kind = kind;
        node->children.push_back(std::move(first));
        while (tok_.kind == separator) {
            advance();
            node->children.push_back(kind == Node::Or ? parseList(Node::And, Tok::And, depth) : parseNot(depth));
        }
        return node;
    }

    std::unique_ptr<Node> parseOr(int depth) { return parseList(Node::Or, Tok::Or, depth); }

    std::unique_ptr<Node> parseNot(int depth)
    {
        if (depth > kMaxDepth)
            syntaxError(tok_.pos, QStringLiteral("expression nested too deeply"));
        if (tok_.kind == Tok::Not) {
            advance();
            auto node = std::make_unique<Node>();
            node->kind = Node::Not;
            node->children.push_back(parseNot(depth + 1));
            return node;
        }
        if (tok_.kind == Tok::LParen) {
            advance();
            auto inner = parseOr(depth + 1);
            if (tok_.kind != Tok::RParen)
                syntaxError(tok_.pos, QStringLiteral("expected ')' but found %1").arg(describe(tok_)));
            advance();
            return inner;
        }
        return parsePredicate();
    }

    std::unique_ptr<Node> parsePredicate()
    {
        auto node = std::make_unique<Node>();
        const Token start = tok_;
        node->a = parseOperand();
        if (tok_.kind == Tok::Op) {
            static const std::pair<const char*, CmpOp> ops[] = {
                {"=", CmpOp::Eq}, {"<>", CmpOp::Ne}, {"!=", CmpOp::Ne}, {"<", CmpOp::Lt},
                {"<=", CmpOp::Le}, {">", CmpOp::Gt}, {">=", CmpOp::Ge}};
            for (const auto& [text, op] : ops)
                if (tok_.text == QLatin1String(text)) node->op = op;
            advance();
            node->kind = Node::Compare;
            node->b = parseOperand();
            return node;
        }
        if (tok_.kind == Tok::Is) {
            advance();
            node->kind = Node::IsNull;
            if (tok_.kind == Tok::Not) { advance(); node->kind = Node::IsNotNull; }
            if (tok_.kind != Tok::Null)
                syntaxError(tok_.pos, QStringLiteral("expected NULL but found %1").arg(describe(tok_)));
            advance();
            return node;
        }
        if (node->a.isField) { node->kind = Node::FieldTruth; return node; }
        if (start.kind == Tok::True || start.kind == Tok::False) {
            node->kind = Node::Constant;
            node->constant = start.kind == Tok::True;
            return node;
        }
        syntaxError(tok_.pos, QStringLiteral("expected a comparison after %1 but found %2")
                                  .arg(describe(start), describe(tok_)));
    }

    Operand parseOperand()
    {
        Operand o;
        o.pos = tok_.pos;
        switch (tok_.kind) {
        case Tok::Ident: o.isField = true; o.name = tok_.text; break;
        case Tok::String: o.raw = tok_.text; o.quoted = true; break;
        case Tok::Number: o.raw = numberValue(tok_.text); break;
        case Tok::Null: break;
        case Tok::True: o.raw = true; break;
        case Tok::False: o.raw = false; break;
        default:
            syntaxError(tok_.pos, QStringLiteral("expected a field name or a value but found %1").arg(describe(tok_)));
        }
        advance();
        return o;
    }

    static QVariant numberValue(const QString& text)
    {
        bool ok = false;
        const qint64 i = text.toLongLong(&ok);
        if (ok)
            return QVariant::fromValue<qint64>(i);
        return QLocale::c().toDouble(text);
    }

    Lexer lex_;
    Token tok_;
};

}  // namespace

FilterExpression::FilterExpression(const QString& text) : text_(text)
{
    if (text.trimmed().isEmpty())
        throw FilterError(QStringLiteral("Error in filter expression at position 1: the expression is empty"));
    root_ = Parser(text).parse();
}

FilterExpression::~FilterExpression() = default;
FilterExpression::FilterExpression(FilterExpression&&) noexcept = default;
FilterExpression& FilterExpression::operator=(FilterExpression&&) noexcept = default;

namespace {

int findFieldIndex(const FieldDefs& defs, const QString& name)
{
    for (int i = 0; i < defs.size(); ++i)
        if (defs[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

[[noreturn]] void cannotCompare(const Operand& lit, const FieldDef& def, const QString& why)
{
    throw FilterError(QStringLiteral("Error in filter expression at position %1: field '%2' cannot be compared with %3%4")
                          .arg(lit.pos).arg(def.name, lit.quoted ? QStringLiteral("'%1'").arg(lit.raw.toString())
                                                                 : lit.raw.toString(),
                               why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why)));
}

FieldType rawType(const QVariant& raw)
{
    switch (raw.typeId()) {
    case QMetaType::QString: return FieldType::WideString;
    case QMetaType::LongLong: return FieldType::LargeInt;
    case QMetaType::Bool: return FieldType::Boolean;
    default: return FieldType::Float;
    }
}

// A literal as the field it is compared with holds it, so that the per-row comparison
// needs no conversion. Numbers are not rounded to an integer field ("QT > 1.5").
void prepareLiteral(Operand& lit, const FieldDef& def, bool prefixAllowed, bool& prefix)
{
    lit.value = QVariant();
    FieldType cellType = def.type;
    if (!lit.raw.isValid()) {
        // NULL: compares false with everything
    } else if (isTextType(def.type)) {
        QString s = lit.raw.typeId() == QMetaType::QString ? lit.raw.toString()
                                                           : detail::valueToText(rawType(lit.raw), lit.raw);
        if (lit.quoted && prefixAllowed && s.endsWith(QLatin1Char('*'))) {
            prefix = true;
            s.chop(1);
        } else if (def.type == FieldType::FixedChar && s.size() < def.size) {
            s = s.leftJustified(def.size, QLatin1Char(' '));
        }
        lit.value = s;
    } else if (isNumericType(def.type)) {
        if (lit.raw.typeId() == QMetaType::QString) {
            const auto n = detail::parseNumber(lit.raw.toString());
            if (!n)
                cannotCompare(lit, def, QStringLiteral("not a number"));
            lit.value = *n;
        } else if (lit.raw.typeId() == QMetaType::Bool) {
            cannotCompare(lit, def, QString());
        } else {
            lit.value = lit.raw;
        }
        cellType = rawType(lit.value);
    } else {
        try {
            lit.value = convertToFieldType(def, lit.raw);
        } catch (const DataSetError& e) {
            cannotCompare(lit, def, e.text());
        }
    }
    lit.cell = detail::cellOf(cellType, lit.value);
}

void bindOperand(Operand& o, const FieldDefs& defs)
{
    if (!o.isField)
        return;
    o.field = findFieldIndex(defs, o.name);
    if (o.field < 0)
        throw DataSetError(QStringLiteral("Field '%1' not found").arg(o.name));
}

CmpOp mirrored(CmpOp op)
{
    switch (op) {
    case CmpOp::Lt: return CmpOp::Gt;
    case CmpOp::Le: return CmpOp::Ge;
    case CmpOp::Gt: return CmpOp::Lt;
    case CmpOp::Ge: return CmpOp::Le;
    default: return op;
    }
}

void bindNode(Node& n, const FieldDefs& defs)
{
    for (auto& child : n.children)
        bindNode(*child, defs);
    bindOperand(n.a, defs);
    if (n.kind == Node::FieldTruth && defs[n.a.field].type != FieldType::Boolean)
        throw FilterError(QStringLiteral("Error in filter expression at position %1: field '%2' is not a boolean "
                                         "field and needs a comparison").arg(n.a.pos).arg(n.a.name));
    if (n.kind != Node::Compare) {
        if (!n.a.isField)
            n.a.cell = detail::cellOf(rawType(n.a.raw), n.a.raw);
        return;
    }
    bindOperand(n.b, defs);
    if (!n.a.isField && n.b.isField) {  // the field always stands on the left
        std::swap(n.a, n.b);
        n.op = mirrored(n.op);
    }
    n.prefix = false;
    if (n.a.isField && !n.b.isField)
        prepareLiteral(n.b, defs[n.a.field], n.op == CmpOp::Eq || n.op == CmpOp::Ne, n.prefix);
    for (Operand* o : {&n.a, &n.b})
        if (!o->isField && !n.a.isField)
            o->cell = detail::cellOf(rawType(o->raw), o->raw);
}

const detail::Cell& operandCell(const Operand& o, const detail::CellReader& row, detail::Cell& scratch)
{
    if (!o.isField)
        return o.cell;
    scratch = row.cell(o.field);
    return scratch;
}

bool compare(const Node& n, const detail::CellReader& row)
{
    detail::Cell sa, sb;
    const detail::Cell& a = operandCell(n.a, row, sa);
    const detail::Cell& b = operandCell(n.b, row, sb);
    if (n.prefix) {
        if (a.kind != detail::Cell::Text)
            return false;
        const bool starts = detail::textStartsWith(a.text, b.text, Qt::CaseSensitive);
        return n.op == CmpOp::Eq ? starts : !starts;
    }
    if ((n.op == CmpOp::Eq || n.op == CmpOp::Ne) && a.kind == detail::Cell::Text && b.kind == detail::Cell::Text) {
        const bool equal = detail::textEquals(a.text, b.text, Qt::CaseSensitive);
        return n.op == CmpOp::Eq ? equal : !equal;
    }
    const auto c = detail::compareCells(a, b);
    if (!c)
        return false;
    switch (n.op) {
    case CmpOp::Eq: return *c == 0;
    case CmpOp::Ne: return *c != 0;
    case CmpOp::Lt: return *c < 0;
    case CmpOp::Le: return *c <= 0;
    case CmpOp::Gt: return *c > 0;
    case CmpOp::Ge: return *c >= 0;
    }
    return false;
}

bool evaluate(const Node& n, const detail::CellReader& row)
{
    switch (n.kind) {
    case Node::Or:
        for (const auto& c : n.children)
            if (evaluate(*c, row)) return true;
        return false;
    case Node::And:
        for (const auto& c : n.children)
            if (!evaluate(*c, row)) return false;
        return true;
    case Node::Not: return !evaluate(*n.children.front(), row);
    case Node::Compare: return compare(n, row);
    case Node::IsNull: case Node::IsNotNull: {
        detail::Cell scratch;
        const bool null = operandCell(n.a, row, scratch).isNull();
        return n.kind == Node::IsNull ? null : !null;
    }
    case Node::FieldTruth: {
        const detail::Cell c = row.cell(n.a.field);
        return c.kind == detail::Cell::Bool && c.i != 0;
    }
    case Node::Constant: return n.constant;
    }
    return false;
}

}  // namespace

void FilterExpression::bind(const FieldDefs& defs)
{
    bound_ = false;
    bindNode(*root_, defs);
    bound_ = true;
}

bool FilterExpression::matches(const detail::CellReader& row) const
{
    if (!bound_)
        throw DataSetError(QStringLiteral("Filter expression used before its fields are known"));
    return evaluate(*root_, row);
}

}  // namespace platform
