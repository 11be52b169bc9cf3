#pragma once
// A data-service or host-service result: a variant holding either its payload (a data
// packet, a number as text, nothing) or, after a failure, the failure's text. The rule
// that tells them apart, shared by whoever produces and whoever reads such results:
//   - null / invalid variant                            -> payload (nothing)
//   - bytes starting with the binary data-packet magic
//     (96 19 E0 BD or CD AB 00 00) or an XML data packet
//     ("<?xml" / "<DATAPACKET")                         -> payload (a data packet)
//   - any other bytes                                    -> read as UTF-8 text, then as below
//   - text: empty or blank, an XML data packet, or a
//     number (optional sign, digits, optional ',' or
//     '.' decimals)                                     -> payload
//   - any other text                                     -> ERROR TEXT
//   - other types (bool, numbers, dates, lists, ...)     -> payload

#include "PlatformDbExport.h"

#include <QString>
#include <QVariant>

namespace platform::db {

// True when `result` carries a failure's text instead of a payload.
PLATFORM_DB_EXPORT bool isErrorResult(const QVariant& result);

// The text of a result (bytes read as UTF-8).
PLATFORM_DB_EXPORT QString resultText(const QVariant& result);

}  // namespace platform::db
