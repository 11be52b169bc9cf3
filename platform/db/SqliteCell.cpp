#include "platform/db/SqliteCell.h"

#include "platform/dataset/BinaryPacketBuilder.h"
#include "platform/db/DbValue.h"

#include <QDate>

#include <climits>

#include <sqlite3.h>

namespace platform::db {

static_assert(SQLITE_NULL == 5, "SqliteCell's default type is the engine's null");

namespace {

// SQLite keeps texts in UTF-8; Qt's decoder is faster than asking SQLite for UTF-16.
QString text16(const SqliteCell& c) { return QString::fromUtf8(c.data, c.bytes); }

// "YYYY-MM-DD" read straight from the UTF-8 bytes: the common case of a date column.
QDate isoDate(const char* text, int n)
{
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    if (n != 10 || s[4] != '-' || s[7] != '-')
        return {};
    int v[8];
    const int at[8] = {0, 1, 2, 3, 5, 6, 8, 9};
    for (int i = 0; i < 8; ++i) {
        const unsigned char c = s[at[i]];
        if (c < '0' || c > '9')
            return {};
        v[i] = c - '0';
    }
    return QDate(v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], v[4] * 10 + v[5], v[6] * 10 + v[7]);
}

double number(const SqliteCell& c) { return c.type == SQLITE_INTEGER ? double(c.integer) : c.real; }

// The value as SQLite holds it, for the general conversion.
QVariant natural(const SqliteCell& c)
{
    switch (c.type) {
    case SQLITE_INTEGER: return QVariant(c.integer);
    case SQLITE_FLOAT: return QVariant(c.real);
    case SQLITE_BLOB: return QVariant(QByteArray(c.data, c.bytes));
    default: return QVariant(text16(c));
    }
}

}  // namespace

SqliteCell cellOf(sqlite3_value* value, const FieldDef& field)
{
    SqliteCell c;
    c.type = sqlite3_value_type(value);
    switch (c.type) {
    case SQLITE_INTEGER: c.integer = sqlite3_value_int64(value); break;
    case SQLITE_FLOAT: c.real = sqlite3_value_double(value); break;
    default: break;
    }
    const bool text = c.type == SQLITE_TEXT
                      || ((c.type == SQLITE_INTEGER || c.type == SQLITE_FLOAT)
                          && (field.type == FieldType::String || field.type == FieldType::WideString));
    if (text) {
        // A number in a text field reads as the engine writes it ("3.0", not "3").
        c.data = reinterpret_cast<const char*>(sqlite3_value_text(value));
        c.bytes = sqlite3_value_bytes(value);
    } else if (c.type == SQLITE_BLOB) {
        c.data = static_cast<const char*>(sqlite3_value_blob(value));
        c.bytes = sqlite3_value_bytes(value);
    }
    if (c.type == SQLITE_TEXT && !c.data)
        c.data = "";  // out of memory aside, an empty text
    return c;
}
QVariant cellValue(const SqliteCell& c, const FieldDef& f)
{
    const int type = c.type;
    if (type == SQLITE_NULL)
        return {};
    switch (f.type) {
    case FieldType::String: case FieldType::WideString: {
        if (type == SQLITE_BLOB)
            break;
        QString s = text16(c);
        if (f.size > 0 && s.size() > f.size)
            s.truncate(f.size);
        return s;
    }
    case FieldType::Memo: case FieldType::WideMemo:
        if (type == SQLITE_TEXT)
            return text16(c);
        break;
    case FieldType::Float: case FieldType::Single: case FieldType::Currency: case FieldType::Bcd: case FieldType::FmtBcd:
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
            return number(c);
        break;
    case FieldType::ShortInt: case FieldType::SmallInt: case FieldType::Integer: case FieldType::Byte: case FieldType::Word:
        if (type == SQLITE_INTEGER && c.integer >= INT_MIN && c.integer <= INT_MAX)
            return int(c.integer);
        break;
    case FieldType::LargeInt: case FieldType::LongWord:
        if (type == SQLITE_INTEGER)
            return c.integer;
        break;
    case FieldType::Date:
        if (type == SQLITE_TEXT) {
            const QDate d = isoDate(c.data, c.bytes);
            if (d.isValid())
                return d;
        }
        break;
    default:
        break;
    }
    return convertDbValue(f, natural(c));
}

void writeCell(const SqliteCell& c, const FieldDef& f, BinaryPacketBuilder& builder)
{
    if (c.type == SQLITE_NULL)
        return builder.putNull();
    if (c.type == SQLITE_TEXT && f.type == FieldType::String) {
        if (builder.putUtf8Text(c.data, c.bytes))
            return;
    } else if ((c.type == SQLITE_FLOAT || c.type == SQLITE_INTEGER)
               && (f.type == FieldType::Float || f.type == FieldType::Currency)) {
        if (builder.putDouble(number(c)))
            return;
    }
    builder.putValue(cellValue(c, f));
}

}  // namespace platform::db
