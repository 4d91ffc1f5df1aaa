// The window's wiring, on the simulated programmer: start-up, the Device list, the commands,
// position keeping, the message boxes and the ways the window ends.
#include "folder_changes.h"
#include "link/protocol.h"
#include "qt_reporter.h"
#include "vek_sim.h"
#include "window_fixture.h"

namespace vek::test {
namespace {

class Window : public WindowTest {
  protected:
    void ExpectLayout(bool sx) {
        EXPECT_EQ(Caption("fuseLabel"), sx ? "    Fuse" : "Config Bits");
        EXPECT_EQ(Caption("devWordLabel"), sx ? "Dev Word" : "     ID");
        EXPECT_EQ(Find<QLabel>("fuseXLabel")->isEnabled(), sx);
        EXPECT_EQ(Find<QLineEdit>("fuseXField")->isEnabled(), sx);
    }
};

TEST_F(Window, AStartShowsTheSavedSelectionInItsFamilyLayout) {
    struct Case {
        int savedRow, fastTransfers;  // -1: a first start
        const char *shown, *fuse, *fuseX;
        bool sx;
        int latencyCalls;
    };
    const std::vector<Case> cases = {
        {-1, -1, "16F84A", "---", "FFF", false, 1},
        {9, 0, "SX48", "7F3", "---", true, 0},
        {1, 1, "16F870", "---", "FFF", false, 1},
    };
    Save("VEKFlashFuseBits", "7F3");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        window.reset();
        sim.Reset();
        pauses.clear();
        if (c.savedRow >= 0) {
            Save("VEKFlashProcSelection", c.savedRow);
            Save("VEKFlashFastTransfers", c.fastTransfers);
        }
        Start();

        EXPECT_TRUE(answerer.messages.empty());
        EXPECT_EQ(window->windowTitle(), "VEK-Flash V1.4 ");
        auto* deviceList = Find<QComboBox>("deviceList");
        ASSERT_EQ(deviceList->count(), 10);
        EXPECT_EQ(deviceList->itemText(8), "SX28");
        EXPECT_EQ(deviceList->currentText(), c.shown);
        EXPECT_EQ(window->focusWidget(), deviceList);
        EXPECT_EQ(Text("fuseField"), c.fuse);
        EXPECT_EQ(Text("fuseXField"), c.fuseX);
        EXPECT_EQ(Text("devWordField"), "0000");
        EXPECT_EQ(Text("hexFileField"), "Click here to select a hex file");
        ExpectLayout(c.sx);
        EXPECT_EQ(window->geometry().topLeft(), QPoint(100, 100));
        EXPECT_TRUE(Find<QTimer>("pollTimer")->isActive());
        EXPECT_EQ(Find<QTimer>("pollTimer")->interval(), 200);
        // The start-up connection reached the programmer, through the injected pause.
        EXPECT_EQ(pauses, std::vector<int>{50});
        EXPECT_EQ(Calls("FT_SetLatencyTimer 2 -> 0"), c.latencyCalls);
    }
}

TEST_F(Window, TheMenusAndToolTipsFollowTheCommandTableAndThePowerCheckMarkTheProgrammer) {
    Start();
    const std::vector<std::pair<std::string, std::vector<std::string>>> expected = {
        {"&File",
         {"&Open Hex File...", "Save Read Data &As... (off)", "Open &Job...", "Save Job As...",
          "&Close Job (off)", "----", "&Exit"}},
        {"Se&tup",
         {"Connect to VEK Flash Programmer", "Setup USB Description String...",
          "Choose &Programmer...", "Enable Erase Before Program [x]", "Preserve Device EEPROM [ ]",
          "Verify After Program [ ]", "Program When File Changes [ ]", "Test Communication",
          "Allow Target Power From VEK Flash [ ]"}},
        {"Co&mmands",
         {"Blan&k Check", "E&rase", "Pro&gram", "&Verify", "Rea&d", "Production &Mode...",
          "Apply Target Power Now"}},
        {"Internet", {"Goto VEK Design", "Goto FTDI", "Download Drivers"}},
        {"About", {"&About VEK-FLASH"}},
    };
    std::vector<std::pair<std::string, std::vector<std::string>>> shown;
    for (const QAction* menu : Find<QMenuBar>("menuBar")->actions()) {
        shown.emplace_back(menu->text().toStdString(), MenuItems(menu->menu()));
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
    // Allow Target Power's check mark follows the programmer's.
    auto* allowPower = Find<QAction>("allowTargetPowerAction");
    for (const bool allowed : {true, false}) {
        allowPower->trigger();
        EXPECT_EQ(allowPower->isChecked(), allowed);
        EXPECT_EQ(sim.PowerState() & 1, allowed ? 1 : 0);
    }
}

TEST_F(Window, TheDeviceListRelabelsWhenItsOpenedListClosesHoweverItCloses) {
    enum class Act { KeyDown, KeyEnd, MessageOnTop, Click, Return, Escape };
    struct Row {
        Act act;
        int row;  // clicked or chosen with Return
        const char* shown;
        int saved;
        const char *fuse, *fuseX;
        bool sx;
    };
    const std::vector<Row> rows = {
        // Chosen by keyboard while closed: the selection's defaults only, neither saved nor
        // relabelled.
        {Act::KeyDown, 0, "16F870", -1, "3d3a", "0", false},
        {Act::KeyEnd, 0, "SX48", -1, "4E9", "440", false},
        // Each close-up runs after the selection change: its "---" defaults win.
        {Act::MessageOnTop, 0, "SX48", 9, "---", "---", true},
        {Act::Click, 8, "SX28", 8, "---", "---", true},
        {Act::Return, 1, "16F870", 1, "---", "0", false},
        // Closing the list on the row it had, or with Escape, is a close-up too.
        {Act::Click, 1, "16F870", 1, "---", "0", false},
        {Act::Escape, 0, "16F870", 1, "---", "0", false},
    };
    StartDetached();
    answerer.messages.clear();
    auto* deviceList = Find<QComboBox>("deviceList");
    QAbstractItemView* view = deviceList->view();
    for (const Row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.act));
        Save("VEKFlashProcSelection", -1);
        deviceList->setFocus();
        const QModelIndex index = deviceList->model()->index(r.row, 0);
        if (r.act == Act::KeyDown || r.act == Act::KeyEnd) {
            QTest::keyClick(deviceList, r.act == Act::KeyDown ? Qt::Key_Down : Qt::Key_End);
        } else {
            deviceList->showPopup();
            if (r.act == Act::MessageOnTop) {
                Tick();  // finds the programmer attached since the start and says so
            } else if (r.act == Act::Click) {
                view->scrollTo(index);
                QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                                  view->visualRect(index).center());
            } else if (r.act == Act::Return) {
                view->setCurrentIndex(index);
                QTest::keyClick(view, Qt::Key_Return);
            } else {
                QTest::keyClick(view, Qt::Key_Escape);
            }
            QCoreApplication::processEvents();
            EXPECT_EQ(window->focusWidget(), Find<QToolButton>("blankCheckButton"));
        }
        EXPECT_FALSE(view->isVisible());
        EXPECT_EQ(deviceList->currentText(), r.shown);
        EXPECT_EQ(SavedInt("VEKFlashProcSelection"), r.saved);
        EXPECT_EQ(Text("fuseField"), r.fuse);
        EXPECT_EQ(Text("fuseXField"), r.fuseX);
        ExpectLayout(r.sx);
    }
    EXPECT_EQ(answerer.messages, std::vector<std::string>{"VEK Flash programmer ready."});
}

