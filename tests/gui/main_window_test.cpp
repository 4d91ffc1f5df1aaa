// The window's wiring, on the simulated programmer: start-up, the Device list, the commands,
// position keeping and the ways the window ends.
#include "main_window.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>
#include <algorithm>
#include <memory>

#include "folder_changes.h"
#include "link/protocol.h"
#include "sim_control.h"
#include "vek_sim.h"
#include "window_fixture.h"

namespace vek::test {
namespace {

class Window : public WindowTest {
  protected:
    bool FuseXControlsEnabled() {
        return Find<QLabel>("fuseXLabel")->isEnabled() &&
               Find<QLineEdit>("fuseXField")->isEnabled();
    }
    void ExpectPic16Layout() {
        EXPECT_EQ(Caption("fuseLabel"), "Config Bits");
        EXPECT_EQ(Caption("devWordLabel"), "     ID");
        EXPECT_FALSE(Find<QLabel>("fuseXLabel")->isEnabled());
        EXPECT_FALSE(Find<QLineEdit>("fuseXField")->isEnabled());
    }
    void ExpectSxLayout() {
        EXPECT_EQ(Caption("fuseLabel"), "    Fuse");
        EXPECT_EQ(Caption("devWordLabel"), "Dev Word");
        EXPECT_TRUE(FuseXControlsEnabled());
    }
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
    ExpectPic16Layout();
    EXPECT_EQ(window->geometry().topLeft(), QPoint(100, 100));
    EXPECT_TRUE(Find<QTimer>("pollTimer")->isActive());
    EXPECT_EQ(Find<QTimer>("pollTimer")->interval(), 200);
    // The start-up connection reached the programmer, through the injected pause.
    EXPECT_EQ(pauses, std::vector<int>{50});
}

TEST_F(Window, TheFastTransfersKeyDecidesWhetherStartUpShortensTheLatencyTimer) {
    // -1: the key is absent.
    for (const auto& [saved, latencyCalls] : {std::pair{-1, 1}, {0, 0}, {1, 1}}) {
        window.reset();
        sim.Reset();
        if (saved >= 0) {
            settings.WriteSettingInt(SETTINGS_SECTION, "VEKFlashFastTransfers", saved);
        }
        Start();
        const std::vector<std::string> calls = sim.CallLog();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "FT_SetLatencyTimer 2 -> 0"), latencyCalls)
            << saved;
    }
    EXPECT_TRUE(answerer.messages.empty());
}

TEST_F(Window, AStartWithASavedSelectionShowsItsFamilyLayout) {
    settings.WriteSettingInt(SETTINGS_SECTION, KEY_PROC_SELECTION, 9);
    settings.WriteSettingText(SETTINGS_SECTION, KEY_FUSE_BITS, "7F3");
    Start();

    EXPECT_EQ(Find<QComboBox>("deviceList")->currentText(), "SX48");
    EXPECT_EQ(Text("fuseField"), "7F3");
    EXPECT_EQ(Text("fuseXField"), "---");
    ExpectSxLayout();

    window.reset();
    settings.WriteSettingInt(SETTINGS_SECTION, KEY_PROC_SELECTION, 1);
    Start();

    EXPECT_EQ(Find<QComboBox>("deviceList")->currentText(), "16F870");
    EXPECT_EQ(Text("fuseField"), "---");
    EXPECT_EQ(Text("fuseXField"), "FFF");
    ExpectPic16Layout();
}

