// The host's end of the wire for the simulator's own tests: the exported D2XX functions,
// resolved from the loaded simulator, and the few framing steps a host takes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "link/d2xx.h"
#include "link/protocol.h"
#include "sim_control.h"
#include "vek_sim.h"
#include "wire_text.h"

namespace vek::test {

inline std::uint8_t Low(int value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}
inline std::uint8_t High(int value) {
    return static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

template <typename Function>
Function Exported(const char* name) {
    return reinterpret_cast<Function>(SimControl::Get().Symbol(name));
}

class SimHost {
  public:
    FT_STATUS Open() {
        char description[] = "VEK Flash";
        return openEx(description, FT_OPEN_BY_DESCRIPTION, &handle);
    }
    FT_STATUS Write(std::vector<std::uint8_t> bytes) {
        D2xxDword written = 0;
        return write(handle, bytes.data(), static_cast<D2xxDword>(bytes.size()), &written);
    }
    // What a read of count bytes delivers under the time-out in force.
    std::vector<std::uint8_t> Read(std::size_t count) {
        std::vector<std::uint8_t> bytes(count);
        D2xxDword received = 0;
        EXPECT_EQ(read(handle, bytes.data(), static_cast<D2xxDword>(count), &received), FT_OK);
        bytes.resize(received);
        return bytes;
    }
    std::string ReadHex(std::size_t count) { return Hex(Read(count)); }
    void SetTimeout(D2xxDword milliseconds) {
        EXPECT_EQ(setTimeouts(handle, milliseconds, milliseconds), FT_OK);
    }
    D2xxDword Queued() {
        D2xxDword count = 0;
        EXPECT_EQ(getQueueStatus(handle, &count), FT_OK);
        return count;
    }

    // Sends one frame and returns the answer bytes that came within the time-out.
    std::string Command(const std::vector<std::uint8_t>& payload, std::size_t answerBytes) {
        EXPECT_EQ(Write(FrameBytes(payload)), FT_OK);
        return ReadHex(answerBytes);
    }
    // A programming block as the host sends it: 33 words of two bytes, each its own write.
    void SendBlock(int address, const std::vector<int>& words) {
        EXPECT_EQ(Write({Low(address), High(address)}), FT_OK);
        for (int k = 0; k < BLOCK_WORDS; ++k) {
            const int word = k < static_cast<int>(words.size()) ? words[k] : 0;
            EXPECT_EQ(Write({Low(word), High(word)}), FT_OK);
        }
    }

    FT_HANDLE handle = nullptr;
    FT_WriteFn write = Exported<FT_WriteFn>("FT_Write");
    FT_ReadFn read = Exported<FT_ReadFn>("FT_Read");
    FT_OpenFn open = Exported<FT_OpenFn>("FT_Open");
    FT_OpenExFn openEx = Exported<FT_OpenExFn>("FT_OpenEx");
    FT_ListDevicesFn listDevices = Exported<FT_ListDevicesFn>("FT_ListDevices");
    FT_CloseFn close = Exported<FT_CloseFn>("FT_Close");
    FT_ResetDeviceFn resetDevice = Exported<FT_ResetDeviceFn>("FT_ResetDevice");
    FT_PurgeFn purge = Exported<FT_PurgeFn>("FT_Purge");
    FT_SetTimeoutsFn setTimeouts = Exported<FT_SetTimeoutsFn>("FT_SetTimeouts");
    FT_GetQueueStatusFn getQueueStatus = Exported<FT_GetQueueStatusFn>("FT_GetQueueStatus");
    FT_SetLatencyTimerFn setLatencyTimer = Exported<FT_SetLatencyTimerFn>("FT_SetLatencyTimer");
};

// A fresh board with the programmer open and 1000 ms time-outs, logs empty. The clock starts
// at 0 ms with the open, so the latency timer runs from 0.
class SimulatorTest : public ::testing::Test {
  protected:
    void SetUp() override { Restart(); }
    void Restart() {
        sim.Reset();
        ASSERT_EQ(host.Open(), FT_OK);
        host.SetTimeout(TIMEOUT_NORMAL_MS);
        sim.ClearLogs();
    }
    // Puts the chip in the socket and opens a transaction for it.
    void BeginWith(const std::string& chip, std::uint8_t index) {
        ASSERT_TRUE(sim.SelectChip(chip));
        ASSERT_EQ(host.Command({CMD_BEGIN, index}, 2), "55 76");
    }

    SimControl& sim = SimControl::Get();
    SimHost host;
};

}  // namespace vek::test
