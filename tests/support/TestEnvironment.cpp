// Linked into every test executable: the environment the tests expect, set before main()
// whenever the runner did not set it. CTest's discovery step runs the executables at
// build time with no display and without the test properties, so GUI tests need the
// offscreen platform from here, and path variables need their build-time values. A test
// executable built with VAK_TEST_LOCALE runs under that system locale.

#include <QByteArray>
#include <QtGlobal>

namespace {

void setDefault(const char* name, const char* value)
{
    if (qEnvironmentVariableIsEmpty(name))
        qputenv(name, QByteArray(value));
}

const bool environmentReady = [] {
    setDefault("QT_QPA_PLATFORM", "offscreen");
    setDefault("VAK_SOURCE_DIR", VAK_TEST_SOURCE_DIR);
    setDefault("VAK_BIN_DIR", VAK_TEST_BIN_DIR);
#ifdef VAK_TEST_LOCALE
    // The system locale these tests are written for (the short date format and the
    // decimal separator of QLocale::system()).
    setDefault("LC_ALL", VAK_TEST_LOCALE);
#endif
    return true;
}();

}  // namespace