TEST_F(Window, BlankCheckAndEraseRunFromTheirButtonsKeysAndMenuItemsOneAtATime) {
    Start();
    auto* blankCheck = Find<QToolButton>("blankCheckButton");
    sim.WriteWord(VEKSIM_PROGRAM, 0, 0x2805);

    QTest::mouseClick(blankCheck, Qt::LeftButton);
    // Return and Enter press a focused operation button, as in a dialog window.
    QTest::keyClick(Find<QToolButton>("eraseButton"), Qt::Key_Return);
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x3FFF);
    sim.ClearLogs();
    QTest::keyClick(blankCheck, Qt::Key_Enter, Qt::KeypadModifier);
    const std::vector<std::uint8_t> oneBlankCheck = sim.HostBytes();
    sim.WriteWord(VEKSIM_PROGRAM, 0, 0x2805);
    Trigger("blankCheckAction");
    Trigger("eraseAction");
    EXPECT_EQ(answerer.messages,
              (std::vector<std::string>{"Device is not blank", "Device is blank", "Device is blank",
                                        "Device is not blank", "Device is blank"}));
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x3FFF);

    // A second operation while one runs does nothing.
    sim.ClearLogs();
    answerer.messages.clear();
    answerer.whileOpen = [&](QMessageBox&) {
        Press("blankCheckButton");
        Press("eraseButton");
    };
    Press("blankCheckButton");
    EXPECT_EQ(answerer.messages, std::vector<std::string>{"Device is blank"});
    EXPECT_EQ(sim.HostBytes(), oneBlankCheck);
}

