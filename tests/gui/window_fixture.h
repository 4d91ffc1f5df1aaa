// A shown main window on the simulated programmer, with the web opener replaced by a recorder
// so that no browser starts, and helpers to reach its controls and dialogs.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main_window.h"
#include "message_box_answerer.h"
#include "sim_control.h"

namespace vek::test {

class ShownWindow : public ::testing::Test {
  protected:
    ShownWindow() { sim.Reset(); }

    // A window from an earlier start goes first: it holds the programmer open.
    void Start() {
        window.reset();
        window = std::make_unique<MainWindow>(settingsPath, sim.LibraryPath(), [](int) {});
        window->SetWebOpener([this](const QUrl& address) {
            openedAddresses.push_back(address.toString().toStdString());
            return openerSucceeds;
        });
        window->show();
    }
    template <typename Control>
    Control* Find(const char* objectName) {
        auto* control = window->findChild<Control*>(objectName);
        EXPECT_NE(control, nullptr) << objectName;
        return control;
    }
    // One tick of the 200 ms timer, delivered at once.
    void Tick() { QMetaObject::invokeMethod(Find<QTimer>("pollTimer"), "timeout"); }
    int SavedInt(const char* key) { return settings.ReadSettingInt(SETTINGS_SECTION, key, -1); }

    // Triggers the menu item and hands the modal dialog that it opens to `visit`, then
    // presses the dialog's OK button. Message boxes on top are left to the answerer.
    void WithDialog(const char* actionName, const std::function<void(QDialog&)>& visit) {
        bool visited = false;
        QTimer whenOpen;
        whenOpen.setSingleShot(true);
        QObject::connect(&whenOpen, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr) << actionName;
            visit(*dialog);
            visited = true;
            dialog->findChild<QPushButton*>("okButton")->click();
        });
        whenOpen.start(0);
        Find<QAction>(actionName)->trigger();
        EXPECT_TRUE(visited) << actionName;
    }

    SimControl& sim = SimControl::Get();
    QTemporaryDir folder;
    QString settingsPath = folder.filePath("vekflash.INI");
    IniSettingsStore settings{settingsPath};
    MessageBoxAnswerer answerer;
    std::vector<std::string> openedAddresses;
    bool openerSucceeds = true;
    std::unique_ptr<MainWindow> window;
};

}  // namespace vek::test
