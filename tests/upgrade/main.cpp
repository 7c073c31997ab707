// The upgrade tests run with a widget application (offscreen), since the
// controller and its windows need one.
#include <QApplication>
#include <gtest/gtest.h>

// Read by the thread sanitizer when the tests are built with it. Qt's own
// worker pool (started by the widgets while the real upgrade windows paint)
// synchronises with futex-based locks the sanitizer cannot see, since Qt is
// not instrumented; reports whose stacks lie in Qt's libraries are not ours
// to judge. Every other test runs clean without any suppression.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libQt6Core.so.6\n"
           "race:libQt6Gui.so.6\n";
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
