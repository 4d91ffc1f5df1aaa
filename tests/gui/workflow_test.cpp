// The main work through the window: opening a HEX file, programming, verifying and reading it
// back, the configuration fields with their editors, and the inputs held still while an
// operation runs.
#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QListWidget>
#include <QProgressBar>
#include <QRadioButton>
#include <QToolButton>
#include <filesystem>

#include "hex_data_window.h"
#include "pic_config_editor.h"
#include "sx_fuse_editor.h"
#include "sx_fusex_editor.h"
#include "vek_sim.h"
#include "window_fixture.h"

namespace vek::test {
namespace {

const std::string PIC_SAMPLE = VEK_EXAMPLES_DIR "/blink-16f84a.hex";

class Workflow : public WindowTest {
  protected:
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
    QStringList HexDataLines() {
        auto* hexData = window->findChild<HexDataWindow*>();
        return hexData == nullptr ? QStringList{"<no window>"} : hexData->Lines();
    }
    template <typename Editor>
    Editor* OpenEditor() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return window->findChild<Editor*>();
    }
    // A click into the field; the window manager activates the window first when an editor
    // is the active one.
    void ClickInto(const char* fieldName) {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QTest::mouseClick(Find<QLineEdit>(fieldName), Qt::LeftButton);
        // The activation may bring the focus late, and the focus queues the toggle.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
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
    EXPECT_FALSE(
        window->findChild<HexDataWindow*>()->frameGeometry().intersects(window->frameGeometry()));

    Press("programButton");
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 9), 0x0008);
    EXPECT_EQ(sim.ReadWord(VEKSIM_CONFIG, 7), 0x3FF1);
    EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, 2), 'K');
    Press("verifyButton");
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
}

TEST_F(Workflow, AFileThatCannotBeUsedIsReportedAndItsNameKept) {
    Start();
    const std::string missing =
        (std::filesystem::path(folder.path().toStdString()) / "missing.hex").string();
    OpenThroughDialog(missing);
    EXPECT_EQ(answerer.messages, std::vector<std::string>{"Error: HEX file could not be opened."});
    EXPECT_EQ(Text("hexFileField"), "");
    EXPECT_EQ(SavedText("VEKFlashfilenamepath"), missing);
    // Program finds the same file and the same error.
    Press("programButton");
    EXPECT_EQ(answerer.messages.back(), "Error: HEX file could not be opened.");
}

TEST_F(Workflow, WhileProgramRunsTheTargetTheFileAndTheWordsStayPut) {
    Start();
    OpenThroughDialog(PIC_SAMPLE);
    bool checked = false;
    QTimer::singleShot(0, [&] {
        checked = true;
        auto* deviceList = Find<QComboBox>("deviceList");
        EXPECT_FALSE(deviceList->isEnabled());
        EXPECT_FALSE(Find<QLineEdit>("hexFileField")->isEnabled());
        EXPECT_FALSE(Find<QAction>("openHexFileAction")->isEnabled());
        EXPECT_FALSE(Find<QPushButton>("fuseSetButton")->isEnabled());
        QTest::keyClick(deviceList, Qt::Key_End);
        Find<QAction>("openHexFileAction")->trigger();
        Find<QPushButton>("fuseSetButton")->click();
        ClickInto("fuseField");
    });
    sim.ClearLogs();
    Press("programButton");
    EXPECT_TRUE(checked);
    EXPECT_EQ(answerer.messages.back(), "Programming complete.");
    EXPECT_EQ(Find<QComboBox>("deviceList")->currentText(), "16F84A");
    EXPECT_EQ(Find<QPushButton>("fuseSetButton")->text(), "Set");
    EXPECT_EQ(OpenEditor<PicConfigEditor>(), nullptr);
    EXPECT_EQ(sim.ReadWord(VEKSIM_CONFIG, 7), 0x3FF1);
    EXPECT_TRUE(Find<QComboBox>("deviceList")->isEnabled());
    EXPECT_TRUE(Find<QPushButton>("fuseSetButton")->isEnabled());
}