// The poll finds a programmer plugged in and says so once; the connection label follows it.
TEST_F(Window, EveryTickSavesTheMovedPositionBeforeItsPollAndAnIdleOneLeavesTheFileAlone) {
    const std::string absent = "Error: Unable to detect presence of VEK Flash programmer.";
    StartDetached();
    EXPECT_EQ(answerer.messages, std::vector<std::string>{absent});
    EXPECT_EQ(Caption("connectionLabel"), "No programmer");
    MoveTo({321, 234});
    auto* timer = Find<QTimer>("pollTimer");
    QPoint savedWhileOpen;
    bool timerRanWhileOpen = true;
    answerer.messages.clear();
    answerer.whileOpen = [&](QMessageBox&) {
        savedWhileOpen = SavedPosition();
        timerRanWhileOpen = timer->isActive();
    };
    Tick();  // finds the programmer and says so, with no tick while the box is open
    EXPECT_EQ(answerer.messages, std::vector<std::string>{"VEK Flash programmer ready."});
    EXPECT_EQ(Caption("connectionLabel"), "Programmer connected");
    EXPECT_EQ(savedWhileOpen, QPoint(321, 234));
    EXPECT_FALSE(timerRanWhileOpen);
    EXPECT_TRUE(timer->isActive());
    Save("VEKFlashScreenX", 5);
    Tick();
    EXPECT_EQ(SavedInt("VEKFlashScreenX"), 321);

    FolderChanges changes(settingsPath.parent_path());
    ASSERT_TRUE(changes.Watching());
    for (int tick = 0; tick < 5; ++tick) {
        Tick();
    }
    EXPECT_EQ(changes.Take(), 0);
    MoveTo({300, 234});
    Tick();
    EXPECT_GT(changes.Take(), 0);
    EXPECT_EQ(SavedInt("VEKFlashScreenX"), 300);
    // Only the commands speak: the ticks since then were silent, and Connect reports the unplug.
    EXPECT_EQ(Caption("connectionLabel"), "Programmer connected");
    sim.SetAttached(false);
    Trigger("connectAction");
    EXPECT_EQ(Caption("connectionLabel"), "No programmer");
    EXPECT_EQ(answerer.messages, (std::vector<std::string>{"VEK Flash programmer ready.", absent}));

    // A window closed while the poll's message is open keeps its timer stopped.
    answerer.whileOpen = nullptr;  // the start-up's own message needs no answer of ours
    StartDetached();
    answerer.whileOpen = [&](QMessageBox&) { window->close(); };
    Tick();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(Find<QTimer>("pollTimer")->isActive());
}

