#pragma once
// SqliteCell: one value of a result row as the SQLite engine holds it (its storage class
// and its number or bytes), and its way into a declared field. Reading a row through cells
// is the same whether the bytes still lie in the engine (the statement's current row) or
// were copied out to be written on another thread: both give the same values and packets.
//
// cellValue() throws platform::DatabaseError naming the field when the value cannot be
// converted; writeCell() throws it, or PacketError, as the packet builder does.

#include "platform/dataset/FieldDef.h"

#include <QVariant>

struct sqlite3_value;

namespace platform {
class BinaryPacketBuilder;
}

namespace platform::db {

struct SqliteCell {
    int type = 5;  // SQLITE_INTEGER 1, SQLITE_FLOAT 2, SQLITE_TEXT 3, SQLITE_BLOB 4, SQLITE_NULL 5
    int bytes = 0;                // of data
    union {
        qint64 integer;
        double real;
    };
    // Text (UTF-8) or blob; for a number read into a text field, the engine's own text of it.
    const char* data = nullptr;
    SqliteCell() : integer(0) {}
    bool hasText() const { return data != nullptr; }
};

// The engine's value read for `field`, its bytes where the engine keeps them (valid until
// the next step).
SqliteCell cellOf(sqlite3_value* value, const FieldDef& field);
// The value converted to `field`'s type (null -> QVariant()).
QVariant cellValue(const SqliteCell& cell, const FieldDef& field);
// The value given to a packet being built: plain texts and numbers go straight from the
// bytes into the encoding, anything else through cellValue().
void writeCell(const SqliteCell& cell, const FieldDef& field, BinaryPacketBuilder& builder);

}  // namespace platform::db
