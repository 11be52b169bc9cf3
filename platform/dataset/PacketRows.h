#pragma once
// Rows as stored in a packet (every version, with row states and NOT CHANGED slots)
// and their resolution into the current rows. Shared by both readers.

#include "platform/dataset/FieldDef.h"

#include <QBitArray>
#include <QHash>
#include <QList>
#include <QVariant>

namespace platform::packet {

// Row-state bits of a stored row.
constexpr quint8 kRowOriginal = 0x01, kRowDeleted = 0x02, kRowUnused = 0x20;
inline bool isVisibleRow(quint8 state) { return (state & (kRowOriginal | kRowDeleted | kRowUnused)) == 0; }

// Whether a text read from `bytes` bytes surely fits its field, so that checkValueFits()
// need not look: a character takes at least one byte in either encoding. False says
// nothing. bytesSurelyFitting() is the most bytes that surely fit (-1: none are sure to).
inline qint64 bytesSurelyFitting(const FieldDef& def)
{
    return isTextType(def.type) && traitsOf(def.type).sizeLimits ? qint64(def.size) : -1;
}
inline bool textSurelyFits(const FieldDef& def, qsizetype bytes) { return bytes <= bytesSurelyFitting(def); }

struct StoredRows {
    QList<QVariantList> values;      // one entry per stored row; NOT CHANGED slots are null
    QList<quint8> states;            // row state of each stored row
    QHash<int, QBitArray> unchanged; // stored row -> fields marked NOT CHANGED (only rows that have any)

    void append(QVariantList&& row, quint8 state)
    {
        values.append(std::move(row));
        states.append(state);
    }
    void markUnchanged(int field, int fieldCount)
    {
        QBitArray& bits = unchanged[int(values.size())];
        if (bits.isEmpty())
            bits.resize(fieldCount);
        bits.setBit(field);
    }
};

// The current rows: visible rows only, in the order of their first versions, with NOT
// CHANGED slots filled from older versions (null when no older version has a value).
// `changeLog` holds (row, previous row, action) triples, rows numbered from 1; links
// out of range or forming cycles are ignored.
QList<QVariantList> resolveRows(StoredRows&& stored, const QList<qint64>& changeLog);

}  // namespace platform::packet
