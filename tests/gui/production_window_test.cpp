// Production jobs on the window: a job opened pins the device, the file and the words until it
// is closed, and refuses a HEX file rebuilt since it was saved; the production window programs
// its chips one after another.
#include <filesystem>
#include <fstream>

#include "pic_config_editor.h"
#include "production_window.h"
#include "window_fixture.h"

namespace vek::test {
namespace {

class Jobs : public WindowTest {
  protected:
    // The sample in the test's folder, where the test may change it.
    std::string CopiedSample() {
        const std::string hex = InFolder("blink.hex");
        std::filesystem::copy_file(PIC_SAMPLE, hex);
        return hex;
    }
    void ChooseJob(const char* actionName, const std::string& path) {
        WithModal(actionName, [&](QDialog& dialog) {
            EXPECT_EQ(dialog.objectName(), "jobFileDialog");
            static_cast<QFileDialog&>(dialog).selectFile(QString::fromStdString(path));
            dialog.accept();
        });
    }
    void OpenSampleJob() {
        OpenThroughDialog(CopiedSample());
        ChooseJob("saveJobAction", InFolder("line.vekjob"));
        ChooseJob("openJobAction", InFolder("line.vekjob"));
    }
    // A control's text as the accessibility tree gives it, found below `root` by object name.
    static std::string Accessible(QWidget* root, const QString& objectName) {
        std::function<QAccessibleInterface*(QAccessibleInterface*)> find =
            [&](QAccessibleInterface* node) -> QAccessibleInterface* {
            if (node->object() != nullptr && node->object()->objectName() == objectName) {
                return node;
            }
            for (int i = 0; i < node->childCount(); ++i) {
                if (QAccessibleInterface* found = find(node->child(i))) {
                    return found;
                }
            }
            return nullptr;
        };
        QAccessibleInterface* control = find(QAccessible::queryAccessibleInterface(root));
        EXPECT_NE(control, nullptr) << objectName.toStdString();
        return control == nullptr ? "" : control->text(QAccessible::Name).toStdString();
    }
    // What a person can change, enabled or not: the Device list, the Hex File field, the
    // Fuse field, its Set button, File > Open Hex File and Setup > Enable Erase Before Program.
    std::vector<bool> Changeable() {
        std::vector<bool> enabled;
        for (const char* name : {"deviceList", "hexFileField", "fuseField", "fuseSetButton"}) {
            enabled.push_back(Find<QWidget>(name)->isEnabled());
        }
        for (const char* name : {"openHexFileAction", "eraseBeforeProgramAction"}) {
            enabled.push_back(Find<QAction>(name)->isEnabled());
        }
        return enabled;
    }
};

TEST_F(Jobs, AnOpenJobPinsTheWindowUntilItIsClosed) {
    Start();
    Trigger("saveJobAction");
    Trigger("productionModeAction");
    EXPECT_EQ(answerer.messages, (std::vector<std::string>{"Open a HEX file before saving a job.",
                                                           "Open a job before production mode."}));
    answerer.messages.clear();
    OpenThroughDialog(CopiedSample());
    Trigger("eraseBeforeProgramAction");  // off, as the job keeps it
    const std::string job = InFolder("line.vekjob");
    ChooseJob("saveJobAction", InFolder("line"));  // the extension is added
    ASSERT_TRUE(std::filesystem::exists(job));

    // Another device, no file and erase on: the job brings back its own.
    Find<QComboBox>("deviceList")->setCurrentIndex(4);
    Trigger("eraseBeforeProgramAction");
    ChooseJob("openJobAction", job);
    EXPECT_TRUE(answerer.messages.empty()) << answerer.messages.front();
    EXPECT_EQ(Find<QComboBox>("deviceList")->currentText(), "16F84A");
    EXPECT_EQ(Text("hexFileField"), "blink.hex");
    EXPECT_EQ(Text("fuseField"), "3FF1");
    EXPECT_FALSE(Find<QAction>("eraseBeforeProgramAction")->isChecked());
    EXPECT_EQ(Changeable(), std::vector<bool>(6, false));
    EXPECT_TRUE(Find<QAction>("closeJobAction")->isEnabled());

    // A click on the greyed Set button opens no editor; after Close Job it does.
    QTest::mouseClick(Find<QPushButton>("fuseSetButton"), Qt::LeftButton);
    EXPECT_EQ(Alive<PicConfigEditor>(), nullptr);
    // Program with the fields greyed: once its box is closed the focus is back on the button
    // the person clicked, and no editor has opened.
    QTest::mouseClick(Find<QToolButton>("programButton"), Qt::LeftButton);
    EXPECT_EQ(answerer.messages, std::vector<std::string>{"Programming complete."});
    EXPECT_EQ(window->focusWidget(), Find<QWidget>("programButton"));
    EXPECT_EQ(Alive<PicConfigEditor>(), nullptr);
    Trigger("closeJobAction");
    EXPECT_EQ(Changeable(), std::vector<bool>(6, true));
    EXPECT_FALSE(Find<QAction>("closeJobAction")->isEnabled());
    QTest::mouseClick(Find<QPushButton>("fuseSetButton"), Qt::LeftButton);
    EXPECT_NE(Alive<PicConfigEditor>(), nullptr);
}

TEST_F(Jobs, AHexFileRebuiltSinceTheJobIsRefused) {
    Start();
    const std::string hex = CopiedSample();
    OpenThroughDialog(hex);
    const std::string job = InFolder("line.vekjob");
    ChooseJob("saveJobAction", job);
    ChooseJob("openJobAction", job);
    std::ofstream(hex, std::ios::app | std::ios::binary) << "\n";  // the same bytes everywhere

    // Program refuses the open job's file; opening the job again, here as `vekflash JOB` does,
    // names both hashes.
    const int writes = Calls("FT_Write");
    QTest::mouseClick(Find<QToolButton>("programButton"), Qt::LeftButton);
    ASSERT_EQ(answerer.messages.size(), 1u);
    EXPECT_EQ(Calls("FT_Write"), writes);
    window->OpenCommandLineFile({"vekflash", QString::fromStdString(job)});
    ASSERT_EQ(answerer.messages.size(), 2u);
    EXPECT_EQ(answerer.messages[1],
              "Error: " + hex +
                  " has the SHA-256 "
                  "4f941a852a914b90e9558d3f42e84162c036286da10d9d32e2d8d01c757f290f, but the job " +
                  job +
                  " programs the one with "
                  "b8e1aee8394cfebef1c7f42add17ab40f732a461cf23bd32d9c5bfca529324c7.");
    // The job that was open stays open.
    EXPECT_EQ(Changeable(), std::vector<bool>(6, false));
}

TEST_F(Jobs, AJobThatNumbersItsChipsIsLeftToTheCommandLine) {
    Start();
    const std::string job = InFolder("numbered.vekjob");
    std::ofstream(job) << R"({"vekflash_job": 1, "device": "16F84A", "hex_file": "blink.hex",
        "hex_sha256": "b8e1aee8394cfebef1c7f42add17ab40f732a461cf23bd32d9c5bfca529324c7",
        "config": "3FF1", "erase_before_program": true, "verify": true,
        "allow_code_protection": false, "serial_at": "eeprom:0:4", "serial_overwrite": false,
        "serial_file": "sn.txt", "log": null})";
    CopiedSample();
    window->OpenCommandLineFile({"vekflash", QString::fromStdString(job)});
    ASSERT_TRUE(answerer.messages.empty()) << answerer.messages.front();

