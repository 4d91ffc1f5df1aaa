// The main work through the window: opening a HEX file, programming, verifying and reading it
// back, the configuration fields with their editors, and the inputs held still while an
// operation runs.

#include <algorithm>
#include <fstream>

#include "hex_data_window.h"
#include "pic_config_editor.h"
#include "sx_fuse_editor.h"
#include "sx_fusex_editor.h"
#include "vek_sim.h"
#include "window_fixture.h"

namespace vek::test {
namespace {

class Workflow : public WindowTest {
  protected:
    QStringList HexDataLines() {
        auto* hexData = window->findChild<HexDataWindow*>();
        return hexData == nullptr ? QStringList{"<no window>"} : hexData->Lines();
    }
    // The window manager activates the window first when another window is the active one.
    void Activate() {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        // The activation may bring the focus late, and a focus may queue a toggle.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    // A click on the control; a command it starts has ended when this returns.
    void ClickOn(const char* name) {
        Activate();
        QTest::mouseClick(Find<QWidget>(name), Qt::LeftButton);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    // The Set button's caption and whether its field is read-only go together.
    void ExpectEditorShown(const char* setButton, const char* field, bool shown) {
        EXPECT_EQ(Caption(setButton), shown ? "X" : "Set") << setButton;
        EXPECT_EQ(Find<QLineEdit>(field)->isReadOnly(), shown) << field;
    }
};

TEST_F(Workflow, OpenProgramVerifyAndReadASampleFile) {
    Start();
    MoveTo({0, 100});  // no room to its left, room to its right on the 800-pixel test screen
    OpenThroughDialog(PIC_SAMPLE);
    EXPECT_EQ(Text("hexFileField"), "blink-16f84a.hex");
    EXPECT_EQ(Text("fuseField"), "3FF1");
    EXPECT_EQ(SavedText("VEKFlashmicrochipBits"), "3FF1");
    EXPECT_EQ(SavedText("VEKFlashfilenamepath"), PIC_SAMPLE);
    EXPECT_EQ(HexDataLines(),
              (QStringList{"Program data from file:", "0000:   1683   0186   1283   3001",
                           "0004:   0686   2007   2803   0B8C", "0008:   2807   0008   3FFF   3FFF",
                           "EEPROM Data:", "2100:   56   45   4B   xx   (0..3)", "Comment:",
                           "; blink-16f84a.hex: toggles RB0 with a short delay loop (PIC16F84A, "
                           "XT oscillator)"}));
    // Beside the main window, never over it: with no room to its left, on its right.
    EXPECT_FALSE(Alive<HexDataWindow>()->frameGeometry().intersects(window->frameGeometry()));
    // Its lines are copied as selected; Enter neither closes it nor does anything else, Escape
    // closes it for good, and the next Read brings it back.
    auto* list = Find<QListWidget>("hexDataList");
    QApplication::clipboard()->clear();
    list->item(1)->setSelected(true);
    list->item(3)->setSelected(true);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
              "0000:   1683   0186   1283   3001\n0008:   2807   0008   3FFF   3FFF\n");
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(list->selectedItems().size(), list->count());
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_NE(Alive<HexDataWindow>(), nullptr);
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_EQ(Alive<HexDataWindow>(), nullptr);

    // While Program runs, the target, the file and the words stay put.
    bool checked = false;
    QTimer::singleShot(0, [&] {
        checked = true;
        for (const char* input : {"deviceList", "hexFileField", "fuseSetButton", "blankCheckButton",
                                  "eraseButton", "programButton", "verifyButton", "readButton"}) {
            EXPECT_FALSE(Find<QWidget>(input)->isEnabled()) << input;
        }
        for (const char* item : {"openHexFileAction", "blankCheckAction", "eraseAction",
                                 "programAction", "verifyAction", "readAction"}) {
            EXPECT_FALSE(Find<QAction>(item)->isEnabled()) << item;
        }
        QTest::keyClick(Find<QComboBox>("deviceList"), Qt::Key_End);
        Trigger("openHexFileAction");
        Press("fuseSetButton");
        ClickOn("fuseField");
    });
    Press("programButton");
    EXPECT_TRUE(checked);
    EXPECT_EQ(Find<QComboBox>("deviceList")->currentText(), "16F84A");
    EXPECT_EQ(Caption("fuseSetButton"), "Set");
    EXPECT_EQ(Alive<PicConfigEditor>(), nullptr);
    EXPECT_TRUE(Find<QComboBox>("deviceList")->isEnabled());
    EXPECT_TRUE(Find<QPushButton>("fuseSetButton")->isEnabled());
    EXPECT_TRUE(Find<QWidget>("programButton")->isEnabled());
    EXPECT_TRUE(Find<QAction>("readAction")->isEnabled());
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 9), 0x0008);
    EXPECT_EQ(sim.ReadWord(VEKSIM_CONFIG, 7), 0x3FF1);
    EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, 2), 'K');
    Press("verifyButton");
    EXPECT_EQ(Alive<HexDataWindow>(), nullptr);  // Verify leaves the listing alone
    Press("readButton");
    EXPECT_EQ(answerer.messages,
              (std::vector<std::string>{"Programming complete.", "Verify passed"}));
    EXPECT_EQ(Text("fuseField"), "3FF1");
    EXPECT_EQ(Text("devWordField"), "560");
    const QStringList lines = HexDataLines();
    ASSERT_EQ(lines.size(), 1 + 256 + 1 + 16);
    EXPECT_EQ(lines[0], "Program data from microcontroller:");
    EXPECT_EQ(lines[1], "0000:   1683   0186   1283   3001");
    EXPECT_EQ(lines[257], "EEPROM Data:");
    EXPECT_EQ(lines[258], "2100:    56    45    4B    FF   (0..3)");
    EXPECT_EQ(Find<QProgressBar>("progressBar")->value(), 96);
    // An operation that moves no progress does not show the last one's.
    Press("blankCheckButton");
    EXPECT_EQ(Find<QProgressBar>("progressBar")->value(), 0);
}

