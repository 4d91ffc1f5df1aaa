#include <gtest/gtest.h>

#include "link/programmer_link.h"
#include "recording_ui.h"

namespace vek::test {
namespace {

// Every wrapper, called on whatever entries the binding left.
void CallEveryWrapper(ProgrammerLink& link) {
    std::uint8_t buffer[2] = {0, 0};
    std::uint32_t count = 0;
    link.Write(buffer, 2, &count);
    link.Read(buffer, 1, &count);
    link.OpenEx("VEK Flash", FT_OPEN_BY_DESCRIPTION);
    link.ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
    link.Close();
    link.ResetDevice();
    link.Purge(FT_PURGE_RX);
    link.SetTimeouts(1000, 1000);
    link.GetQueueStatus(&count);
}

TEST(Binding, MissingLibraryFailsSilentlyAndEveryWrapperReportsItsEntry) {
    RecordingUi ui;
    ProgrammerLink link(ui, "/nonexistent/libftd2xx.so");
    EXPECT_EQ(link.Bind(), 1);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(link.IsBound());

    std::uint32_t count = 0;
    EXPECT_EQ(link.GetQueueStatus(&count), 1u);
    EXPECT_EQ(link.Close(), 1u);
    CallEveryWrapper(link);
    EXPECT_EQ(
        ui.messages,
        (std::vector<std::string>{
            "FT_GetQueueStatus is not valid!", "FT_Close is not valid!", "FT_Write is not valid!",
            "FT_Read is not valid!", "FT_OpenEx is not valid!", "FT_ListDevices is not valid!",
            "FT_Close is not valid!", "FT_ResetDevice is not valid!", "FT_Purge is not valid!",
            "FT_SetTimeouts is not valid!", "FT_GetQueueStatus is not valid!"}));
}

TEST(Binding, LibraryWithoutFtOpenFailsAlthoughItIsNeverCalled) {
    RecordingUi ui;
    ProgrammerLink link(ui, VEK_STUB_WITHOUT_FT_OPEN);
    EXPECT_EQ(link.Bind(), 1);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Error: Can't Find FT_Open"});
    EXPECT_FALSE(link.IsBound());

    // The two entries before it stay bound; the later ones report themselves.
    ui.messages.clear();
    std::uint8_t byte = 0;
    std::uint32_t count = 0;
    EXPECT_EQ(link.Write(&byte, 1, &count), FT_OK);
    EXPECT_EQ(link.Read(&byte, 1, &count), FT_OK);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(link.OpenEx("VEK Flash", FT_OPEN_BY_DESCRIPTION), 1u);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"FT_OpenEx is not valid!"});
}

TEST(Binding, LibraryWithoutQueueStatusLeavesTheOtherNineUsable) {
    RecordingUi ui;
    ProgrammerLink link(ui, VEK_STUB_WITHOUT_FT_GETQUEUESTATUS);
    EXPECT_EQ(link.Bind(), 1);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Error: Can't Find FT_GetQueueStatus"});
    EXPECT_FALSE(link.IsBound());

    ui.messages.clear();
    CallEveryWrapper(link);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"FT_GetQueueStatus is not valid!"});
}

}  // namespace
}  // namespace vek::test