TEST_F(Window, TheMenusAndToolTipsFollowTheCommandTable) {
    Start();
    // Each item: its text, "[x]" or "[ ]" when checkable, "(off)" when disabled.
    const std::vector<std::pair<std::string, std::vector<std::string>>> expected = {
        {"&File", {"&Open Hex File...", "&Exit"}},
        {"Se&tup",
         {"Connect to VEK Flash Programmer", "Setup USB Description String...",
          "Enable Erase Before Program [x]", "Test Communication",
          "Allow Target Power From VEK Flash [ ]"}},
        {"Co&mmands",
         {"Blan&k Check", "E&rase", "Pro&gram", "&Verify", "Rea&d", "Apply Target Power Now"}},
        {"Internet", {"Goto VEK Design", "Goto FTDI", "Download Drivers"}},
        {"About", {"&About VEK-FLASH"}},
    };
    std::vector<std::pair<std::string, std::vector<std::string>>> shown;
    for (const QAction* menuAction : Find<QMenuBar>("menuBar")->actions()) {
        std::vector<std::string> items;
        for (const QAction* item : menuAction->menu()->actions()) {
            std::string described = item->text().toStdString();
            if (item->isCheckable()) {
                described += item->isChecked() ? " [x]" : " [ ]";
            }
            if (!item->isEnabled()) {
                described += " (off)";
            }
            items.push_back(described);
        }
        shown.emplace_back(menuAction->text().toStdString(), items);
    }
    EXPECT_EQ(shown, expected);

    const std::vector<std::pair<const char*, QString>> toolTips = {
        {"blankCheckButton", "Blank Check"},
        {"eraseButton", "Erase & Blank Check"},
        {"programButton", "Program selected hex file"},
        {"verifyButton", "Verify"},
        {"readButton", "Read"},
        {"fuseSetButton", "Set Configuration Bits"},
        {"fuseXSetButton", "Set FuseX Configuration Bits"},
        {"lastConfigButton", "Use Last Configuration"},
    };
    for (const auto& [control, toolTip] : toolTips) {
        EXPECT_EQ(Find<QWidget>(control)->toolTip(), toolTip) << control;
    }
}

TEST_F(Window, TheOpenedListReportsItsCloseUpAfterTheChosenRowHoweverItCloses) {
    Start();
    window->show();
    auto* deviceList = Find<QComboBox>("deviceList");
    auto* blankCheck = Find<QToolButton>("blankCheckButton");

    CloseOpenedList(Closing::ClickOnRow, 8);
    EXPECT_EQ(deviceList->currentText(), "SX28");
    EXPECT_EQ(SavedInt(KEY_PROC_SELECTION), 8);
    // The close-up ran after the selection change: its "---" defaults win.
    EXPECT_EQ(Text("fuseField"), "---");
    EXPECT_EQ(Text("fuseXField"), "---");
    ExpectSxLayout();
    EXPECT_EQ(window->focusWidget(), blankCheck);

    CloseOpenedList(Closing::ReturnOnRow, 1);
    EXPECT_EQ(deviceList->currentText(), "16F870");
    EXPECT_EQ(SavedInt(KEY_PROC_SELECTION), 1);
    EXPECT_EQ(Text("fuseField"), "---");
    EXPECT_EQ(Text("fuseXField"), "0");
    EXPECT_EQ(Caption("fuseLabel"), "Config Bits");
    EXPECT_FALSE(Find<QLineEdit>("fuseXField")->isEnabled());

    // Closing the list on the row it had, or with Escape, is a close-up too.
    for (const Closing closing : {Closing::ClickOnRow, Closing::Escape}) {
        settings.WriteSettingInt(SETTINGS_SECTION, KEY_PROC_SELECTION, 5);
        deviceList->setFocus();
        CloseOpenedList(closing, 1);
        EXPECT_EQ(deviceList->currentText(), "16F870");
        EXPECT_EQ(SavedInt(KEY_PROC_SELECTION), 1);
        EXPECT_EQ(window->focusWidget(), blankCheck);
    }
}