TEST_F(Workflow, AFileThatCannotBeUsedIsReportedAndItsNameKept) {
    Start();
    const std::string missing = InFolder("missing.hex");
    OpenThroughDialog(missing);
    EXPECT_EQ(answerer.messages, std::vector<std::string>{"Error: HEX file could not be opened."});
    EXPECT_EQ(Text("hexFileField"), "");
    EXPECT_EQ(SavedText("VEKFlashfilenamepath"), missing);
    // Program finds the same file and the same error.
    Press("programButton");
    EXPECT_EQ(answerer.messages,
              std::vector<std::string>(2, "Error: HEX file could not be opened."));

    // A file that cannot be used takes the listing of the file before with its name.
    OpenThroughDialog(PIC_SAMPLE);
    ASSERT_GT(HexDataLines().size(), 1);
    const std::string endOnly = InFolder("end only.hex");
    std::ofstream(endOnly) << ":00000001FF\n";
    answerer.messages.clear();
    OpenThroughDialog(endOnly);
    EXPECT_EQ(HexDataLines(), QStringList{});
    // Verify says the same and never passes, although the chip is as blank as the file.
    Press("verifyButton");
    EXPECT_EQ(answerer.messages,
              std::vector<std::string>(2, "The file end only.hex holds no HEX data."));
}

// The pause after the wrong-chip warning blocks the window but keeps it painting: what is
// not input is handled meanwhile, and no command starts. The ID read shows before the warning.
TEST_F(Workflow, ThePauseAfterTheWrongChipWarningKeepsTheWindowPainting) {
    Start();
    sim.SetDeviceId(0x7A0);  // no chip of the table: no offer follows the warning
    pauses.clear();
    int slices = 0;
    int handledInPause = 0;
    onPause = [&](int) {
        if (++slices == 1) {
            QTimer::singleShot(0, [&] { ++handledInPause; });
            Press("eraseButton");
        }
    };
    QString idDuringWarning;
    answerer.whileOpen = [&](QMessageBox&) { idDuringWarning = Text("devWordField"); };
    Press("readButton");
    onPause = nullptr;
    EXPECT_EQ(idDuringWarning, "7A0");  // the warning's ID shows in the field meanwhile
    EXPECT_EQ(handledInPause, 1);
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 50), 80);  // 4 s in slices
    ASSERT_EQ(answerer.messages.size(), 1u);
    EXPECT_TRUE(answerer.messages[0].starts_with("Warning: The processor selected (16F84A)"))
        << answerer.messages[0];
}

