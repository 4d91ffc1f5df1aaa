// The GUI tests share one QApplication, as the program does.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char* argv[]) {
    // Never on the person's screen, also when run by hand or listed by the build.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
#if defined(VEK_OFFSCREEN_FONT_DIR)
    if (qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR")) {
        qputenv("QT_QPA_FONTDIR", VEK_OFFSCREEN_FONT_DIR);
    }
    // Qt's warnings in the test's output rather than in a debugger's.
    qputenv("QT_FORCE_STDERR_LOGGING", "1");
#endif
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
