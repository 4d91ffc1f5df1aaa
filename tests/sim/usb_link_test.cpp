// What the USB link costs on the virtual clock: a frame per write, the USB chip's packets and
// latency timer, and the counters that tell the link's time from the board's.
#include "sim_host.h"

namespace vek::test {
namespace {

// Each test starts at 0 ms with the board just opened, so the latency timer runs from 0.
class UsbLink : public SimulatorTest {};

TEST_F(UsbLink, EveryWriteTakesOneFrameWhateverItsLength) {
    for (std::size_t length : {1u, 2u, 66u}) {
        const unsigned long long before = sim.ElapsedMs();
        ASSERT_EQ(host.Write(std::vector<std::uint8_t>(length, 0x00)), FT_OK);
        EXPECT_EQ(sim.ElapsedMs() - before, 1u) << length;
    }
}

struct LatencyCase {
    std::uint8_t latency;
    unsigned long long firstAnswer;
    unsigned long long secondAnswer;
};

TEST_F(UsbLink, AOneByteReplyWaitsForTheLatencyTimerCountedFromTheLastPacket) {
    // The write ends at 1 ms and the board answers at 2 ms; the byte leaves the USB chip at
    // the first expiry after that, and the next exchange waits a whole period again.
    const LatencyCase cases[] = {{2, 2, 4}, {5, 5, 10}, {16, 16, 32}, {255, 255, 510}};
    for (const LatencyCase& latencyCase : cases) {
        sim.Reset();
        ASSERT_EQ(host.Open(), FT_OK);
        host.SetTimeout(TIMEOUT_NORMAL_MS);
        ASSERT_EQ(host.setLatencyTimer(host.handle, latencyCase.latency), FT_OK);
        EXPECT_EQ(host.Command({CMD_TEST, 0xC9, 0x01, 0xFF}, 1), "55");
        EXPECT_EQ(sim.ElapsedMs(), latencyCase.firstAnswer) << int{latencyCase.latency};
        EXPECT_EQ(host.Command({CMD_TEST, 0xC9, 0x01, 0xFF}, 1), "55");
        EXPECT_EQ(sim.ElapsedMs(), latencyCase.secondAnswer) << int{latencyCase.latency};
    }
}

struct PacketCase {
    int strayBytes;  // sent by the board together with its acknowledgement
    std::size_t wanted;
    unsigned long long arrival;
};

TEST_F(UsbLink, SixtyTwoBytesGoAtOnceAndTheRestWaitsForTheTimer) {
    const PacketCase cases[] = {{60, 61, 16}, {61, 62, 2}, {63, 62, 2}, {63, 64, 18}};
    for (const PacketCase& packetCase : cases) {
        sim.Reset();
        ASSERT_EQ(host.Open(), FT_OK);
        host.SetTimeout(TIMEOUT_NORMAL_MS);
        sim.FaultReply(CMD_TEST, 0, 0, VEKSIM_APPEND, packetCase.strayBytes);
        ASSERT_EQ(host.Write(FrameBytes({CMD_TEST, 0xC9, 0x01, 0xFF})), FT_OK);
        EXPECT_EQ(host.Read(packetCase.wanted).size(), packetCase.wanted);
        EXPECT_EQ(sim.ElapsedMs(), packetCase.arrival)
            << packetCase.strayBytes << " " << packetCase.wanted;
    }
}

TEST_F(UsbLink, TheLatencyTimerTakesTwoTo255MsAndEveryOpenStartsItAt16) {
    EXPECT_EQ(host.setLatencyTimer(host.handle, 0), FT_INVALID_PARAMETER);
    EXPECT_EQ(host.setLatencyTimer(host.handle, 1), FT_INVALID_PARAMETER);
    EXPECT_EQ(host.Command({CMD_TEST, 0xC9, 0x01, 0xFF}, 1), "55");
    EXPECT_EQ(sim.ElapsedMs(), 16u);  // still the default

    EXPECT_EQ(host.setLatencyTimer(host.handle, 2), FT_OK);
    EXPECT_EQ(host.Command({CMD_TEST, 0xC9, 0x01, 0xFF}, 1), "55");
    EXPECT_EQ(sim.ElapsedMs(), 18u);

    ASSERT_EQ(host.close(host.handle), FT_OK);
    ASSERT_EQ(host.Open(), FT_OK);
    EXPECT_EQ(host.Command({CMD_TEST, 0xC9, 0x01, 0xFF}, 1), "55");
    EXPECT_EQ(sim.ElapsedMs(), 34u);
    EXPECT_EQ(sim.CallLog()[0], "FT_SetLatencyTimer 0 -> 6");
    EXPECT_EQ(sim.CallLog()[1], "FT_SetLatencyTimer 1 -> 6");
    EXPECT_EQ(sim.CallLog()[4], "FT_SetLatencyTimer 2 -> 0");
}

TEST_F(UsbLink, SettingTheLatencyFailsLikeEveryCallOnTheHandle) {
    const FT_HANDLE open = host.handle;
    sim.FailCall("FT_SetLatencyTimer", 0, FT_IO_ERROR);
    EXPECT_EQ(host.setLatencyTimer(open, 2), FT_IO_ERROR);
    EXPECT_EQ(host.setLatencyTimer(nullptr, 2), FT_INVALID_HANDLE);
    sim.UnplugAfterCalls(0);
    EXPECT_EQ(host.setLatencyTimer(open, 2), FT_IO_ERROR);
    EXPECT_EQ(sim.CallLog(),
              (std::vector<std::string>{"FT_SetLatencyTimer 2 -> 4", "FT_SetLatencyTimer 2 -> 1",
                                        "FT_SetLatencyTimer 2 -> 4"}));
}

TEST_F(UsbLink, CountersTellTheBoardsWorkFromTheLinksTime) {
    BeginWith("16F84A", 0);  // its answer arrives at 16 ms
    ASSERT_EQ(host.Command({CMD_PROGRAM, 0, 0x00, 0x04, 0x40, 0x00, 0xFF, 0x3F, 0, 0}, 1), "55");
    sim.ResetCounters();

    // Word by word: 33 frames, 64 ms of writing, then the acknowledgement waits for the timer.
    host.SendBlock(0, {});
    EXPECT_EQ(host.ReadHex(1), "A5");
    SimControl::Counters counted = sim.GetCounters();
    EXPECT_EQ(counted.writeCalls, 33u);
    EXPECT_EQ(counted.readCalls, 1u);
    EXPECT_EQ(counted.boardBusyMs, 64u);
    EXPECT_EQ(counted.elapsedMs, 112u);

    // One write and a 2 ms latency timer.
    ASSERT_EQ(host.setLatencyTimer(host.handle, 2), FT_OK);
    sim.ResetCounters();
    std::vector<std::uint8_t> block(66, 0x00);
    block[0] = 0x20;
    ASSERT_EQ(host.Write(block), FT_OK);
    EXPECT_EQ(host.ReadHex(1), "A5");
    counted = sim.GetCounters();
    EXPECT_EQ(counted.writeCalls, 1u);
    EXPECT_EQ(counted.readCalls, 1u);
    EXPECT_EQ(counted.boardBusyMs, 64u);
    EXPECT_EQ(counted.elapsedMs, 66u);

    sim.Reset();
    counted = sim.GetCounters();
    EXPECT_EQ(counted.writeCalls + counted.readCalls + counted.boardBusyMs + counted.elapsedMs, 0u);
}

}  // namespace
}  // namespace vek::test
