// Production jobs on the window: a job opened pins the device, the file and the words until it
// is closed, and refuses a HEX file rebuilt since it was saved; the production window programs
// its chips one after another.
#include <filesystem>
#include <fstream>
#include <sstream>

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
    // A job numbering its chips in the file's ID locations from sn.txt, which holds 41, and logging
    // them in line.csv, opened as `vekflash JOB` opens it.
    void OpenNumberedJob(const std::string& config = "3FF1") {
        const std::string job = InFolder("numbered.vekjob");
        std::ofstream(job) << R"({"vekflash_job": 1, "device": "16F84A", "hex_file": "blink.hex",
            "hex_sha256": "b8e1aee8394cfebef1c7f42add17ab40f732a461cf23bd32d9c5bfca529324c7",
            "config": ")" << config
                           << R"(", "erase_before_program": true, "verify": false,
            "allow_code_protection": false, "serial_at": "id", "serial_overwrite": true,
            "serial_file": "sn.txt", "log": "line.csv"})";
        std::ofstream(InFolder("sn.txt"), std::ios::binary) << "41\n";
        CopiedSample();
        window->OpenCommandLineFile({"vekflash", QString::fromStdString(job)});
        ASSERT_TRUE(answerer.messages.empty()) << answerer.messages.front();
    }
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // The log's device, device_word, serial_number, outcome and exit_status, row by row.
    std::vector<std::string> LogRows() {
        std::vector<std::string> rows;
        std::istringstream lines(ReadFile(InFolder("line.csv")));
        for (std::string line; std::getline(lines, line);) {
            std::vector<std::string> fields(1);
            for (const char c : line) {
                if (c == ',') {
                    fields.emplace_back();
                } else {
                    fields.back() += c;
                }
            }
            EXPECT_EQ(fields.size(), 11u) << line;
            fields.resize(11);
            rows.push_back(fields[1] + "," + fields[2] + "," + fields[3] + "," + fields[6] + "," +
                           fields[7] + "," + fields[8]);
        }
        return rows;
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

// Chip after chip, numbered in the ID locations from a counter file and logged: what the
// window shows, what each chip holds, the counter and the log's rows, which count on reopening.
TEST_F(Jobs, TheProductionWindowNumbersAndLogsEachChip) {
    qputenv("VEKSIM_SOCKET", "empty:1s,16F84A,empty:1s,16F84A:fail-verify,empty");
    const auto unscripted = qScopeGuard([] { qunsetenv("VEKSIM_SOCKET"); });
    sim.Reset();
    Start();
    OpenNumberedJob();

    std::vector<std::string> shown;  // the verdict, the last serial number and the chip's ID
    WithModal("productionModeAction", [&](QDialog& production) {
        EXPECT_EQ(Accessible(&production, "serialLabel"), "Last serial number: none");
        auto* startStop = production.findChild<QPushButton*>("startStopButton");
        onPause = [&](int ms) {
            const std::string state = Accessible(&production, "stateLabel");
            if (ms == 500 && (state == "PASS" || state == "FAIL") &&
                Accessible(&production, "promptLabel") == "Remove chip" &&
                (shown.empty() || !shown.back().starts_with(state))) {
                std::string id;
                for (int word = 0; word < 4; ++word) {
                    id += std::to_string(sim.ReadWord(VEKSIM_CONFIG, word) & 0xF) + " ";
                }
                shown.push_back(state + " | " + Accessible(&production, "serialLabel") + " | " +
                                id);
            }
            if (ms == 500 && state == "Insert chip" &&
                Accessible(&production, "totalLabel") == "Total: 2") {
                production.close();
            }
        };
        QTest::mouseClick(startStop, Qt::LeftButton);
        production.close();  // when the loop ended before both chips
    });
    onPause = nullptr;
    EXPECT_EQ(shown, (std::vector<std::string>{"PASS | Last serial number: 41 | 0 0 2 9 ",
                                               "FAIL | Last serial number: 42 | 0 0 2 10 "}));
    EXPECT_TRUE(answerer.messages.empty()) << answerer.messages.front();
    // The failed chip does not use its number up.
    EXPECT_EQ(ReadFile(InFolder("sn.txt")), "42\n");
    EXPECT_EQ(LogRows(),
              (std::vector<std::string>{
                  "board_serial,device,device_word,serial_number,outcome,exit_status",
                  "VF000001,16F84A,,41,started,", "VF000001,16F84A,560,41,success,0",
                  "VF000001,16F84A,,42,started,", "VF000001,16F84A,560,42,difference,1"}));

    // Opened again, the window counts the day's chips of the job from the log.
    WithModal("productionModeAction", [&](QDialog& production) {
        EXPECT_EQ(Accessible(&production, "passedLabel"), "Passed: 1");
        EXPECT_EQ(Accessible(&production, "failedLabel"), "Failed: 1");
        production.close();
    });
}

// Program numbers and logs a job's chip as production mode does; a counter that cannot be
// written stops both before the chip is touched.
TEST_F(Jobs, AJobsCounterIsUsedByProgramAndRefusedBeforeTheChipWhenReadOnly) {
    Start();
    OpenNumberedJob();
    const std::string counter = InFolder("sn.txt");
    std::filesystem::permissions(counter, std::filesystem::perms::owner_read);
    const std::string refusal =
        "Error: the serial number file " + counter + " could not be written: it is read-only.";
    QTest::mouseClick(Find<QToolButton>("programButton"), Qt::LeftButton);
    WithModal("productionModeAction", [&](QDialog& production) {
        QTest::mouseClick(production.findChild<QPushButton*>("startStopButton"), Qt::LeftButton);
        EXPECT_EQ(Accessible(&production, "stateLabel"), "Stopped");
        production.close();
    });
    EXPECT_EQ(answerer.messages, (std::vector<std::string>{refusal, refusal}));
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x3FFF);
    EXPECT_FALSE(std::filesystem::exists(InFolder("line.csv")));

    std::filesystem::permissions(counter, std::filesystem::perms::owner_all);
    answerer.messages.clear();
    // The box comes once the counter and the log are done with, so that an operator slow to
    // close it keeps no other station waiting for the counter.
    std::string counterWhileOpen;
    answerer.whileOpen = [&](QMessageBox&) { counterWhileOpen = ReadFile(counter); };
    QTest::mouseClick(Find<QToolButton>("programButton"), Qt::LeftButton);
    answerer.whileOpen = nullptr;
    EXPECT_EQ(answerer.messages, std::vector<std::string>{"Programming complete.\nVerify passed"});
    EXPECT_EQ(sim.ReadWord(VEKSIM_CONFIG, 3) & 0xF, 9);
    EXPECT_EQ(counterWhileOpen, "42\n");
    EXPECT_EQ(ReadFile(counter), "42\n");
    EXPECT_EQ(LogRows(), (std::vector<std::string>{
                             "board_serial,device,device_word,serial_number,outcome,exit_status",
                             "VF000001,16F84A,,41,started,", "VF000001,16F84A,560,41,success,0"}));
}