    const int writes = Calls("FT_Write");
    Trigger("productionModeAction");
    QTest::mouseClick(Find<QToolButton>("programButton"), Qt::LeftButton);
    const std::string refusal = "The job " + job +
                                " numbers its chips or logs them, which only the command line "
                                "does:\nvekflash-cli program --job " +
                                job + " --loop";
    EXPECT_EQ(answerer.messages, (std::vector<std::string>{refusal, refusal}));
    EXPECT_EQ(Calls("FT_Write"), writes);
}

TEST_F(Jobs, TheProductionWindowShowsEachChipsVerdictAndTheCounts) {
    qputenv("VEKSIM_SOCKET", "empty:1s,16F84A,empty:1s,16F84A:fail-verify,empty");
    const auto unscripted = qScopeGuard([] { qunsetenv("VEKSIM_SOCKET"); });
    sim.Reset();
    Start();
    OpenSampleJob();

    std::vector<std::string> shown;  // the state and the prompt, each time they change
    WithModal("productionModeAction", [&](QDialog& production) {
        const auto show = [&] {
            const std::string now = Accessible(&production, "stateLabel") + " | " +
                                    Accessible(&production, "promptLabel");
            if (shown.empty() || shown.back() != now) {
                shown.push_back(now);
            }
        };
        auto* startStop = production.findChild<QPushButton*>("startStopButton");
        // Each poll of the socket; once both chips are out the operator presses Stop, and in
        // the second run closes the window.
        bool secondRun = false;
        onPause = [&](int ms) {
            if (ms != 500) {
                return;
            }
            show();
            if (shown.back() != "Insert chip | " ||
                Accessible(&production, "totalLabel") != "Total: 2" || !startStop->isEnabled()) {
                return;
            }
            if (secondRun) {
                production.close();
            } else {
                QTest::mouseClick(startStop, Qt::LeftButton);
            }
        };
        EXPECT_EQ(Accessible(&production, "stateLabel"), "Press Start");
        EXPECT_EQ(Accessible(&production, "checksumValue"), "98B3");  // worked out by hand
        EXPECT_EQ(startStop->toolTip(),
                  "Program chip after chip; Stop ends once the chip in hand is done");
        QTest::mouseClick(startStop, Qt::LeftButton);
        show();
        EXPECT_EQ(Accessible(&production, "passedLabel"), "Passed: 1");
        EXPECT_EQ(Accessible(&production, "failedLabel"), "Failed: 1");
        EXPECT_EQ(startStop->text(), "Start");
        EXPECT_TRUE(production.isVisible());

        secondRun = true;
        QTest::mouseClick(startStop, Qt::LeftButton);
        EXPECT_FALSE(production.isVisible());
    });
    EXPECT_EQ(shown, (std::vector<std::string>{"Insert chip | ", "PASS | Remove chip",
                                               "Insert chip | ", "FAIL | Remove chip",
                                               "Insert chip | ", "Stopped | ", "Insert chip | "}));
    EXPECT_TRUE(answerer.messages.empty()) << answerer.messages.front();
}
TEST_F(Jobs, WithoutAProgrammerTheLoopEndsAtOnceInABox) {
    sim.SetAttached(false);
    Start();
    OpenSampleJob();
    answerer.messages.clear();
    WithModal("productionModeAction", [&](QDialog& production) {
        QTest::mouseClick(production.findChild<QPushButton*>("startStopButton"), Qt::LeftButton);
        EXPECT_EQ(Accessible(&production, "stateLabel"), "Stopped");
        EXPECT_EQ(answerer.messages.size(), 1u);
        production.close();
    });
}

}  // namespace
}  // namespace vek::test
