#pragma once
// Presentation of a dataset's fields (display label, display width, visibility), applied
// after a packet is loaded: packets carry names, types and sizes, not presentation.

#include "PlatformUiExport.h"
#include "platform/dataset/ClientDataSet.h"

#include <QList>
#include <QString>

namespace platform::ui {

struct FieldLayout {
    QString name;
    QString label;      // empty: unchanged
    int width = 0;      // characters; 0: unchanged
    bool visible = true;
};

// Applies each entry to the field of that name; fields not listed and entries naming a
// field the dataset does not have are left alone. Does nothing on an inactive dataset
// without fields.
PLATFORM_UI_EXPORT void applyFieldLayout(ClientDataSet& dataSet, const QList<FieldLayout>& layout);

}  // namespace platform::ui
