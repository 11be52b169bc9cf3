// hostkit tests run with a GUI application object (the picture button, message boxes),
// on the offscreen platform. The test list is also read at build time, where no display
// and no platform setting exist: offscreen is then chosen here.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
