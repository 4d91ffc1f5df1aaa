// A shown main window on the simulated programmer, with the web opener replaced by a recorder
// so that no browser starts, the message boxes answered as a person would, and helpers to reach
// its controls and dialogs.
#pragma once

#include <gtest/gtest.h>

#include <QtTest/QTest>
#include <QtWidgets>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main_window.h"
#include "sim_control.h"

namespace vek::test {

// Paths in the platform's own form ('\' on Windows), as the window keeps them.
inline std::string NativePath(const QString& path) {
    return QDir::toNativeSeparators(path).toStdString();
}

inline const std::string PIC_SAMPLE = NativePath(VEK_EXAMPLES_DIR "/blink-16f84a.hex");

// A zero-interval timer finds the modal message box that is open, records its text and
// clicks OK with the mouse, so that nothing waits for real.
class MessageBoxAnswerer {
  public:
    MessageBoxAnswerer() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { AnswerOpenBox(); });
        timer_.start(0);
    }

    std::vector<std::string> messages;
    // Runs while the box is still open, before OK is pressed.
    std::function<void(QMessageBox& box)> whileOpen;
    // The button pressed on a box without OK (a question); none presses its default.
    QMessageBox::StandardButton questionAnswer = QMessageBox::NoButton;

  private:
    void AnswerOpenBox() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        // A box stays the active one while its own whileOpen runs; answer it only once.
        if (box == nullptr || box->property("answered").toBool()) {
            return;
        }
        box->setProperty("answered", true);
        messages.push_back(box->text().toStdString());
        if (whileOpen) {
            whileOpen(*box);
        }
        QAbstractButton* answer = box->button(QMessageBox::Ok);
        if (answer == nullptr) {
            answer = questionAnswer != QMessageBox::NoButton ? box->button(questionAnswer)
                                                             : box->defaultButton();
        }
        QTest::mouseClick(answer, Qt::LeftButton);
    }

    QTimer timer_;
};

// A menu as the person sees it: each item's text, "[x]" or "[ ]" when checkable, "(off)" when
// disabled, "----" for a separator.
inline std::vector<std::string> MenuItems(const QMenu* menu) {
    std::vector<std::string> items;
    for (const QAction* item : menu->actions()) {
        std::string described = item->isSeparator() ? "----" : item->text().toStdString();
        if (item->isCheckable()) {
            described += item->isChecked() ? " [x]" : " [ ]";
        }
        if (!item->isSeparator() && !item->isEnabled()) {
            described += " (off)";
        }
        items.push_back(described);
    }
    return items;
}

class WindowTest : public ::testing::Test {
  protected:
    WindowTest() { sim.Reset(); }

    // A window from an earlier start goes first: it holds the programmer open. Pauses are
    // recorded, never waited.
    void Start() {
        window.reset();
        window =
            std::make_unique<MainWindow>(settingsPath, D2xxFrom(sim.LibraryPath()), [this](int ms) {
                pauses.push_back(ms);
                if (onPause) {
                    onPause(ms);
                }
            });
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
    // The window's child of that class once closed windows are gone, or nullptr.
    template <typename Child>
    Child* Alive() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return window->findChild<Child*>();
    }
    QString Text(const char* fieldName) { return Find<QLineEdit>(fieldName)->text(); }
    QString Caption(const char* name) { return Find<QWidget>(name)->property("text").toString(); }
    void Press(const char* buttonName) { Find<QAbstractButton>(buttonName)->click(); }
    // Items a menu has replaced go first, so that the name finds the item shown now.
    void Trigger(const char* actionName) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Find<QAction>(actionName)->trigger();
    }
    // How many calls the simulator logged that begin so, e.g. "FT_OpenEx \"B2\" 1 -> 0".
    int Calls(const std::string& start) {
        const std::vector<std::string> calls = sim.CallLog();
        return static_cast<int>(std::count_if(
            calls.begin(), calls.end(), [&](const auto& call) { return call.starts_with(start); }));
    }
    // The items of the menu that holds this one, as MenuItems describes them.
    std::vector<std::string> MenuWith(const char* actionName) {
        return MenuItems(
            qobject_cast<QMenu*>(Find<QAction>(actionName)->associatedObjects().value(0)));
    }
    // One tick of the 200 ms timer, delivered at once.
    void Tick() { QMetaObject::invokeMethod(Find<QTimer>("pollTimer"), "timeout"); }
    int SavedInt(const char* key) { return settings.ReadSettingInt(SETTINGS_SECTION, key, -1); }
    std::string SavedText(const char* key) {
        return settings.ReadSettingText(SETTINGS_SECTION, key, "<absent>");
    }
    QPoint SavedPosition() { return {SavedInt("VEKFlashScreenX"), SavedInt("VEKFlashScreenY")}; }
    void Save(const char* key, int value) {
        settings.WriteSettingInt(SETTINGS_SECTION, key, value);
    }
    void Save(const char* key, const char* text) {
        settings.WriteSettingText(SETTINGS_SECTION, key, text);
    }
    void MoveTo(QPoint position) {
        window->setGeometry(QRect(position, window->size()));
        QCoreApplication::processEvents();
    }
    std::string InFolder(const std::string& name) {
        return NativePath(folder.filePath(QString::fromStdString(name)));
    }

    // Triggers the menu item and hands the modal dialog that it opens to `answer`.
    void WithModal(const char* actionName, const std::function<void(QDialog&)>& answer) {
        bool answered = false;
        QTimer whenOpen;  // gone with this call, should the dialog never open
        whenOpen.setSingleShot(true);
        QObject::connect(&whenOpen, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr) << actionName;
            answer(*dialog);
            answered = true;
        });
        whenOpen.start(0);
        Trigger(actionName);
        QCoreApplication::processEvents();
        EXPECT_TRUE(answered) << actionName;
    }
    // Hands the dialog to `visit`, then presses its OK button. Message boxes on top are left
    // to the answerer.
    void WithDialog(const char* actionName, const std::function<void(QDialog&)>& visit) {
        WithModal(actionName, [&](QDialog& dialog) {
            visit(dialog);
            dialog.findChild<QPushButton*>("okButton")->click();
        });
    }
    // Opens the file through the menu, answering the file dialog with `path`.
    void OpenThroughDialog(const std::string& path) {
        WithModal("openHexFileAction", [&](QDialog& dialog) {
            auto& chooser = static_cast<QFileDialog&>(dialog);
            EXPECT_EQ(chooser.windowTitle(), "Select a HEX file.");
            EXPECT_EQ(chooser.nameFilters(),
                      (QStringList{"HEX Files (*.hex *.sxh)", "All Files (*)"}));
            chooser.selectFile(QString::fromStdString(path));
            dialog.accept();
        });
    }

    SimControl& sim = SimControl::Get();
    QTemporaryDir folder;
    std::filesystem::path settingsPath = folder.filePath("vekflash.INI").toStdString();
    IniSettingsStore settings{settingsPath};
    std::vector<int> pauses;
    std::function<void(int ms)> onPause;  // runs in each pause, after it is recorded
    MessageBoxAnswerer answerer;
    std::vector<std::string> openedAddresses;
    bool openerSucceeds = true;
    std::unique_ptr<MainWindow> window;
};

}  // namespace vek::test
