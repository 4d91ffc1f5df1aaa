// Core tests drive the real link through the simulated programmer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "memory_settings.h"
#include "recording_ui.h"
#include "session/processor_selection.h"
#include "session/session.h"
#include "sim_control.h"
#include "vek_sim.h"
#include "wire_text.h"

namespace vek::test {

inline std::string Join(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) {
        text += (text.empty() ? "" : " ") + part;
    }
    return text;
}

// A command frame as hex text.
inline std::string Frame(std::initializer_list<std::uint8_t> payload) {
    return Hex(FrameBytes(payload));
}

// How often a frame occurs in a byte string.
inline int Count(const std::string& haystack, const std::string& needle) {
    int count = 0;
    for (std::size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + needle.size())) {
        ++count;
    }
    return count;
}

// Frames in order, as one byte string.
inline std::string Frames(std::initializer_list<std::string> frames) {
    return Join(std::vector<std::string>(frames));
}

// The warning shown when the chip in the socket is not the selected one.
inline std::string WrongTargetWarning(const std::string& name, const std::string& id) {
    return "Warning: The processor selected (" + name +
           ") may be different from the target\nthat is currently connected to the "
           "programmer.\nThe programmer detected an ID of " +
           id +
           ". \n\nValid IDs:\n16F84A: 560\t\t16F870: D00\n16F871: D20\t\t16F872: 8E0\n16F873: "
           "960\t\t16F874: 920\n16F876: 9E0\t\t16F877: 9A0\nSX28:  FCE\t\tSX48:  002 \n\n Power "
           "may need to be enabled from the Setup menu.";
}

// A device operation has ended: both flags and the wait cursor are gone.
inline void ExpectFlagsCleared(const Session& session, const RecordingUi& ui) {
    EXPECT_FALSE(session.BusyFlag);
    EXPECT_FALSE(session.LinkInUse);
    EXPECT_EQ(ui.waitDepth, 0);
}

// A fault put into the simulated board before a command.
using Injection = std::function<void(SimControl&)>;
// The occurrence-th call from now (0 = the next) fails.
inline Injection FailRead(int occurrence) {
    return [occurrence](SimControl& s) { s.FailCall("FT_Read", occurrence); };
}
inline Injection FailWrite(int occurrence) {
    return [occurrence](SimControl& s) { s.FailCall("FT_Write", occurrence); };
}

// The reply fault of VekSim_FaultReply, on the next answer that its anchor picks.
inline Injection FaultReply(int anchor, int byteIndex, int action, int value = 0) {
    return [=](SimControl& s) { s.FaultReply(anchor, 0, byteIndex, action, value); };
}

class SimTest : public ::testing::Test {
  protected:
    SimTest() { sim.Reset(); }

    // Binds and opens the programmer as start-up would, then forgets that traffic.
    void OpenProgrammer() { OpenProgrammer(session); }
    void OpenProgrammer(Session& opened) {
        ASSERT_EQ(opened.link.Bind(), 0);
        ASSERT_EQ(opened.link.OpenEx("VEK Flash", FT_OPEN_BY_DESCRIPTION), FT_OK);
        opened.Connected = true;
        sim.ClearLogs();
    }
    // Selects a Device list row and puts the matching chip in the socket.
    void UseTarget(int row) {
        ui.selectedRow = row;
        RefreshCurrentTarget(session);
        ASSERT_TRUE(sim.SelectChip(std::string(DeviceTable[row].name)));
    }
    std::string HostHex() { return Hex(sim.HostBytes()); }
    std::string DeviceHex() { return Hex(sim.DeviceBytes()); }

    SimControl& sim = SimControl::Get();
    RecordingUi ui;
    MemorySettings settings;
    Session session{ui, settings, SimControl::Get().LibraryPath()};
};

}  // namespace vek::test
