// Core tests drive the real link through the simulated programmer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "device/processor_selection.h"
#include "link/session.h"
#include "memory_settings.h"
#include "recording_ui.h"
#include "sim_control.h"
#include "vek_sim.h"

namespace vek::test {

// Bytes as "02 53 00 51", so a failing comparison shows the frames.
inline std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char cell[4];
    for (std::uint8_t byte : bytes) {
        std::snprintf(cell, sizeof cell, "%02X ", byte);
        text += cell;
    }
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

inline std::string Join(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) {
        text += (text.empty() ? "" : " ") + part;
    }
    return text;
}

// A command frame as the wire carries it: length, payload, XOR check byte.
inline std::string Frame(std::initializer_list<std::uint8_t> payload) {
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(payload.size())};
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    std::uint8_t check = 0;
    for (std::uint8_t byte : bytes) {
        check ^= byte;
    }
    bytes.push_back(check);
    return Hex(bytes);
}

// Frames in order, as one byte string.
inline std::string Frames(std::initializer_list<std::string> frames) {
    return Join(std::vector<std::string>(frames));
}

class SimTest : public ::testing::Test {
  protected:
    SimTest() { sim.Reset(); }

    // Binds and opens the programmer as start-up would, then forgets that traffic.
    void OpenProgrammer() {
        ASSERT_EQ(session.link.Bind(), 0);
        ASSERT_EQ(session.link.OpenEx("VEK Flash", FT_OPEN_BY_DESCRIPTION), FT_OK);
        session.Connected = true;
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
