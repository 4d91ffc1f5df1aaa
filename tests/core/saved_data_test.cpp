// What is kept of the work besides the chip and the HEX file written from it: the list of
// recent files, the names a chip's ID fits, and the time of the run log's rows, which scripts
// and spreadsheets sort and compare.
#include <gtest/gtest.h>

#include "memory_settings.h"
#include "operations/device_id.h"
#include "platform/utc_time.h"
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

TEST(UtcTime, IsWrittenToTheSecondWithItsFractionCutOff) {
    struct Case {
        long long seconds;
        int milliseconds;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, "1970-01-01T00:00:00Z"},
        {951868799, 999, "2000-02-29T23:59:59Z"},
        {1796652202, 500, "2026-12-07T14:03:22Z"},
        {4107542400, 1, "2100-03-01T00:00:00Z"},
    };
    for (const Case& c : cases) {
        const std::chrono::system_clock::time_point time{std::chrono::seconds(c.seconds) +
                                                         std::chrono::milliseconds(c.milliseconds)};
        EXPECT_EQ(IsoTimeUtc(time), c.text) << c.seconds;
    }
}

}  // namespace
}  // namespace vek::test
