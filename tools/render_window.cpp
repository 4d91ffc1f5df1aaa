// Renders the main window, as it first comes up, to a PNG file for the documentation; with
// --production, the production window of a job once its first chip has passed. Runs on Qt's
// offscreen platform and whatever D2XX library the search path offers, meant to be the
// simulated programmer (with a scripted socket for --production).
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "main_window.h"

namespace {

constexpr int MAX_PAUSES = 10000;

bool Save(QWidget& window, const char* output) {
    if (window.grab().save(QString::fromLocal8Bit(output))) {
        return true;
    }
    std::fprintf(stderr, "Could not write %s\n", output);
    return false;
}

QWidget* OpenProductionWindow() {
    QWidget* modal = QApplication::activeModalWidget();
    return modal != nullptr && modal->objectName() == "productionWindow" ? modal : nullptr;
}

// The job opened as `vekflash JOB` opens it, then Production Mode started; the picture is taken
// at the first PASS, and closing the window ends the loop.
int RenderProduction(const QString& settingsPath, const char* job, const char* output) {
    bool saved = false;
    int pauses = 0;
    vek::MainWindow window(settingsPath.toStdString(), {}, [&](int) {
        QWidget* production = OpenProductionWindow();
        // The simulator's time is its own: nothing to wait for. A socket that never passes a
        // chip ends the tool after a while.
        if (production == nullptr || saved) {
            return;
        }
        if (production->findChild<QLabel*>("stateLabel")->text() == "PASS") {
            saved = Save(*production, output);
            production->close();
        } else if (++pauses > MAX_PAUSES) {
            production->close();
        }
    });
    if (window.HasEnded()) {
        std::fprintf(stderr, "The window ended during start-up.\n");
        return 1;
    }
    window.show();
    window.OpenCommandLineFile({"vekflash", QString::fromLocal8Bit(job)});
    QTimer::singleShot(0, [] {
        if (QWidget* production = OpenProductionWindow()) {
            production->findChild<QPushButton*>("startStopButton")->click();
        }
    });
    window.findChild<QAction*>("productionModeAction")->trigger();
    if (!saved) {
        std::fprintf(stderr, "No chip passed.\n");
    }
    return saved ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    const bool production = argc == 4 && std::string_view(argv[1]) == "--production";
    if (argc != 2 && !production) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n       %s --production JOB OUTPUT.png\n",
                     argv[0], argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // Nobody is there to answer a message: one (no simulator on the library path, say) ends
    // the tool instead of waiting for ever.
    QTimer messageWatch;
    QObject::connect(&messageWatch, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "Message: %s\n", qPrintable(box->text()));
            std::exit(1);
        }
    });
    messageWatch.start(0);

    // A settings file of its own: the picture shows a first start, whatever the person saved.
    const QTemporaryDir settingsFolder;
    const QString settingsPath = settingsFolder.filePath("vekflash.INI");
    if (production) {
        return RenderProduction(settingsPath, argv[2], argv[3]);
    }
    vek::MainWindow window(settingsPath.toStdString());
    if (window.HasEnded()) {
        std::fprintf(stderr, "The window ended during start-up.\n");
        return 1;
    }
    window.show();
    QApplication::processEvents();
    return Save(window, argv[1]) ? 0 : 1;
}
