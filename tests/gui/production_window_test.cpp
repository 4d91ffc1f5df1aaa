// Production jobs on the window: a job opened pins the device, the file and the words until it
// is closed, and refuses a HEX file rebuilt since it was saved.
#include <filesystem>
#include <fstream>

#include "pic_config_editor.h"
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
    std::ofstream(hex, std::ios::app) << "\n";

    // Program refuses the open job's file; opening the job again names both hashes.
    const int writes = Calls("FT_Write");
    QTest::mouseClick(Find<QToolButton>("programButton"), Qt::LeftButton);
    ASSERT_EQ(answerer.messages.size(), 1u);
    EXPECT_EQ(Calls("FT_Write"), writes);
    ChooseJob("openJobAction", job);
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

}  // namespace
}  // namespace vek::test
