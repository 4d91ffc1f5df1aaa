// The GUI tests share one QApplication, as the program does.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char* argv[]) {
    // Never on the person's screen, also when run by hand or listed by the build.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
