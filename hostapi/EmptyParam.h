#pragma once
// The marker of an omitted optional parameter inside an argument block (element 4 of the
// non-fiscal print block): a variant of its own registered type, so that a host library
// can tell "not given" from null, an empty text or 0. Transcripts write it as
// {"empty":true}.

#include <QMetaType>
#include <QVariant>

namespace hostapi {

struct EmptyParam {
    friend bool operator==(const EmptyParam&, const EmptyParam&) { return true; }
};

}  // namespace hostapi

// Declared before the first use below: Qt's type id must not be instantiated earlier.
Q_DECLARE_METATYPE(hostapi::EmptyParam)

namespace hostapi {

// A variant holding the marker.
inline QVariant emptyParam()
{
    return QVariant::fromValue(EmptyParam{});
}

inline bool isEmptyParam(const QVariant& value)
{
    return value.metaType() == QMetaType::fromType<EmptyParam>();
}

}  // namespace hostapi
