// The File menu beyond opening: saving what a Read took from the chip, the files opened last,
// and a HEX file dropped on the window.
#include <filesystem>
#include <fstream>

#include "hex_data_window.h"
#include "pic_config_editor.h"
#include "vek_sim.h"
#include "window_fixture.h"

namespace vek::test {
namespace {

class FileMenu : public WindowTest {
  protected:
    // Answers the save dialog with `path` and checks what it offered.
    void SaveThroughDialog(const std::string& path, const QString& offeredName) {
        WithModal("saveReadDataAction", [&](QDialog& dialog) {
            auto& chooser = static_cast<QFileDialog&>(dialog);
            EXPECT_EQ(chooser.objectName(), "saveReadDataDialog");
            EXPECT_EQ(chooser.acceptMode(), QFileDialog::AcceptSave);
            EXPECT_EQ(QFileInfo(chooser.selectedFiles().value(0)).fileName(), offeredName);
            chooser.selectFile(QString::fromStdString(path));
            dialog.accept();
        });
    }
    // Drags the file over `over` and drops it there, through the window's own dispatch, which
    // hands the events to the widget under the pointer that takes drops.
    void Drop(QWidget* over, const std::string& path, bool accepted) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
        data.setText(QString::fromStdString(path));  // as file managers send it too
        const QPointF position = over->mapTo(window.get(), over->rect().center());
        QDragEnterEvent enter(position.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window->windowHandle(), &enter);
        EXPECT_EQ(enter.isAccepted(), accepted) << path;
        QDropEvent drop(position, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window->windowHandle(), &drop);
        QCoreApplication::processEvents();
    }
};

TEST_F(FileMenu, SaveWritesWhatTheLastReadTookUntilAReadFails) {
    std::ofstream(InFolder("other.hex")) << ":020000000528D1\n:02400E00F23F7F\n:00000001FF\n";
    Start();
    EXPECT_FALSE(Find<QAction>("saveReadDataAction")->isEnabled());
    OpenThroughDialog(PIC_SAMPLE);
    Press("programButton");
    Press("readButton");
    ASSERT_TRUE(Find<QAction>("saveReadDataAction")->isEnabled());

    // Opening another file replaces the image and the Fuse field; what was read stays.
    OpenThroughDialog(InFolder("other.hex"));
    EXPECT_EQ(Text("fuseField"), "3FF2");
    EXPECT_TRUE(Find<QAction>("saveReadDataAction")->isEnabled());
    const std::string saved = InFolder("kept.hex");
    SaveThroughDialog(saved, "16F84A.hex");
    QFile file(QString::fromStdString(saved));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString(file.readAll()).trimmed().split('\n');
    ASSERT_EQ(lines.size(), 138);
    EXPECT_EQ(lines[0], ":1000000083168601831201308606072003288C0B95");
    EXPECT_EQ(lines[1], ":1000100007280800FF3FFF3FFF3FFF3FFF3FFF3F35");
    EXPECT_EQ(lines[128], ":02400E00F13F80");
    EXPECT_EQ(lines[129], ":10420000560045004B00FF00FF00FF00FF00FF00CD");
    EXPECT_EQ(lines[137], ":00000001FF");
    EXPECT_EQ(answerer.messages, std::vector<std::string>{"Programming complete."});

    // A stray byte in the header shifts all that follows: the words it makes never reach the
    // fields, nor the listing, nor what Save would write.
    sim.FaultReply(0x52, 0, 2, VEKSIM_APPEND, 1);
    Press("readButton");
    ASSERT_FALSE(answerer.messages.empty());
    EXPECT_TRUE(answerer.messages.back().starts_with(
        "Error: Communication with VEK Flash programmer failed."));
    EXPECT_EQ(Text("fuseField"), "3FF2");
    EXPECT_TRUE(Alive<HexDataWindow>()->Lines().isEmpty());
    EXPECT_FALSE(Find<QAction>("saveReadDataAction")->isEnabled());
}

TEST_F(FileMenu, TheLastFiveFilesNewestFirstAndAMissingOneTakenOff) {
    std::vector<std::string> files;
    for (int n = 1; n <= 6; ++n) {
        files.push_back(InFolder("f" + std::to_string(n) + ".hex"));
        std::filesystem::copy_file(PIC_SAMPLE, files.back());
    }
    const std::string damaged = InFolder("damaged.hex");
    std::ofstream(damaged) << ":020000000528D2\n";
    Start();
    for (const std::string& file : files) {
        OpenThroughDialog(file);
    }
    // A file that could not be read at all is not offered; one that failed its checksum is,
    // so that it can be opened again once it has been mended.
    OpenThroughDialog(InFolder("none.hex"));
    OpenThroughDialog(damaged);
    EXPECT_EQ(MenuWith("openHexFileAction"),
              (std::vector<std::string>{"&Open Hex File...", "Save Read Data &As... (off)",
                                        "Open &Job...", "Save Job As...", "&Close Job (off)",
                                        "----", "&1 " + damaged, "&2 " + files[5], "&3 " + files[4],
                                        "&4 " + files[3], "&5 " + files[2], "----", "&Exit"}));

    // Chosen, a file opens as from the dialog: editors closed, scanned, listed, remembered.
    Press("fuseSetButton");
    Trigger("recentFileAction4");
    EXPECT_EQ(Alive<PicConfigEditor>(), nullptr);
    EXPECT_EQ(Text("hexFileField"), "f4.hex");
    EXPECT_EQ(Text("fuseField"), "3FF1");
    EXPECT_EQ(SavedText("VEKFlashfilenamepath"), files[3]);
    EXPECT_EQ(SavedText("VEKFlashRecentFile1"), files[3]);

    std::filesystem::remove(files[4]);
    Trigger("recentFileAction4");  // f5, after f4, the damaged file and f6
    ASSERT_FALSE(answerer.messages.empty());
    EXPECT_EQ(answerer.messages.back(),
              "The file " + files[4] +
                  " no longer exists.\nIt has been taken off the list of recent files.");
    EXPECT_EQ(Text("hexFileField"), "f4.hex");

    // The list outlives the window.
    Start();
    EXPECT_EQ(MenuWith("openHexFileAction"),
              (std::vector<std::string>{"&Open Hex File...", "Save Read Data &As... (off)",
                                        "Open &Job...", "Save Job As...", "&Close Job (off)",
                                        "----", "&1 " + files[3], "&2 " + damaged, "&3 " + files[5],
                                        "&4 " + files[2], "----", "&Exit"}));
}

// Dropped on the window or named on its command line, a file opens as from the dialog.
TEST_F(FileMenu, ADroppedFileOrOneNamedOnTheCommandLineOpensAsFromTheDialog) {
    Start();
    Drop(Find<QLabel>("connectionLabel"), VEK_EXAMPLES_DIR "/../README.md", false);
    window->OpenCommandLineFile({"vekflash"});
    EXPECT_EQ(Text("hexFileField"), "Click here to select a hex file");
    EXPECT_EQ(SavedText("VEKFlashRecentFile1"), "<absent>");

    // On a field too: the fields take no drops of their own.
    Drop(Find<QLineEdit>("fuseField"), PIC_SAMPLE, true);
    EXPECT_EQ(Text("hexFileField"), "blink-16f84a.hex");
    EXPECT_EQ(Text("fuseField"), "3FF1");
    EXPECT_EQ(SavedText("VEKFlashfilenamepath"), PIC_SAMPLE);
    EXPECT_EQ(SavedText("VEKFlashRecentFile1"), PIC_SAMPLE);

    // A name relative to the folder the program was started in is remembered in full.
    std::filesystem::copy_file(PIC_SAMPLE, InFolder("given.hex"));
    const std::filesystem::path started = std::filesystem::current_path();
    std::filesystem::current_path(InFolder(""));
    window->OpenCommandLineFile({"vekflash", "given.hex"});
    std::filesystem::current_path(started);
    EXPECT_EQ(Text("hexFileField"), "given.hex");
    EXPECT_EQ(SavedText("VEKFlashfilenamepath"), InFolder("given.hex"));
    EXPECT_EQ(SavedText("VEKFlashRecentFile1"), InFolder("given.hex"));
    EXPECT_TRUE(answerer.messages.empty());

    // A missing one is reported and not remembered.
    window->OpenCommandLineFile({"vekflash", QString::fromStdString(InFolder("absent.hex"))});
    EXPECT_EQ(SavedText("VEKFlashRecentFile1"), InFolder("given.hex"));
    EXPECT_EQ(answerer.messages.size(), 1u);
}

}  // namespace
}  // namespace vek::test
