// The window's wiring, on the simulated programmer: start-up, the Device list, the commands,
// position keeping and the ways the window ends.
#include "main_window.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>
#include <algorithm>
#include <memory>

#include "link/protocol.h"
#include "message_box_answerer.h"
#include "sim_control.h"
#include "vek_sim.h"

namespace vek::test {
namespace {

class Window : public ::testing::Test {
  protected:
    Window() { sim.Reset(); }

    void Start() {
        window = std::make_unique<MainWindow>(
            settingsPath, sim.LibraryPath(),
            [this](int milliseconds) { pauses.push_back(milliseconds); });
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

    SimControl& sim = SimControl::Get();
    QTemporaryDir folder;
    QString settingsPath = folder.filePath("vekflash.INI");
    IniSettingsStore settings{settingsPath};
    std::vector<int> pauses;
    MessageBoxAnswerer answerer;
    std::unique_ptr<MainWindow> window;
};

TEST_F(Window, AFirstStartShows16F84AWithThePic16Layout) {
    Start();

    EXPECT_TRUE(answerer.messages.empty());
    EXPECT_EQ(window->windowTitle(), "VEK-Flash V1.4 ");
    auto* deviceList = Find<QComboBox>("deviceList");
    ASSERT_EQ(deviceList->count(), DEVICE_COUNT);
    EXPECT_EQ(deviceList->itemText(8), "SX28");
    EXPECT_EQ(deviceList->currentText(), "16F84A");
    EXPECT_EQ(Text("fuseField"), "---");
    EXPECT_EQ(Text("fuseXField"), "FFF");
    EXPECT_EQ(Text("devWordField"), "0000");
    EXPECT_EQ(Text("hexFileField"), "Click here to select a hex file");
    EXPECT_EQ(Caption("fuseLabel"), "Config Bits");
    EXPECT_EQ(Caption("devWordLabel"), "     ID");
    EXPECT_FALSE(Find<QLabel>("fuseXLabel")->isEnabled());
    EXPECT_FALSE(Find<QLineEdit>("fuseXField")->isEnabled());

    EXPECT_TRUE(Find<QAction>("eraseBeforeProgramAction")->isChecked());
    EXPECT_FALSE(Find<QAction>("allowTargetPowerAction")->isChecked());
    EXPECT_EQ(window->geometry().topLeft(), QPoint(100, 100));
    EXPECT_TRUE(Find<QTimer>("pollTimer")->isActive());
    EXPECT_EQ(Find<QTimer>("pollTimer")->interval(), 200);
    // The start-up connection reached the programmer, through the injected pause.
    EXPECT_EQ(pauses, std::vector<int>{50});
}

TEST_F(Window, ChoosingFromTheOpenedListSavesTheRowAndSwitchesTheLayout) {
    Start();
    window->show();
    auto* deviceList = Find<QComboBox>("deviceList");

    deviceList->showPopup();
    deviceList->view()->setCurrentIndex(deviceList->model()->index(8, 0));
    QTest::keyClick(deviceList->view(), Qt::Key_Return);
    QCoreApplication::processEvents();

    EXPECT_EQ(deviceList->currentText(), "SX28");
    EXPECT_EQ(SavedInt(KEY_PROC_SELECTION), 8);
    // The close-up ran after the selection change: its "---" defaults win.
    EXPECT_EQ(Text("fuseField"), "---");
    EXPECT_EQ(Text("fuseXField"), "---");
    EXPECT_EQ(Caption("fuseLabel"), "    Fuse");
    EXPECT_EQ(Caption("devWordLabel"), "Dev Word");
    EXPECT_TRUE(Find<QLabel>("fuseXLabel")->isEnabled());
    EXPECT_TRUE(Find<QLineEdit>("fuseXField")->isEnabled());
    EXPECT_EQ(window->focusWidget(), Find<QToolButton>("blankCheckButton"));
}

TEST_F(Window, AKeyboardChangeWithTheListClosedShowsSelectionDefaultsOnly) {
    Start();
    auto* deviceList = Find<QComboBox>("deviceList");

    QTest::keyClick(deviceList, Qt::Key_Down);
    EXPECT_EQ(deviceList->currentText(), "16F870");
    EXPECT_EQ(Text("fuseField"), "3d3a");
    EXPECT_EQ(Text("fuseXField"), "0");

    QTest::keyClick(deviceList, Qt::Key_End);
    QCoreApplication::processEvents();
    EXPECT_EQ(deviceList->currentText(), "SX48");
    EXPECT_EQ(Text("fuseField"), "4E9");
    EXPECT_EQ(Text("fuseXField"), "440");
    EXPECT_EQ(Caption("fuseLabel"), "Config Bits");
    EXPECT_FALSE(Find<QLineEdit>("fuseXField")->isEnabled());
    EXPECT_EQ(SavedInt(KEY_PROC_SELECTION), -1);
}

TEST_F(Window, BlankCheckAndEraseRunFromTheirButtonsAndMenuItems) {
    Start();
    window->show();
    sim.WriteWord(VEKSIM_PROGRAM, 0, 0x2805);

    QTest::mouseClick(Find<QToolButton>("blankCheckButton"), Qt::LeftButton);
    Find<QAction>("eraseAction")->trigger();
    Find<QAction>("blankCheckAction")->trigger();

    EXPECT_EQ(answerer.messages, (std::vector<std::string>{"Device is not blank", "Device is blank",
                                                           "Device is blank"}));
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x3FFF);
}

TEST_F(Window, ASecondOperationWhileOneRunsDoesNothing) {
    Start();
    window->show();
    auto* blankCheck = Find<QToolButton>("blankCheckButton");
    sim.ClearLogs();
    blankCheck->click();
    const std::vector<std::uint8_t> oneBlankCheck = sim.HostBytes();

    sim.ClearLogs();
    answerer.messages.clear();
    answerer.whileOpen = [&](QMessageBox&) {
        blankCheck->click();
        Find<QToolButton>("eraseButton")->click();
    };
    blankCheck->click();

    EXPECT_EQ(answerer.messages, std::vector<std::string>{"Device is blank"});
    EXPECT_EQ(sim.HostBytes(), oneBlankCheck);
}

TEST_F(Window, EveryTickSavesThePositionThatAStartRestores) {
    Start();
    window->show();
    window->setGeometry(QRect(QPoint(321, 234), window->size()));
    QCoreApplication::processEvents();

    Tick();
    EXPECT_EQ(SavedInt(KEY_SCREEN_X), 321);
    EXPECT_EQ(SavedInt(KEY_SCREEN_Y), 234);
    settings.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 5);
    Tick();
    EXPECT_EQ(SavedInt(KEY_SCREEN_X), 321);

