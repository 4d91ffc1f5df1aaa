// Binding the D2XX library: a library that is missing or lacks an entry point.
#include <gtest/gtest.h>

#include "link/programmer_link.h"
#include "recording_reporter.h"
#include "sim_control.h"

namespace vek::test {
namespace {

// Every wrapper, called on whatever entries the binding left.
void CallEveryWrapper(ProgrammerLink& link) {
    std::uint8_t buffer[2] = {0, 0};
    std::uint32_t count = 0;
    std::int32_t boards = 0;
    link.Write(buffer, count);
    link.Read({buffer, 1}, count);
    link.Open(BoardWithDescription("VEK Flash"));
    link.CountBoards("VEK Flash", boards);
    link.Close();
    link.Reset();
    link.Purge();
    link.SetTimeouts(1000, 1000);
    link.Queued(count);
}

std::vector<std::string> NotValid(std::initializer_list<const char*> entries) {
    std::vector<std::string> messages;
    for (const char* entry : entries) {
        messages.push_back(std::string(entry) + " is not valid!");
    }
    return messages;
}

TEST(Binding, AMissingEntryFailsTheBindingAndEveryUnboundWrapperReportsItself) {
    struct Case {
        const char* library;
        std::vector<std::string> bindMessages;
        std::vector<std::string> wrapperMessages;
    };
    const Case cases[] = {
        // No library at all fails silently: start-up says so in its own words.
        {"/nonexistent/libftd2xx.so",
         {},
         NotValid({"FT_Write", "FT_Read", "FT_OpenEx", "FT_ListDevices", "FT_Close",
                   "FT_ResetDevice", "FT_Purge", "FT_SetTimeouts", "FT_GetQueueStatus"})},
        // FT_Open is never called, yet the driver must have it; the two entries bound before
        // it stay usable.
        {VEK_SIM_WITHOUT_FT_OPEN,
         {"Error: Can't Find FT_Open"},
         NotValid({"FT_OpenEx", "FT_ListDevices", "FT_Close", "FT_ResetDevice", "FT_Purge",
                   "FT_SetTimeouts", "FT_GetQueueStatus"})},
        {VEK_SIM_WITHOUT_FT_GETQUEUESTATUS,
         {"Error: Can't Find FT_GetQueueStatus"},
         NotValid({"FT_GetQueueStatus"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.library);
        RecordingReporter ui;
        ProgrammerLink link(ui, D2xxFrom(c.library));
        link.ChooseDriver("d2xx");  // D2XX's own failures, no fallback
        EXPECT_FALSE(link.Bind());
        EXPECT_FALSE(link.IsBound());
        EXPECT_EQ(ui.messages, c.bindMessages);
        ui.messages.clear();
        CallEveryWrapper(link);
        EXPECT_EQ(ui.messages, c.wrapperMessages);
        std::uint32_t count = 0;
        EXPECT_EQ(link.Queued(count), UsbStatus::Unavailable);  // an unbound entry is no success
    }
}

}  // namespace
}  // namespace vek::test
