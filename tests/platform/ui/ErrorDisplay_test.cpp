#include "UiTestSupport.h"

#include "platform/Error.h"
#include "platform/ui/ErrorDisplay.h"

#include <gtest/gtest.h>

namespace {

QStringList shown;
void record(const QString& text, void* context)
{
    shown << text;
    ++*static_cast<int*>(context);
}

TEST(ErrorDisplay, GuardHandsEscapedErrorsToTheInstalledDisplay)
{
    int calls = 0;
    shown.clear();
    platform::ui::setErrorDisplay(&record, &calls);
    EXPECT_TRUE(platform::ui::guarded([] {}));
    EXPECT_FALSE(platform::ui::guarded([] { throw platform::DataSetError(QStringLiteral("Field 'X' not found")); }));
    EXPECT_FALSE(platform::ui::guarded([] { throw std::runtime_error("plain"); }));
    EXPECT_FALSE(platform::ui::guarded([] { throw 42; }));
    EXPECT_EQ(calls, 3);
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[0], QStringLiteral("Field 'X' not found"));
    EXPECT_EQ(shown[1], QStringLiteral("plain"));
    EXPECT_FALSE(shown[2].isEmpty());
    platform::ui::setErrorDisplay(nullptr);
}

}  // namespace
