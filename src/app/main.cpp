// VEK Flash: the window is the application; the process ends when the window ends.
#include <QApplication>

#include "main_window.h"
#include "settings_path.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("vekflash");
    // Lets the desktop match the window with the installed menu entry and its icon.
    QApplication::setDesktopFileName("vekflash");

    vek::MainWindow window(vek::DefaultSettingsPath());
    if (window.HasEnded()) {
        return 0;
    }
    QObject::connect(&window, &QDialog::finished, &application, &QCoreApplication::quit);
    window.show();
    window.OpenCommandLineFile(QApplication::arguments());
    return application.exec();
}
