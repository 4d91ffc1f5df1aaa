// What is kept of the work besides the chip and the HEX file written from it: the list of
// recent files, and the names a chip's ID fits.
#include <gtest/gtest.h>

#include "memory_settings.h"
#include "operations/device_id.h"
#include "session/recent_files.h"

namespace vek::test {
namespace {

TEST(RecentFiles, NewestFirstOnceEachAndNoMoreThanFive) {
    using Files = std::vector<std::string>;
    const Files five = {"/1.hex", "/2.hex", "/3.hex", "/4.hex", "/5.hex"};
    const std::tuple<Files, std::string, Files> steps[] = {
        {{}, "/a.hex", {"/a.hex"}},
        {{"/a.hex", "/b.hex"}, "/c.hex", {"/c.hex", "/a.hex", "/b.hex"}},
        {{"/a.hex", "/b.hex", "/c.hex"}, "/c.hex", {"/c.hex", "/a.hex", "/b.hex"}},
        {five, "/6.hex", {"/6.hex", "/1.hex", "/2.hex", "/3.hex", "/4.hex"}},
        {five, "/5.hex", {"/5.hex", "/1.hex", "/2.hex", "/3.hex", "/4.hex"}},
    };
    for (const auto& [before, opened, after] : steps) {
        EXPECT_EQ(WithFileInFront(before, opened), after) << opened;
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
    const std::pair<int, std::vector<std::string_view>> ids[] = {
        {0x560, {"16F84A"}}, {0x566, {"16F84A"}}, {0x9BF, {"16F877"}}, {0xFCE, {"SX28"}},
        {0xFCF, {}},         {0x002, {"SX48"}},   {0x000, {}},         {0x001, {}}};
    for (const auto& [id, names] : ids) {
        EXPECT_EQ(DevicesFittingId(id), names) << std::hex << id;
    }
}

}  // namespace
}  // namespace vek::test
