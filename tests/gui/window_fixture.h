// A shown main window on the simulated programmer, with the web opener replaced by a recorder
// so that no browser starts, and helpers to reach its controls and dialogs.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main_window.h"
#include "message_box_answerer.h"
#include "sim_control.h"

namespace vek::test {

class WindowTest : public ::testing::Test {
  protected:
    WindowTest() { sim.Reset(); }

    // A window from an earlier start goes first: it holds the programmer open. Pauses are
    // recorded, never waited.
    void Start() {
        window.reset();
        window = std::make_unique<MainWindow>(
            settingsPath, sim.LibraryPath(),
            [this](int milliseconds) { pauses.push_back(milliseconds); });
        window->SetWebOpener([this](const QUrl& address) {
            openedAddresses.push_back(address.toString().toStdString());
            return openerSucceeds;
        });
        window->show();
    }
    // Detached at start, so that the next tick after an attach finds a new programmer.
    void StartDetached() {
        sim.SetAttached(false);
        Start();
        sim.SetAttached(true);
    }
    template <typename Control>
    Control* Find(const char* objectName) {
        auto* control = window->findChild<Control*>(objectName);
        EXPECT_NE(control, nullptr) << objectName;
        return control;
    }
    QString Text(const char* fieldName) { return Find<QLineEdit>(fieldName)->text(); }
    QString Caption(const char* labelName) { return Find<QLabel>(labelName)->text(); }
    // One tick of the 200 ms timer, delivered at once.
    void Tick() { QMetaObject::invokeMethod(Find<QTimer>("pollTimer"), "timeout"); }
    int SavedInt(const char* key) { return settings.ReadSettingInt(SETTINGS_SECTION, key, -1); }
    std::string SavedText(const char* key) {
        return settings.ReadSettingText(SETTINGS_SECTION, key, "<absent>");
    }
    void MoveTo(QPoint position) {
        window->setGeometry(QRect(position, window->size()));
        QCoreApplication::processEvents();
    }

    enum class Closing { ClickOnRow, ReturnOnRow, Escape };
    // Opens the Device list and closes it as a person would; the row matters only for a
    // click or Return.
    void CloseOpenedList(Closing closing, int row = 0) {
        auto* deviceList = Find<QComboBox>("deviceList");
        deviceList->showPopup();
        QAbstractItemView* view = deviceList->view();
        const QModelIndex index = deviceList->model()->index(row, 0);
        switch (closing) {
            case Closing::ClickOnRow:
                view->scrollTo(index);
                QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                                  view->visualRect(index).center());
                break;
            case Closing::ReturnOnRow:
                view->setCurrentIndex(index);
                QTest::keyClick(view, Qt::Key_Return);
                break;
            case Closing::Escape:
                QTest::keyClick(view, Qt::Key_Escape);
                break;
        }
        QCoreApplication::processEvents();
    }

    // Opens the file through the menu, answering the file dialog with `path`.
    void OpenThroughDialog(const std::string& path) {
        QTimer::singleShot(0, [path] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), "Select a HEX file.");
            EXPECT_EQ(dialog->nameFilters(),
                      (QStringList{"HEX Files (*.hex *.sxh)", "All Files (*)"}));
            dialog->selectFile(QString::fromStdString(path));
            static_cast<QDialog*>(dialog)->accept();
        });
        Find<QAction>("openHexFileAction")->trigger();
        QCoreApplication::processEvents();
    }
    void Press(const char* buttonName) { Find<QToolButton>(buttonName)->click(); }

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
    std::filesystem::path settingsPath =
        QFileInfo(folder.filePath("vekflash.INI")).filesystemFilePath();
    IniSettingsStore settings{settingsPath};
    std::vector<int> pauses;
    MessageBoxAnswerer answerer;
    std::vector<std::string> openedAddresses;
    bool openerSucceeds = true;
    std::unique_ptr<MainWindow> window;
};

}  // namespace vek::test