#if !defined(_WIN32)  // Windows rewrites the counter in place, where a folder cannot stand in
// A counter that cannot take the next number once the chip holds its own ends the loop: the
// chip is not counted, and every message of the chip comes in a box of its own.
TEST_F(Jobs, ACounterThatFailsAfterTheChipEndsTheLoopWithItsMessage) {
    qputenv("VEKSIM_SOCKET", "empty:1s,16F84A,empty");
    const auto unscripted = qScopeGuard([] { qunsetenv("VEKSIM_SOCKET"); });
    sim.Reset();
    Start();
    OpenNumberedJob();
    const std::string counter = InFolder("sn.txt");
    WithModal("productionModeAction", [&](QDialog& production) {
        onPause = [&](int ms) {
            // Program's pause before its end: a folder takes the counter's place.
            if (ms == 100 && !std::filesystem::is_directory(counter)) {
                std::filesystem::remove(counter);
                std::filesystem::create_directories(counter + "/kept");
            }
        };
        QTest::mouseClick(production.findChild<QPushButton*>("startStopButton"), Qt::LeftButton);
        EXPECT_EQ(Accessible(&production, "stateLabel"), "Stopped");
        EXPECT_EQ(Accessible(&production, "totalLabel"), "Total: 0");
        EXPECT_EQ(Accessible(&production, "serialLabel"), "Last serial number: 41");
        production.close();
    });
    onPause = nullptr;
    EXPECT_EQ(
        answerer.messages,
        (std::vector<std::string>{
            "Programming complete.\nVerify passed",
            "Error: " + counter + " could not be written; the chip holds serial number 41."}));
    EXPECT_EQ(LogRows().back(), "VF000001,16F84A,560,41,file,3");
}
#endif

// The job answers Program's question before code protection, so no box stays open while its
// counter is locked: without the job's consent the chip is left as it is, unasked.
TEST_F(Jobs, ProgramWithAJobAsksNothingAndLeavesAProtectingWordToTheJobsConsent) {
    Start();
    OpenNumberedJob("000F");
    QTest::mouseClick(Find<QToolButton>("programButton"), Qt::LeftButton);
    EXPECT_TRUE(answerer.messages.empty()) << answerer.messages.front();
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x3FFF);
    EXPECT_EQ(ReadFile(InFolder("sn.txt")), "41\n");
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
