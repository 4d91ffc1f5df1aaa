// What is kept of the work besides the chip and the HEX file written from it: the list of
// recent files, and the names a chip's ID fits.
#include <gtest/gtest.h>

#include "memory_settings.h"
#include "operations/device_id.h"
#include "session/recent_files.h"

namespace vek::test {
namespace {

TEST(RecentFiles, NewestFirstOnceEachNoMoreThanFiveUnderKeysOfTheirOwn) {
    using Files = std::vector<std::string>;
    MemorySettings settings;
    EXPECT_EQ(RecentHexFiles(settings), Files{});
    for (const char* path : {"/1.hex", "/2.hex", "/3.hex", "/4.hex", "/5.hex", "/6.hex"}) {
        RememberHexFile(settings, path);
    }
    EXPECT_EQ(RecentHexFiles(settings), (Files{"/6.hex", "/5.hex", "/4.hex", "/3.hex", "/2.hex"}));
    EXPECT_EQ(settings.Text("VEKFlashRecentFile1"), "/6.hex");
    EXPECT_EQ(settings.Text("VEKFlashRecentFile5"), "/2.hex");
    EXPECT_EQ(settings.Text("VEKFlashRecentFile6"), "<absent>");
    // The oldest again: to the front, once, and still five.
    RememberHexFile(settings, "/2.hex");
    EXPECT_EQ(RecentHexFiles(settings), (Files{"/2.hex", "/6.hex", "/5.hex", "/4.hex", "/3.hex"}));

    ForgetHexFile(settings, "/4.hex");
    EXPECT_EQ(RecentHexFiles(settings), (Files{"/2.hex", "/6.hex", "/5.hex", "/3.hex"}));
    EXPECT_EQ(settings.Text("VEKFlashRecentFile5"), "");

    // A hand-edited file: gaps and repeats are passed over.
    settings.WriteSettingText(SETTINGS_SECTION, "VEKFlashRecentFile1", "");
    settings.WriteSettingText(SETTINGS_SECTION, "VEKFlashRecentFile3", "/6.hex");
    EXPECT_EQ(RecentHexFiles(settings), (Files{"/6.hex", "/3.hex"}));
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
