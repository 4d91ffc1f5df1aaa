// Core tests drive the real link through the simulated programmer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
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