TEST_F(Window, AMessageThatClosesTheOpenedListStillEndsInItsCloseUp) {
    StartDetached();
    auto* deviceList = Find<QComboBox>("deviceList");
    // Chosen by keyboard while closed: not saved, no relabelling yet.
    QTest::keyClick(deviceList, Qt::Key_End);
    ASSERT_EQ(SavedInt(KEY_PROC_SELECTION), -1);

    deviceList->showPopup();
    answerer.messages.clear();
    Tick();
    QCoreApplication::processEvents();

    EXPECT_EQ(answerer.messages, std::vector<std::string>{"VEK Flash programmer ready."});
    EXPECT_FALSE(deviceList->view()->isVisible());
    EXPECT_EQ(SavedInt(KEY_PROC_SELECTION), 9);
    EXPECT_EQ(Caption("fuseLabel"), "    Fuse");
    EXPECT_EQ(Text("fuseField"), "---");
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

TEST_F(Window, BlankCheckAndEraseRunFromTheirButtonsKeysAndMenuItems) {
    Start();
    window->show();
    auto* blankCheck = Find<QToolButton>("blankCheckButton");
    sim.WriteWord(VEKSIM_PROGRAM, 0, 0x2805);

    QTest::mouseClick(blankCheck, Qt::LeftButton);
    // Return and Enter press a focused operation button, as in a dialog window.
    QTest::keyClick(Find<QToolButton>("eraseButton"), Qt::Key_Return);
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x3FFF);
    QTest::keyClick(blankCheck, Qt::Key_Enter, Qt::KeypadModifier);
    sim.WriteWord(VEKSIM_PROGRAM, 0, 0x2805);
    Find<QAction>("blankCheckAction")->trigger();
    Find<QAction>("eraseAction")->trigger();

    EXPECT_EQ(answerer.messages,
              (std::vector<std::string>{"Device is not blank", "Device is blank", "Device is blank",
                                        "Device is not blank", "Device is blank"}));
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

TEST_F(Window, AnIdleWindowLeavesTheSettingsFileAloneOnceItsPositionIsSaved) {
    Start();
    window->show();
    MoveTo(QPoint(321, 234));
    Tick();
    FolderChanges changes(settingsPath.parent_path());
    ASSERT_TRUE(changes.Watching());

    for (int tick = 0; tick < 5; ++tick) {
        Tick();
    }
    EXPECT_EQ(changes.Take(), 0);
    MoveTo(QPoint(300, 234));
    Tick();
    EXPECT_GT(changes.Take(), 0);
    EXPECT_EQ(SavedInt(KEY_SCREEN_X), 300);
}

TEST_F(Window, EveryTickSavesThePositionBeforeItsPoll) {
    StartDetached();
    MoveTo(QPoint(321, 234));
    auto* timer = Find<QTimer>("pollTimer");
    int savedXWhileOpen = -1;
    bool timerRanWhileOpen = true;
    answerer.messages.clear();
    answerer.whileOpen = [&](QMessageBox&) {
        savedXWhileOpen = SavedInt(KEY_SCREEN_X);
        timerRanWhileOpen = timer->isActive();
    };

    // The poll finds the programmer and says so, with no tick while the box is open.
    Tick();
    EXPECT_EQ(answerer.messages, std::vector<std::string>{"VEK Flash programmer ready."});
    EXPECT_EQ(savedXWhileOpen, 321);
    EXPECT_FALSE(timerRanWhileOpen);
    EXPECT_TRUE(timer->isActive());

    // The programmer vanishes: the poll ends the window, yet that tick's save was made.
    MoveTo(QPoint(300, 200));
    sim.UnplugAfterCalls(0);
    Tick();
    EXPECT_TRUE(window->HasEnded());
    EXPECT_EQ(SavedInt(KEY_SCREEN_X), 300);
    EXPECT_EQ(SavedInt(KEY_SCREEN_Y), 200);
}

TEST_F(Window, AWindowClosedWhileThePollsMessageIsOpenKeepsItsTimerStopped) {
    StartDetached();
    answerer.messages.clear();
    answerer.whileOpen = [&](QMessageBox&) { window->close(); };

    Tick();

    EXPECT_EQ(answerer.messages, std::vector<std::string>{"VEK Flash programmer ready."});
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(Find<QTimer>("pollTimer")->isActive());
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

TEST_F(Window, EscapeEndsThroughTheCancelPathAndNoCommandStartsAfterwards) {
    Start();
    window->show();
    sim.ClearLogs();

    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
    // The cancel path leaves the handle to the end of the process.
    EXPECT_TRUE(sim.CallLog().empty());

    for (const char* command :
         {"blankCheckAction", "eraseAction", "connectAction", "testCommunicationAction",
          "allowTargetPowerAction", "applyTargetPowerAction", "exitAction"}) {
        Find<QAction>(command)->trigger();
    }
    Tick();
    EXPECT_TRUE(answerer.messages.empty());
    EXPECT_TRUE(sim.CallLog().empty());
    EXPECT_EQ(SavedInt(KEY_SCREEN_X), -1);
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
