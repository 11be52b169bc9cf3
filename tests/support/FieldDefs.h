#pragma once
// A field definition in one expression, for the datasets and packets tests build.

#include "platform/dataset/FieldDef.h"

#include <QString>

namespace testsupport {

inline platform::FieldDef def(const QString& name, platform::FieldType type, int size = 0,
                              const QString& label = QString())
{
    return platform::FieldDef::of(name, type, size).labelled(label);
}

}  // namespace testsupport
