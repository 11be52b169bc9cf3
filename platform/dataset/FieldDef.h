#pragma once
// Field definitions shared by client datasets and data packets.

#include "PlatformDatasetExport.h"
#include "platform/dataset/FieldType.h"

#include <QList>
#include <QString>
#include <QVariant>

namespace platform {

struct FieldDef {
    QString name;
    FieldType type = FieldType::String;
    int size = 0;          // characters for texts, bytes for Bytes/VarBytes, precision for Bcd
    int decimals = 0;      // Bcd/FmtBcd scale
    bool required = false;
    bool readOnly = false;
    bool hidden = false;
    QList<FieldDef> children;  // for DataSet fields

    // Presentation, used by grids and the search list; not stored in packets.
    QString displayLabel;  // empty: the field name
    int displayWidth = 0;  // characters; 0: derived from the size
    bool visible = true;
    QString displayFormat; // e.g. "#,##0.00" for floats, "dd/MM/yyyy" for dates

    // Definitions of the usual kinds; everything else keeps its default.
    static FieldDef of(const QString& name, FieldType type, int size = 0)
    {
        FieldDef f;
        f.name = name;
        f.type = type;
        f.size = size;
        return f;
    }
    static FieldDef text(const QString& name, int size) { return of(name, FieldType::String, size); }
    static FieldDef fixedText(const QString& name, int size) { return of(name, FieldType::FixedChar, size); }
    static FieldDef integer(const QString& name) { return of(name, FieldType::Integer); }
    static FieldDef number(const QString& name) { return of(name, FieldType::Float); }
    static FieldDef boolean(const QString& name) { return of(name, FieldType::Boolean); }
    static FieldDef date(const QString& name) { return of(name, FieldType::Date); }
    static FieldDef dateTime(const QString& name) { return of(name, FieldType::DateTime); }
    // The same definition shown under `label`, `width` characters wide (0: from the size).
    FieldDef labelled(const QString& label, int width = 0) const
    {
        FieldDef f = *this;
        f.displayLabel = label;
        f.displayWidth = width;
        return f;
    }
    // The same definition, not shown in grids and search lists.
    FieldDef invisible() const
    {
        FieldDef f = *this;
        f.visible = false;
        return f;
    }

    // Written out (FieldDef.cpp): a defaulted comparison cannot see through the
    // recursive `children` list.
    friend PLATFORM_DATASET_EXPORT bool operator==(const FieldDef& a, const FieldDef& b);
};

using FieldDefs = QList<FieldDef>;

// The field's value converted to its type's QVariant representation (see above);
// an empty text becomes null for non-text types. Throws DataSetError naming the
// field when the value cannot be converted.
PLATFORM_DATASET_EXPORT QVariant convertToFieldType(const FieldDef& def, const QVariant& value);

}  // namespace platform
