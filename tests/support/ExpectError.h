#pragma once
// One check for an action that must fail: it throws an error of type E whose text
// contains `needle`. The type, the text and the failure itself are all checked.

#include <QString>

#include <gtest/gtest.h>

namespace testsupport {

template <typename E, typename Action>
void expectErrorNaming(Action&& action, const QString& needle, Qt::CaseSensitivity cs = Qt::CaseSensitive)
{
    try {
        action();
        ADD_FAILURE() << "no error raised; expected one naming " << needle.toStdString();
    } catch (const E& e) {
        EXPECT_TRUE(e.text().contains(needle, cs)) << e.what();
    }
}

}  // namespace testsupport
