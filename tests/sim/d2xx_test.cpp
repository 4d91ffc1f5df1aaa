// The D2XX side. What the link costs on the virtual clock: a frame per write, the USB chip's
// packets and latency timer, read time-outs, and the counters that tell the link's time from the
// board's. Then opening the board, what a handle allows, unplugging, and read faults.
#include "sim_host.h"

namespace vek::test {
namespace {

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
    FT_STATUS status;
    unsigned long long firstAnswer;  // after the open
    unsigned long long secondAnswer;
};

TEST_F(UsbLink, AOneByteReplyWaitsForTheLatencyTimerOfTwoTo255MsThatEveryOpenSetsTo16) {
    // The write ends 1 ms after the open and the board answers at 2 ms; the byte leaves the
    // USB chip at the first expiry after that, and the next exchange waits a whole period.
    const LatencyCase cases[] = {{2, FT_OK, 2, 4},    {0, FT_INVALID_PARAMETER, 16, 32},
                                 {5, FT_OK, 5, 10},   {1, FT_INVALID_PARAMETER, 16, 32},
                                 {16, FT_OK, 16, 32}, {255, FT_OK, 255, 510}};
    for (const LatencyCase& latencyCase : cases) {
        SCOPED_TRACE(int{latencyCase.latency});
        ASSERT_EQ(host.close(host.handle), FT_OK);
        ASSERT_EQ(host.Open(), FT_OK);
        const unsigned long long opened = sim.ElapsedMs();
        EXPECT_EQ(host.setLatencyTimer(host.handle, latencyCase.latency), latencyCase.status);
        EXPECT_EQ(host.Command({CMD_TEST, 0xC9, 0x01, 0xFF}, 1), "55");
        EXPECT_EQ(sim.ElapsedMs() - opened, latencyCase.firstAnswer);
        EXPECT_EQ(host.Command({CMD_TEST, 0xC9, 0x01, 0xFF}, 1), "55");
        EXPECT_EQ(sim.ElapsedMs() - opened, latencyCase.secondAnswer);
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
        Restart();
        sim.FaultReply(CMD_TEST, 0, 0, VEKSIM_APPEND, packetCase.strayBytes);
        ASSERT_EQ(host.Write(FrameBytes({CMD_TEST, 0xC9, 0x01, 0xFF})), FT_OK);
        EXPECT_EQ(host.Read(packetCase.wanted).size(), packetCase.wanted);
        EXPECT_EQ(sim.ElapsedMs(), packetCase.arrival)
            << packetCase.strayBytes << " " << packetCase.wanted;
    }
}

TEST_F(UsbLink, AReadWaitsForMissingBytesOnlyAsLongAsItsTimeOut) {
    ASSERT_EQ(host.Write(FrameBytes({CMD_BEGIN, 0})), FT_OK);
    EXPECT_EQ(host.Queued(), 0u);  // nothing has arrived yet
    EXPECT_EQ(host.ReadHex(2), "55 76");
    EXPECT_EQ(sim.ElapsedMs(), 16u);
    EXPECT_EQ(host.ReadHex(1), "");
    EXPECT_EQ(sim.ElapsedMs(), 1016u);
    host.SetTimeout(TIMEOUT_LEFTOVER_MS);
    EXPECT_EQ(host.ReadHex(100), "");
    EXPECT_EQ(sim.ElapsedMs(), 1066u);
}

// "writeCalls readCalls boardBusyMs elapsedMs"
std::string Counted(const SimControl::Counters& counters) {
    return std::to_string(counters.writeCalls) + " " + std::to_string(counters.readCalls) + " " +
           std::to_string(counters.boardBusyMs) + " " + std::to_string(counters.elapsedMs);
}

TEST_F(UsbLink, CountersTellTheBoardsWorkFromTheLinksTime) {
    BeginWith("16F84A", 0);  // its answer arrives at 16 ms
    ASSERT_EQ(host.Command({CMD_PROGRAM, 0, 0x00, 0x04, 0x40, 0x00, 0xFF, 0x3F, 0, 0}, 1), "55");
    sim.ResetCounters();
    // Word by word: 33 frames, 64 ms of writing, then the acknowledgement waits for the timer.
    host.SendBlock(0, {});
    EXPECT_EQ(host.ReadHex(1), "A5");
    EXPECT_EQ(Counted(sim.GetCounters()), "33 1 64 112");

    // One write and a 2 ms latency timer.
    ASSERT_EQ(host.setLatencyTimer(host.handle, 2), FT_OK);
    sim.ResetCounters();
    std::vector<std::uint8_t> block(66, 0x00);
    block[0] = 0x20;
    ASSERT_EQ(host.Write(block), FT_OK);
    EXPECT_EQ(host.ReadHex(1), "A5");
    EXPECT_EQ(Counted(sim.GetCounters()), "1 1 64 66");

    sim.Reset();
    EXPECT_EQ(Counted(sim.GetCounters()), "0 0 0 0");
}

class D2xx : public SimulatorTest {
  protected:
    // Write, Read, Purge, SetTimeouts, GetQueueStatus, SetLatencyTimer, ResetDevice, Close.
    std::vector<FT_STATUS> EveryHandleCall(FT_HANDLE handle) {
        std::uint8_t byte = 0x01;
        D2xxDword count = 0;
        return {host.write(handle, &byte, 1, &count),
                host.read(handle, &byte, 1, &count),
                host.purge(handle, FT_PURGE_RX),
                host.setTimeouts(handle, 10, 10),
                host.getQueueStatus(handle, &count),
                host.setLatencyTimer(handle, 2),
                host.resetDevice(handle),
                host.close(handle)};
    }
};

TEST_F(D2xx, AnOpenBoardIsInUseAndAClosedStaleOrNullHandleIsRefusedAndDoesNothing) {
    FT_HANDLE second = nullptr;
    char description[] = "VEK Flash";
    EXPECT_EQ(host.openEx(description, FT_OPEN_BY_DESCRIPTION, &second), FT_DEVICE_NOT_OPENED);
    EXPECT_NE(host.open(0, &second), FT_OK);
    EXPECT_EQ(sim.CallLog().back(), "FT_Open 0 -> 3");  // never the way in

    const std::vector<FT_STATUS> refused(8, FT_INVALID_HANDLE);
    const FT_HANDLE first = host.handle;
    ASSERT_EQ(host.close(first), FT_OK);
    EXPECT_EQ(EveryHandleCall(first), refused);
    ASSERT_EQ(host.Open(), FT_OK);
    EXPECT_NE(host.handle, first);
    EXPECT_EQ(EveryHandleCall(first), refused);
    EXPECT_EQ(EveryHandleCall(nullptr), refused);
    EXPECT_TRUE(sim.HostBytes().empty());
    EXPECT_EQ(host.Command({CMD_TEST, 0xC9, 0x01, 0xFF}, 1), "55");  // still open
}

TEST_F(D2xx, AnUnpluggedBoardFailsEveryCallUntilItIsBackAndStartsAfresh) {
    sim.UnplugAfterCalls(0);
    sim.UnplugAfterCalls(-1);  // cancelled
    ASSERT_EQ(host.Command({CMD_ALLOW_POWER, 1}, 1), "55");
    ASSERT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 76");
    sim.UnplugAfterCalls(1);
    EXPECT_EQ(host.Write(FrameBytes({CMD_TEST, 0xC9, 0x01, 0xFF})), FT_OK);
    EXPECT_EQ(EveryHandleCall(host.handle), std::vector<FT_STATUS>(8, FT_IO_ERROR));
    D2xxDword count = 7;
    EXPECT_EQ(host.listDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(host.Open(), FT_DEVICE_NOT_FOUND);

    sim.SetAttached(true);
    ASSERT_EQ(host.Open(), FT_OK);
    EXPECT_EQ(sim.PowerState(), 0);
    EXPECT_FALSE(sim.InTransaction());
    host.SetTimeout(TIMEOUT_NORMAL_MS);
    EXPECT_EQ(host.Command({CMD_TEST, 0xC9, 0x01, 0xFF}, 2), "55");
}

// The fault matrix arms these on every read; a fault that did nothing would pass it unseen.
TEST_F(D2xx, TheChosenReadLosesOrChangesItsBytesWhateverTheBoardSent) {
    sim.FailCall("FT_Read", 0, FT_IO_ERROR);  // failed reads count too
    sim.FaultRead(2, 0, VEKSIM_REPLACE, 0x5A);
    sim.FaultRead(3, 0, VEKSIM_DROP);
    sim.FaultRead(4, 1, VEKSIM_REPLACE, 0x42);
    sim.FaultRead(5, 1, VEKSIM_DROP);
    ASSERT_EQ(host.Write(FrameBytes({CMD_BEGIN, 0})), FT_OK);
    std::uint8_t bytes[2];
    D2xxDword received = 9;
    EXPECT_EQ(host.read(host.handle, bytes, 2, &received), FT_IO_ERROR);
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(host.ReadHex(2), "55 76");  // the failed read took nothing
    EXPECT_EQ(host.ReadHex(4), "5A");     // where nothing came
    const unsigned long long before = sim.ElapsedMs();
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "");
    EXPECT_GE(sim.ElapsedMs(), before + TIMEOUT_NORMAL_MS);
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 42");
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55");
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 76");
}

}  // namespace
}  // namespace vek::test