TEST_F(Window, ExitEndsThroughOkEscapeThroughCancelAndNoCommandStartsAfterwards) {
    // Exit first: the cancel path leaves the handle open to the end of the process.
    for (const bool exit : {true, false}) {
        Start();
        sim.ClearLogs();
        if (exit) {
            Trigger("exitAction");
        } else {
            QTest::keyClick(window.get(), Qt::Key_Escape);
        }
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(window->result(), exit ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ(Calls("FT_Close"), exit ? 2 : 0);

        sim.ClearLogs();
        for (const char* command :
             {"blankCheckAction", "eraseAction", "connectAction", "testCommunicationAction",
              "allowTargetPowerAction", "applyTargetPowerAction", "exitAction"}) {
            Trigger(command);
        }
        Tick();
        EXPECT_TRUE(answerer.messages.empty());
        EXPECT_TRUE(sim.CallLog().empty());
        EXPECT_EQ(SavedInt("VEKFlashScreenX"), -1);
    }
}

TEST_F(Window, AnEndAskedForDuringACommandWaitsForItsReturn) {
    // The close box during Blank Check's message, or the programmer vanishing during Test
    // Communication's, so that the next tick's presence check asks the window to end.
    for (const bool fatal : {false, true}) {
        answerer.whileOpen = nullptr;
        sim.Reset();  // the cancel path left the handle open
        Start();
        bool visibleAfterRequest = false;
        answerer.whileOpen = [&](QMessageBox&) {
            if (fatal) {
                sim.UnplugAfterCalls(0);
                Tick();
            } else {
                window->close();
            }
            visibleAfterRequest = window->isVisible();
        };
        Trigger(fatal ? "testCommunicationAction" : "blankCheckAction");
        EXPECT_TRUE(visibleAfterRequest);
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(window->result(), fatal ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_FALSE(Find<QTimer>("pollTimer")->isActive());
    }
    EXPECT_EQ(answerer.messages,
              (std::vector<std::string>{"Device is blank", "VEK Flash programmer ready."}));
}

TEST_F(Window, AFatalFailureDuringStartUpEndsTheWindowBeforeItShows) {
    sim.FaultReply(CMD_ALLOW_POWER, 0, 0, VEKSIM_REPLACE, 0x00);
    Start();
    EXPECT_TRUE(window->HasEnded());
    EXPECT_FALSE(Find<QTimer>("pollTimer")->isActive());
}

TEST_F(Window, ASavedPositionOffEveryScreenStartsAtTheDefault) {
    // The offscreen platform's one screen.
    ASSERT_EQ(QGuiApplication::screens().size(), 1);
    ASSERT_EQ(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 800, 800));
    const std::vector<std::pair<QPoint, QPoint>> savedToShown = {
        {{321, 234}, {321, 234}},   {{790, 790}, {790, 790}},  // a corner still on the screen
        {{-150, -20}, {-150, -20}},                            // hanging off the top left
        {{800, 100}, {100, 100}},                              // just right of the screen
        {{2500, 1400}, {100, 100}},                            // on a monitor unplugged since
        {{-3000, 50}, {100, 100}},
    };
    for (const auto& [saved, shown] : savedToShown) {
        Save("VEKFlashScreenX", saved.x());
        Save("VEKFlashScreenY", saved.y());
        Start();
        Tick();
        EXPECT_EQ(window->geometry().topLeft(), shown) << saved.x() << "," << saved.y();
        EXPECT_EQ(SavedPosition(), shown);
    }
}

TEST_F(Window, TabGoesFromTopLeftToBottomRight) {
    Start();
    std::vector<std::string> order;
    QWidget* first = Find<QWidget>("blankCheckButton");
    QWidget* widget = first;
    do {
        if (widget->window() == window.get() && (widget->focusPolicy() & Qt::TabFocus)) {
            order.push_back(widget->objectName().toStdString());
        }
        widget = widget->nextInFocusChain();
    } while (widget != first);
    EXPECT_EQ(order, (std::vector<std::string>{
                         "blankCheckButton", "eraseButton", "programButton", "verifyButton",
                         "readButton", "deviceList", "hexFileField", "fuseField", "fuseSetButton",
                         "fuseXField", "fuseXSetButton", "lastConfigButton", "devWordField"}));
}

// The saved choice of USB driver, and the driver in use named where a person looks for it.
TEST_F(Window, TheSavedDriverChoiceDecidesTheDriverThatTheConnectionLabelNames) {
    const struct {
        const char* saved;
        QString tooltip;
        std::vector<std::string> messages;
    } cases[] = {
        {nullptr, "USB driver: FTDI D2XX", {}},
        {"d2xx", "USB driver: FTDI D2XX", {}},
        {"AUTO", "USB driver: FTDI D2XX", {}},
        {"serial", "USB driver: FTDI D2XX", {}},
#if defined(VEK_HAVE_LIBFTDI)  // built where the libftdi1 header is, never on Windows
        // No USB bus here: libftdi1 finds no board.
        {"libftdi",
         "USB driver: libftdi1",
         {"Error: Unable to detect presence of VEK Flash programmer."}},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.saved == nullptr ? "absent" : c.saved);
        window.reset();  // it holds the board open
        sim.Reset();
        answerer.messages.clear();
        if (c.saved != nullptr) {
            Save("VEKFlashUsbDriver", c.saved);
        }
        Start();
        EXPECT_EQ(Find<QLabel>("connectionLabel")->toolTip(), c.tooltip);
        EXPECT_EQ(answerer.messages, c.messages);
    }
}

// The boxes themselves, from the core's side of the window.
TEST(MessageBoxes, AreTitledWideCopyableAndKeepTheWaitCursorAside) {
    QtReporter ui{nullptr, {}, [](int) {}};
    MessageBoxAnswerer answerer;
    const auto waitCursorShows = [] {
        const QCursor* cursor = QApplication::overrideCursor();
        return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
    };
    ui.BeginWaitCursor();
    ui.BeginWaitCursor();
    ui.EndWaitCursor();
    EXPECT_TRUE(waitCursorShows());

    int width = 0;
    bool waitCursorDuringMessage = true;
    QGuiApplication::clipboard()->clear();
    answerer.whileOpen = [&](QMessageBox& box) {
        EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
        width = box.width();
        waitCursorDuringMessage = waitCursorShows();
        QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier);
    };
    ui.ShowMessage("Device is blank", MessageIcon::None);
    // Title and the one button show in the copy; however short the message, the title bar has room
    // for "VEK Flash" and its buttons.
    EXPECT_GE(width, QFontMetrics(QApplication::font()).horizontalAdvance("VEK Flash") + 150);
    EXPECT_FALSE(waitCursorDuringMessage);
    EXPECT_TRUE(waitCursorShows());
    ui.EndWaitCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    ui.ShowMessage("Error: No programmer detected. Attach programmer to \nUSB cable",
                   MessageIcon::None);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              "---------------------------\n"
              "VEK Flash\n"
              "---------------------------\n"
              "Error: No programmer detected. Attach programmer to \nUSB cable\n"
              "---------------------------\n"
              "OK   \n"
              "---------------------------\n");
}

}  // namespace
}  // namespace vek::test
