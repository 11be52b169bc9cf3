// The main() of every test executable. It first sets the environment the tests expect,
// whenever the runner did not set it: CTest's discovery step runs the executables at build
// time with no display and without the test properties, so GUI tests need the offscreen
// platform from here, and path variables need their build-time values. A test executable
// built with VAK_TEST_LOCALE runs under that system locale. Then the application object
// of the suite's kind: a QApplication for GUI suites (widgets, message boxes, fonts), a
// QCoreApplication for the others (SQL driver plugins, events).

#include <QByteArray>
#include <QtGlobal>
#ifdef VAK_TEST_GUI
#include <QApplication>
#else
#include <QCoreApplication>
#endif

#include <gmock/gmock.h>

namespace {

void setDefault(const char* name, const char* value)
{
    if (qEnvironmentVariableIsEmpty(name))
        qputenv(name, QByteArray(value));
}

void setTestEnvironment()
{
    setDefault("QT_QPA_PLATFORM", "offscreen");
    setDefault("VAK_SOURCE_DIR", VAK_TEST_SOURCE_DIR);
    setDefault("VAK_BIN_DIR", VAK_TEST_BIN_DIR);
#ifdef VAK_TEST_LOCALE
    // The system locale these tests are written for (the short date format and the
    // decimal separator of QLocale::system()).
    setDefault("LC_ALL", VAK_TEST_LOCALE);
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    setTestEnvironment();
#ifdef VAK_TEST_GUI
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
