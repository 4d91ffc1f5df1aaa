// Renders the main window, as it first comes up, to a PNG file for the documentation. Runs on
// Qt's offscreen platform and whatever D2XX library the search path offers, meant to be the
// simulated programmer.
#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "main_window.h"

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // Nobody is there to answer a message: one during start-up (no simulator on the library
    // path, say) ends the tool instead of waiting for ever.
    QTimer messageWatch;
    QObject::connect(&messageWatch, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "Message during start-up: %s\n", qPrintable(box->text()));
            std::exit(1);
        }
    });
    messageWatch.start(0);

    // A settings file of its own: the picture shows a first start, whatever the person saved.
    const QTemporaryDir settingsFolder;
    vek::MainWindow window(settingsFolder.filePath("vekflash.INI").toStdString());
    if (window.HasEnded()) {
        std::fprintf(stderr, "The window ended during start-up.\n");
        return 1;
    }
    window.show();
    QApplication::processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "Could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
