#pragma once
// A QApplication for widget tests (offscreen), and a small dataset to show.

#include "platform/dataset/ClientDataSet.h"

#include <QApplication>

namespace uitest {

inline QApplication* app()
{
    static int argc = 1;
    static char name[] = "platform_ui_test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QApplication(argc, argv);
    return qobject_cast<QApplication*>(QCoreApplication::instance());
}

// Campaign-like rows: CODE (hidden), NAME, POINTS.
inline void fillCampaigns(platform::ClientDataSet& ds, int rows)
{
    using platform::FieldDef;
    using platform::FieldType;
    FieldDef code;
    code.name = QStringLiteral("CODE");
    code.size = 10;
    code.visible = false;
    FieldDef name;
    name.name = QStringLiteral("NAME");
    name.size = 40;
    name.displayLabel = QStringLiteral("Campanha");
    FieldDef points;
    points.name = QStringLiteral("POINTS");
    points.type = FieldType::Float;
    points.displayLabel = QStringLiteral("Pontos");
    ds.close();
    ds.fieldDefs() = {code, name, points};
    ds.createDataSet();
    for (int i = 1; i <= rows; ++i)
        ds.appendRecord({QStringLiteral("C%1").arg(i), QStringLiteral("Campanha %1").arg(i), i * 10.5});
    ds.first();
}

}  // namespace uitest
