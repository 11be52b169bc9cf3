// The sale services' tests need a GUI application (fonts for the customer copy).
#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {

class GuiApplication : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "possvc_sale_test";
        static char* argv[] = {name, nullptr};
        app_ = new QGuiApplication(argc, argv);
    }
    void TearDown() override
    {
        delete app_;
        app_ = nullptr;
    }

private:
    QGuiApplication* app_ = nullptr;
};

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new GuiApplication);

}  // namespace
