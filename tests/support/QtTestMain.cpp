// The main of the widget tests: a QApplication on the offscreen platform, then GoogleTest.
#include <QApplication>
#include <QStandardPaths>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Set before Qt starts: the tests run without a display, also when the build runs the
    // binary to list its tests.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Dialogs keep their history under the test's own settings, not the user's.
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