// 3F72 protects all of a 16F84A's program memory: Program asks first, No the default.
TEST_F(Workflow, ProgramAsksBeforeItTurnsOnCodeProtection) {
    std::ofstream(InFolder("protecting.hex")) << ":020000000528D1\n:02400E00723FFF\n";
    Start();
    OpenThroughDialog(InFolder("protecting.hex"));
    answerer.messages.clear();
    bool asked = false;
    answerer.whileOpen = [&](QMessageBox& box) {
        asked = true;
        EXPECT_EQ(box.standardButtons(), QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::No));
    };
    Press("programButton");
    EXPECT_TRUE(asked);
    EXPECT_EQ(answerer.messages.size(), 1u);
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x3FFF);

    answerer.whileOpen = nullptr;
    answerer.questionAnswer = QMessageBox::Yes;
    Press("programButton");
    ASSERT_EQ(answerer.messages.size(), 3u);
    EXPECT_EQ(answerer.messages[1], answerer.messages[0]);  // asked again
    EXPECT_EQ(answerer.messages[2], "Programming complete.");
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x2805);
}

TEST_F(Workflow, TheSetButtonAndTheFieldOpenAndCloseTheEditorWhichFollowsAReadAndAFile) {
    Start();
    Press("fuseSetButton");
    auto* editor = Alive<PicConfigEditor>();
    ASSERT_NE(editor, nullptr);
    // "---" from a first start: every bit but bit 1; a click writes the whole word at once.
    editor->findChild<QCheckBox*>("powerUpTimerBox")->click();
    EXPECT_EQ(Text("fuseField"), "3FF5");
    EXPECT_EQ(SavedText("VEKFlashmicrochipBits"), "3FF5");
    // A Read shows the chip's word in the open editor.
    sim.WriteWord(VEKSIM_CONFIG, 7, 0x3FF2);  // HS
    Press("readButton");
    EXPECT_EQ(Text("fuseField"), "3FF2");
    EXPECT_TRUE(editor->findChild<QRadioButton*>("oscillatorMode1")->isChecked());
    EXPECT_TRUE(editor->isEnabled());
    Press("fuseSetButton");

    // A click into the field opens it too, and the focus moves on to Blank Check.
    ClickOn("fuseField");
    ASSERT_NE(Alive<PicConfigEditor>(), nullptr);
    EXPECT_EQ(window->focusWidget(), Find<QWidget>("blankCheckButton"));
    ClickOn("fuseField");
    EXPECT_EQ(Alive<PicConfigEditor>(), nullptr);

    // Opened again after a file closed it, it shows the file's word. Escape closes it as the
    // person does: caption and field come back.
    OpenThroughDialog(PIC_SAMPLE);
    Press("fuseSetButton");
    EXPECT_TRUE(Alive<PicConfigEditor>()->findChild<QRadioButton*>("oscillatorMode2")->isChecked());
    QTest::keyClick(Alive<PicConfigEditor>(), Qt::Key_Escape);
    EXPECT_EQ(Alive<PicConfigEditor>(), nullptr);
    ExpectEditorShown("fuseSetButton", "fuseField", false);

    // With no target selected, Set says so and opens nothing.
    Find<QComboBox>("deviceList")->setCurrentIndex(-1);
    Press("fuseSetButton");
    EXPECT_EQ(answerer.messages,
              std::vector<std::string>{"First select a device to be programmed."});
    EXPECT_EQ(Alive<PicConfigEditor>(), nullptr);
    EXPECT_EQ(Caption("fuseSetButton"), "X");
}

