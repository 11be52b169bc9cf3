#include "platform/ui/FieldLayout.h"

namespace platform::ui {

void applyFieldLayout(ClientDataSet& dataSet, const QList<FieldLayout>& layout)
{
    for (const FieldLayout& entry : layout) {
        Field* f = dataSet.findField(entry.name);
        if (!f)
            continue;
        if (!entry.label.isEmpty())
            f->setDisplayLabel(entry.label);
        if (entry.width > 0)
            f->setDisplayWidth(entry.width);
        f->setVisible(entry.visible);
    }
}

}  // namespace platform::ui