TEST_F(Workflow, TheSetButtonAndTheFieldOpenAndCloseTheEditor) {
    Start();
    auto* setButton = Find<QPushButton>("fuseSetButton");
    auto* field = Find<QLineEdit>("fuseField");
    setButton->click();
    auto* editor = OpenEditor<PicConfigEditor>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->windowTitle(), "Configuration Window");
    EXPECT_EQ(setButton->text(), "X");
    EXPECT_TRUE(field->isReadOnly());
    // "---" from a first start: every bit but bit 1; a click writes the whole word at once.
    editor->findChild<QCheckBox*>("powerUpTimerBox")->click();
    EXPECT_EQ(field->text(), "3FF5");
    EXPECT_EQ(SavedText("VEKFlashmicrochipBits"), "3FF5");

    setButton->click();
    EXPECT_EQ(OpenEditor<PicConfigEditor>(), nullptr);
    EXPECT_EQ(setButton->text(), "Set");
    EXPECT_FALSE(field->isReadOnly());

    // A click into the field opens it too, and the focus moves on to Blank Check.
    ClickInto("fuseField");
    ASSERT_NE(OpenEditor<PicConfigEditor>(), nullptr);
    EXPECT_EQ(window->focusWidget(), static_cast<QWidget*>(Find<QToolButton>("blankCheckButton")));
    ClickInto("fuseField");
    EXPECT_EQ(OpenEditor<PicConfigEditor>(), nullptr);

    // Escape closes it as the person does: caption and field come back.
    setButton->click();
    QTest::keyClick(OpenEditor<PicConfigEditor>(), Qt::Key_Escape);
    EXPECT_EQ(OpenEditor<PicConfigEditor>(), nullptr);
    EXPECT_EQ(setButton->text(), "Set");
    EXPECT_FALSE(field->isReadOnly());
}

TEST_F(Workflow, SxEditorsAndTheLastConfigurationButton) {
    settings.WriteSettingInt(SETTINGS_SECTION, "VEKFlashProcSelection", 8);
    settings.WriteSettingText(SETTINGS_SECTION, "VEKFlashFuseBitsSave", "7F3");
    settings.WriteSettingText(SETTINGS_SECTION, "VEKFlashFuseBits", "4E9");
    Start();
    EXPECT_EQ(Text("fuseField"), "4E9");
    Find<QPushButton>("lastConfigButton")->click();
    EXPECT_EQ(Text("fuseField"), "7F3");
    auto* fuseEditor = OpenEditor<SxFuseEditor>();
    ASSERT_NE(fuseEditor, nullptr);
    EXPECT_TRUE(fuseEditor->findChild<QRadioButton*>("watchdog1")->isChecked());  // disabled
    // "R" leaves the caption alone; the Set button still closes what it opened.
    EXPECT_EQ(Find<QPushButton>("fuseSetButton")->text(), "Set");
    Find<QPushButton>("fuseSetButton")->click();
    EXPECT_EQ(OpenEditor<SxFuseEditor>(), nullptr);

    Find<QPushButton>("fuseXSetButton")->click();
    auto* fuseXEditor = OpenEditor<SxFuseXEditor>();
    ASSERT_NE(fuseXEditor, nullptr);
    EXPECT_EQ(Find<QPushButton>("fuseXSetButton")->text(), "X");
    fuseXEditor->findChild<QRadioButton*>("carryFlag0")->click();
    EXPECT_EQ(Text("fuseXField"), "FBD");
    EXPECT_EQ(SavedText("VEKFlashFusexBits"), "FBD");
    fuseXEditor->close();  // the close box
    EXPECT_EQ(Find<QPushButton>("fuseXSetButton")->text(), "Set");
    EXPECT_FALSE(Find<QLineEdit>("fuseXField")->isReadOnly());
}

TEST_F(Workflow, EditorsFollowAReadAndAFileOpened) {
    Start();
    sim.WriteWord(VEKSIM_CONFIG, 7, 0x3FF1);  // XT oscillator
    Find<QPushButton>("fuseSetButton")->click();
    auto* editor = OpenEditor<PicConfigEditor>();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->findChild<QRadioButton*>("oscillatorMode2")->isChecked());  // "---"
    sim.WriteWord(VEKSIM_CONFIG, 7, 0x3FF2);                                        // HS
    Press("readButton");
    EXPECT_EQ(Text("fuseField"), "3FF2");
    EXPECT_TRUE(editor->findChild<QRadioButton*>("oscillatorMode1")->isChecked());
    EXPECT_TRUE(editor->isEnabled());

    // Opening a file closes the editor; opened again, it shows the file's word.
    OpenThroughDialog(PIC_SAMPLE);
    EXPECT_EQ(OpenEditor<PicConfigEditor>(), nullptr);
    EXPECT_EQ(Find<QPushButton>("fuseSetButton")->text(), "Set");
    Find<QPushButton>("fuseSetButton")->click();
    EXPECT_TRUE(
        OpenEditor<PicConfigEditor>()->findChild<QRadioButton*>("oscillatorMode2")->isChecked());
}

}  // namespace
}  // namespace vek::test