// Only a click or Tab into a field opens its editor: an operation greys the buttons, its result
// box closes and the window is activated again, and none of that may open or close one.
TEST_F(Workflow, OnlyTheFocusThePersonGivesOpensAnEditor) {
    Save("VEKFlashProcSelection", 7);
    Start();
    OpenThroughDialog(VEK_EXAMPLES_DIR "/counter-16f877.hex");
    const auto expectSetOpensAndCloses = [&] {
        EXPECT_EQ(Alive<PicConfigEditor>(), nullptr);
        ExpectEditorShown("fuseSetButton", "fuseField", false);
        ClickOn("fuseSetButton");
        EXPECT_NE(Alive<PicConfigEditor>(), nullptr);
        ExpectEditorShown("fuseSetButton", "fuseField", true);
        ClickOn("fuseSetButton");
        EXPECT_EQ(Alive<PicConfigEditor>(), nullptr);
        ExpectEditorShown("fuseSetButton", "fuseField", false);
    };
    for (const char* operation :
         {"blankCheckButton", "eraseButton", "programButton", "verifyButton", "readButton"}) {
        SCOPED_TRACE(operation);
        const std::size_t shown = answerer.messages.size();
        ClickOn(operation);
        EXPECT_GT(answerer.messages.size(), shown);
        // The focus is back where the click put it, so that Enter runs the operation again.
        EXPECT_EQ(window->focusWidget(), Find<QWidget>(operation));
        expectSetOpensAndCloses();
    }
    // The Hex Data window of the Read took the activation; the main window gets it back, and
    // with it the focus, even one that was left in a field meanwhile.
    ASSERT_NE(Alive<HexDataWindow>(), nullptr);
    Alive<HexDataWindow>()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Alive<HexDataWindow>()));
    Find<QLineEdit>("fuseField")->setFocus();
    Activate();
    EXPECT_EQ(window->focusWidget(), Find<QWidget>("blankCheckButton"));
    expectSetOpensAndCloses();
    // Backtab from the Set button into the Config Bits field is the person's and opens it.
    Find<QWidget>("fuseSetButton")->setFocus();
    QTest::keyClick(window.get(), Qt::Key_Backtab);
    QCoreApplication::processEvents();
    EXPECT_NE(Alive<PicConfigEditor>(), nullptr);
}

TEST_F(Workflow, SxEditorsAndTheLastConfigurationButton) {
    Save("VEKFlashProcSelection", 8);
    Save("VEKFlashFuseBitsSave", "7F3");
    Save("VEKFlashFuseBits", "4E9");
    Start();
    EXPECT_EQ(Text("fuseField"), "4E9");
    Press("lastConfigButton");
    EXPECT_EQ(Text("fuseField"), "7F3");
    auto* fuseEditor = Alive<SxFuseEditor>();
    ASSERT_NE(fuseEditor, nullptr);
    EXPECT_TRUE(fuseEditor->findChild<QRadioButton*>("watchdog1")->isChecked());  // disabled
    // "R" leaves the caption alone; the Set button still closes what it opened.
    EXPECT_EQ(Caption("fuseSetButton"), "Set");
    Press("fuseSetButton");
    EXPECT_EQ(Alive<SxFuseEditor>(), nullptr);

    Press("fuseXSetButton");
    auto* fuseXEditor = Alive<SxFuseXEditor>();
    ASSERT_NE(fuseXEditor, nullptr);
    ExpectEditorShown("fuseXSetButton", "fuseXField", true);
    fuseXEditor->findChild<QRadioButton*>("carryFlag0")->click();
    EXPECT_EQ(Text("fuseXField"), "FBD");
    EXPECT_EQ(SavedText("VEKFlashFusexBits"), "FBD");
    fuseXEditor->close();  // the close box
    ExpectEditorShown("fuseXSetButton", "fuseXField", false);
}

TEST_F(Workflow, EveryWayTheWindowClosesTheEditorsLeavesThemClosed) {
    const std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"a change of target",
         [&] { QTest::keyClick(Find<QComboBox>("deviceList"), Qt::Key_Down); }},
        {"a HEX file opened", [&] { OpenThroughDialog(PIC_SAMPLE); }},
        {"exit", [&] { Trigger("exitAction"); }},
    };
    for (const auto& [way, close] : ways) {
        SCOPED_TRACE(way);
        Save("VEKFlashProcSelection", 8);
        Start();
        Press("fuseSetButton");
        Press("fuseXSetButton");
        ASSERT_NE(Alive<SxFuseEditor>(), nullptr);
        ASSERT_NE(Alive<SxFuseXEditor>(), nullptr);
        close();
        EXPECT_EQ(Alive<SxFuseEditor>(), nullptr);
        EXPECT_EQ(Alive<SxFuseXEditor>(), nullptr);
        ExpectEditorShown("fuseSetButton", "fuseField", false);
        EXPECT_EQ(Caption("fuseXSetButton"), "Set");
    }
}

}  // namespace
}  // namespace vek::test
