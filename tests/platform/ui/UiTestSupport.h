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
    ds.close();
    ds.fieldDefs() = {FieldDef::text(QStringLiteral("CODE"), 10).invisible(),
                      FieldDef::text(QStringLiteral("NAME"), 40).labelled(QStringLiteral("Campanha")),
                      FieldDef::number(QStringLiteral("POINTS")).labelled(QStringLiteral("Pontos"))};
    ds.createDataSet();
    for (int i = 1; i <= rows; ++i)
        ds.appendRecord({QStringLiteral("C%1").arg(i), QStringLiteral("Campanha %1").arg(i), i * 10.5});
    ds.first();
}

}  // namespace uitest
