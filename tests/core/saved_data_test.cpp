// What is kept of the work besides the chip: the HEX file written from what was read, read
// back by the loader; the list of recent files; and the names a chip's ID fits.
#include <gtest/gtest.h>

#include <sstream>

#include "device/hex_file.h"
#include "device/hex_writer.h"
#include "memory_settings.h"
#include "operations/device_id.h"
#include "session/recent_files.h"
#include "temp_folder.h"

namespace vek::test {
namespace {

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

// A chip as Read leaves the image: blank words, a few written ones, EEPROM as read.
MemoryImage ReadImage(const DeviceInfo& target, std::initializer_list<std::pair<int, int>> words) {
    MemoryImage image;
    const bool isSx = FamilyOfIndex(target.processorIndex) == TargetFamily::SX;
    image.Fill(0, target.programWords, isSx ? BLANK_SX_WORD : BLANK_PIC_WORD);
    image.Fill(EEPROM_ADDR, EEPROM_ADDR + target.eepromBytes, 0xFF);
    for (const auto& [address, value] : words) {
        image[address] = value;
    }
    return image;
}

struct Written {
    const char* name;
    const DeviceInfo& target;
    MemoryImage image;
    ConfigurationWords words;
    std::size_t lineCount;
    // Line number, its text.
    std::vector<std::pair<std::size_t, std::string>> lines;
};

TEST(HexWriter, WritesRecordsInRisingOrderThatTheLoaderReadsBackWhole) {
    const DeviceInfo& pic = DeviceTable[0];
    const DeviceInfo& sx = DeviceTable[8];
    const std::vector<Written> cases = {
        {"16F84A",
         pic,
         ReadImage(pic, {{0, 0x2805},
                         {1, 0x0000},
                         {2, 0x1683},
                         {1023, 0x0123},
                         {0x2100, 0x11},
                         {0x2101, 0x00},
                         {0x213F, 0xEE}}),
         {0x3FF1, 0},
         138,
         {{0, ":10000000052800008316FF3FFF3FFF3FFF3FFF3FF4"},
          {127, ":1007F000FF3FFF3FFF3FFF3FFF3FFF3FFF3F230123"},
          {128, ":02400E00F13F80"},
          {129, ":1042000011000000FF00FF00FF00FF00FF00FF00A3"},
          {136, ":10427000FF00FF00FF00FF00FF00FF00FF00EE0057"},
          {137, ":00000001FF"}}},
        {"SX28",
         sx,
         ReadImage(sx, {{0, 0x0A5}, {2047, 0xA00}}),
         {0x7F3, 0xF40},
         258,
         {{0, ":10000000A500FF0FFF0FFF0FFF0FFF0FFF0FFF0FE9"},
          {255, ":100FF000FF0FFF0FFF0FFF0FFF0FFF0FFF0F000A85"},
          {256, ":04202000F307400F73"},
          {257, ":00000001FF"}}},
    };
    TempFolder folder;
    for (const Written& written : cases) {
        SCOPED_TRACE(written.name);
        const std::string text = HexFileText(written.image, written.target, written.words);
        const std::vector<std::string> lines = LinesOf(text);
        ASSERT_EQ(lines.size(), written.lineCount);
        for (const auto& [number, line] : written.lines) {
            EXPECT_EQ(lines[number], line) << "line " << number;
        }

        const std::string path = folder.Write(std::string(written.name) + ".hex", text);
        struct Words : ConfigRecordSink {
            void ApplyConfigRecord(const HexRecord& record) override {
                fuse = record.DataWord(0).value_or(-1);
                if (record.WordCount() > 1) {
                    fuseX = record.DataWord(1).value_or(-1);
                }
            }
            void ApplyFuseXRecord(const HexRecord& record) override {
                fuseX = record.DataWord(0).value_or(-1);
            }
            int fuse = -1;
            int fuseX = -1;
        } taken;
        int lineNo = 0;
        EXPECT_EQ(ScanHexFile(path, written.target, &taken, lineNo), HEX_OK);
        EXPECT_EQ(taken.fuse, written.words.fuse);
        if (written.target.family == TargetFamily::SX) {
            EXPECT_EQ(taken.fuseX, written.words.fuseX);
        }
        // Verify's load compares every program word and every EEPROM byte the file gives.
        MemoryImage loaded;
        ASSERT_TRUE(LoadHexInto(path, loaded, LoadVariant::Verify, written.target.family));
        EXPECT_EQ(
            CompareWithFile(loaded, written.image, written.target, written.words, written.words),
            std::vector<ImageDifference>{});
        for (int location = 0; location < written.target.eepromBytes; ++location) {
            EXPECT_NE(loaded[EEPROM_ADDR + location] & EEPROM_PRESENT, 0) << location;
        }
    }
}

TEST(RecentFiles, NewestFirstOnceEachAndNoMoreThanFive) {
    struct Step {
        const char* name;
        std::vector<std::string> before;
        std::string opened;
        std::vector<std::string> after;
    };
    const std::vector<Step> steps = {
        {"first", {}, "/a.hex", {"/a.hex"}},
        {"new in front", {"/a.hex", "/b.hex"}, "/c.hex", {"/c.hex", "/a.hex", "/b.hex"}},
        {"again moves to front",
         {"/a.hex", "/b.hex", "/c.hex"},
         "/c.hex",
         {"/c.hex", "/a.hex", "/b.hex"}},
        {"sixth drops the oldest",
         {"/1.hex", "/2.hex", "/3.hex", "/4.hex", "/5.hex"},
         "/6.hex",
         {"/6.hex", "/1.hex", "/2.hex", "/3.hex", "/4.hex"}},
        {"the oldest again stays five",
         {"/1.hex", "/2.hex", "/3.hex", "/4.hex", "/5.hex"},
         "/5.hex",
         {"/5.hex", "/1.hex", "/2.hex", "/3.hex", "/4.hex"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        EXPECT_EQ(WithFileInFront(step.before, step.opened), step.after);
    }
}

TEST(RecentFiles, LiveInTheSettingsUnderKeysOfTheirOwn) {
    MemorySettings settings;
    for (const char* path : {"/1.hex", "/2.hex", "/3.hex", "/4.hex", "/5.hex", "/6.hex"}) {
        RememberHexFile(settings, path);
    }
    EXPECT_EQ(settings.Text("VEKFlashRecentFile1"), "/6.hex");
    EXPECT_EQ(settings.Text("VEKFlashRecentFile5"), "/2.hex");
    EXPECT_EQ(settings.Text("VEKFlashRecentFile6"), "<absent>");

    ForgetHexFile(settings, "/4.hex");
    EXPECT_EQ(RecentHexFiles(settings),
              (std::vector<std::string>{"/6.hex", "/5.hex", "/3.hex", "/2.hex"}));
    EXPECT_EQ(settings.Text("VEKFlashRecentFile5"), "");

    // A hand-edited file: gaps and repeats are passed over.
    settings.WriteSettingText(SETTINGS_SECTION, "VEKFlashRecentFile1", "");
    settings.WriteSettingText(SETTINGS_SECTION, "VEKFlashRecentFile3", "/2.hex");
    EXPECT_EQ(RecentHexFiles(settings), (std::vector<std::string>{"/5.hex", "/2.hex"}));
}

TEST(DeviceIds, AChipFitsTheRowsOfItsIdWithThePic16RevisionIgnored) {
    const std::vector<std::pair<int, std::vector<std::string_view>>> ids = {
        {0x560, {"16F84A"}}, {0x566, {"16F84A"}}, {0x9BF, {"16F877"}}, {0xFCE, {"SX28"}},
        {0xFCF, {}},         {0x002, {"SX48"}},   {0x000, {}},         {0x001, {}},
    };
    for (const auto& [id, names] : ids) {
        EXPECT_EQ(DevicesFittingId(id), names) << std::hex << id;
    }
}

}  // namespace
}  // namespace vek::test