    window.reset();
    Start();
    EXPECT_EQ(window->geometry().topLeft(), QPoint(321, 234));
}

TEST_F(Window, AllowTargetPowerFlipsItsCheckMarkWithTheProgrammer) {
    Start();
    auto* allowPower = Find<QAction>("allowTargetPowerAction");

    allowPower->trigger();
    EXPECT_TRUE(allowPower->isChecked());
    EXPECT_EQ(sim.PowerState() & 1, 1);
    allowPower->trigger();
    EXPECT_FALSE(allowPower->isChecked());
    EXPECT_EQ(sim.PowerState() & 1, 0);
}

TEST_F(Window, ExitClosesTheHandleAndEndsThroughTheOkPath) {
    Start();
    window->show();
    sim.ClearLogs();

    Find<QAction>("exitAction")->trigger();

    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
    const std::vector<std::string> calls = sim.CallLog();
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& call) { return call.starts_with("FT_Close"); }),
              2);
}

TEST_F(Window, AFatalShutdownDuringACommandEndsTheWindowOnlyAfterItReturns) {
    Start();
    window->show();
    bool visibleAfterRequest = false;
    answerer.whileOpen = [&](QMessageBox&) {
        // The programmer vanishes; the next tick's presence check asks the window to end.
        sim.UnplugAfterCalls(0);
        Tick();
        visibleAfterRequest = window->isVisible();
    };

    Find<QAction>("testCommunicationAction")->trigger();

    EXPECT_EQ(answerer.messages, std::vector<std::string>{"VEK Flash programmer ready."});
    EXPECT_TRUE(visibleAfterRequest);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_FALSE(Find<QTimer>("pollTimer")->isActive());
}

TEST_F(Window, ATitleBarCloseDuringACommandWaitsForItsReturn) {
    Start();
    window->show();
    bool visibleAfterClose = false;
    answerer.whileOpen = [&](QMessageBox&) {
        window->close();
        visibleAfterClose = window->isVisible();
    };

    Find<QToolButton>("blankCheckButton")->click();

    EXPECT_TRUE(visibleAfterClose);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
}

TEST_F(Window, AFatalFailureDuringStartUpEndsTheWindowBeforeItShows) {
    sim.FaultReply(CMD_ALLOW_POWER, 0, 0, VEKSIM_REPLACE, 0x00);

    Start();

    EXPECT_TRUE(window->HasEnded());
    EXPECT_FALSE(Find<QTimer>("pollTimer")->isActive());
}

}  // namespace
}  // namespace vek::test
