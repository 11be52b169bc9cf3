#pragma once
// A small dataset for the widget tests to show (their QApplication is made by TestMain.cpp).

#include "platform/dataset/ClientDataSet.h"

#include <gtest/gtest.h>

namespace uitest {

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

// The fixture of the tests that show a dataset: `ds`, filled by each test or set-up.
class DataSetTest : public ::testing::Test {
protected:
    platform::ClientDataSet ds{QStringLiteral("cdsTeste")};
};

}  // namespace uitest
