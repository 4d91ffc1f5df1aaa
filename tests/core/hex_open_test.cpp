// Choosing a HEX file: its configuration records reach the fields, the shared texts and the
// settings; a file that cannot be used is reported, its path kept; a good one is listed.
#include <gtest/gtest.h>

#include "memory_settings.h"
#include "recording_ui.h"
#include "session/hex_file_open.h"
#include "temp_folder.h"

namespace vek::test {
namespace {

class HexOpen : public ::testing::Test {
  protected:
    void Open(int row, const std::string& text) {
        ui.selectedRow = row;
        OpenChosenHexFile(session, folder.Write("chosen.hex", text));
    }

    TempFolder folder;
    RecordingUi ui;
    MemorySettings settings;
    Session session{ui, settings, "/nonexistent/libftd2xx.so"};
};

TEST_F(HexOpen, ConfigurationRecordsSetTheFieldsTheSharedTextsAndTheSettings) {
    struct Case {
        int row;
        std::string file;
        const char* fuse;
        const char* fuseX;
        const char* fuseKey;
        const char* savedFuse;
        const char* savedFuseX;
    };
    const std::vector<Case> cases = {
        {0, ":02400E00F23F7F\n", "3FF2", "FFF", "VEKFlashmicrochipBits", "3FF2", "<absent>"},
        {8, ":042020009B0FFE0F05\n", "F9B", "FFE", "VEKFlashFuseBits", "F9B", "FFE"},
        {9, ":022020009B0F14\n", "F9B", "FFF", "VEKFlashFuseBits", "F9B", "<absent>"},
        {9, ":02202200FE0FAF\n", "FFF", "FFE", "VEKFlashFuseBits", "<absent>", "FFE"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.file);
        ui = RecordingUi{};
        settings.Clear();
        Open(test.row, test.file);
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_EQ(ui.controls.FuseText, test.fuse);
        EXPECT_EQ(ui.controls.FuseXText, test.fuseX);
        EXPECT_EQ(settings.Text(test.fuseKey), test.savedFuse);
        // The loader's spelling of the FUSEX key and the editor's are one value.
        EXPECT_EQ(settings.Text("VEKFlashFusexBits"), test.savedFuseX);
        EXPECT_GE(ui.editorRefreshes, 1);
        EXPECT_EQ(ui.controls.HexFileText, "chosen.hex");
    }
    EXPECT_EQ(session.CurrentFuseXText, "FFE");
}

TEST_F(HexOpen, AFileThatCannotBeUsedIsReportedAndItsPathKept) {
    const std::string checksumOnLine7 =
        "; made by hand\n\n:0100000001FE\n;\n\n:0100010002FC\n:0100020003FF\n";
    Open(0, checksumOnLine7);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Checksum error in HEX file (line 7)."});
    EXPECT_EQ(ui.controls.HexFileText, "");
    EXPECT_EQ(session.HexFileName, "chosen.hex");
    EXPECT_EQ(ui.hexDataPrepared, 0);

    const std::string missing = (folder / "typed name.hex").string();
    OpenChosenHexFile(session, missing);
    EXPECT_EQ(ui.messages.back(), "Error: HEX file could not be opened.");
    EXPECT_EQ(settings.Text("VEKFlashfilenamepath"), missing);
}

TEST_F(HexOpen, AGoodFileIsListed) {
    Open(0, "; sample\n:0400000005280000CF\n:00000001FF\n");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.hexData, (std::vector<std::string>{
                              "Program data from file:", "0000:   2805   0000   3FFF   3FFF",
                              "EEPROM Data:", "Comment:", "; sample"}));
}

}  // namespace
}  // namespace vek::test
