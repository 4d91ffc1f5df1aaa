// The D2XX side: finding and opening the board, handles, the receive queue and its timing,
// and the logs.
#include "sim_host.h"

namespace vek::test {
namespace {

class Presence : public ::testing::Test {
  protected:
    Presence() { sim.Reset(); }
    FT_STATUS Count(D2xxDword& count, D2xxDword flags = FT_LIST_NUMBER_ONLY) {
        count = 99;
        return host.listDevices(&count, nullptr, flags);
    }

    SimControl& sim = SimControl::Get();
    SimHost host;
};

TEST_F(Presence, OnlyAnAttachedBoardIsCountedAndOnlyItsDescriptionOpensIt) {
    D2xxDword count = 0;
    EXPECT_EQ(Count(count), FT_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_NE(Count(count, 0), FT_OK);

    char other[] = "VEK Flash2";
    EXPECT_EQ(host.openEx(other, FT_OPEN_BY_DESCRIPTION, &host.handle), FT_DEVICE_NOT_FOUND);
    sim.SetOpenFails(true);
    EXPECT_NE(host.Open(), FT_OK);
    sim.SetOpenFails(false);

    sim.SetAttached(false);
    EXPECT_EQ(Count(count), FT_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(host.Open(), FT_DEVICE_NOT_FOUND);
    sim.SetAttached(true);
    EXPECT_EQ(host.Open(), FT_OK);
    EXPECT_NE(host.handle, nullptr);
}

TEST_F(Presence, AnOpenBoardIsInUseAndFtOpenIsNeverTheWayIn) {
    ASSERT_EQ(host.Open(), FT_OK);
    FT_HANDLE second = nullptr;
    char description[] = "VEK Flash";
    EXPECT_EQ(host.openEx(description, FT_OPEN_BY_DESCRIPTION, &second), FT_DEVICE_NOT_OPENED);
    EXPECT_NE(host.open(0, &second), FT_OK);
    EXPECT_EQ(sim.CallLog().back(), "FT_Open 0 -> 3");
}

TEST_F(Presence, StaleAndNullHandlesAreRefusedAndDoNothing) {
    ASSERT_EQ(host.Open(), FT_OK);
    const FT_HANDLE first = host.handle;
    ASSERT_EQ(host.close(first), FT_OK);
    EXPECT_EQ(host.Write({0x01, 0x5D, 0x5C}), FT_INVALID_HANDLE);
    EXPECT_EQ(host.close(first), FT_INVALID_HANDLE);
    EXPECT_EQ(host.resetDevice(nullptr), FT_INVALID_HANDLE);
    EXPECT_TRUE(sim.HostBytes().empty());

    ASSERT_EQ(host.Open(), FT_OK);
    EXPECT_NE(host.handle, first);
    EXPECT_EQ(host.purge(first, FT_PURGE_RX), FT_INVALID_HANDLE);
    EXPECT_EQ(host.Write({0x01, 0x5D, 0x5C}), FT_OK);
    EXPECT_EQ(sim.PowerState(), 0);
}

class ReceiveQueue : public SimulatorTest {};

TEST_F(ReceiveQueue, AReadWaitsForItsBytesOnlyAsLongAsTheTimeOut) {
    ASSERT_EQ(host.Write(FrameBytes({CMD_BEGIN, 0})), FT_OK);
    EXPECT_EQ(host.Queued(), 0u);  // nothing has arrived yet
    EXPECT_EQ(host.ReadHex(2), "55 76");
    // Both bytes waited in the USB chip for the latency timer, which runs from the open.
    EXPECT_EQ(sim.ElapsedMs(), 16u);

    EXPECT_EQ(host.ReadHex(1), "");
    EXPECT_EQ(sim.ElapsedMs(), 1016u);
    host.SetTimeout(TIMEOUT_LEFT_OVER_MS);
    EXPECT_EQ(host.ReadHex(100), "");
    EXPECT_EQ(sim.ElapsedMs(), 1066u);
}

TEST_F(ReceiveQueue, PurgeDropsAllTheBoardHasSentButNotItsLaterAnswers) {
    sim.InjectStrayBytes({0x01, 0x02});
    EXPECT_EQ(host.Queued(), 2u);
    ASSERT_EQ(host.Write(FrameBytes({CMD_BEGIN, 0})), FT_OK);
    ASSERT_EQ(host.purge(host.handle, FT_PURGE_RX), FT_OK);
    EXPECT_EQ(host.ReadHex(1), "");
    EXPECT_EQ(host.Command({CMD_END, 0}, 1), "55");
    EXPECT_EQ(host.purge(host.handle, 0), FT_OK);
    sim.InjectStrayBytes({0x01});
    EXPECT_EQ(host.Queued(), 1u);
}

TEST_F(ReceiveQueue, ResetDeviceForgetsAPartialFrameAndTheQueue) {
    ASSERT_EQ(host.Write({0x04, 0x50, 0xC9}), FT_OK);
    sim.InjectStrayBytes({0x01});
    ASSERT_EQ(host.resetDevice(host.handle), FT_OK);
    EXPECT_EQ(host.Queued(), 0u);
    EXPECT_EQ(host.Command({CMD_TEST, 0xC9, 0x01, 0xFF}, 2), "55");
}

TEST_F(ReceiveQueue, WithoutATimeOutAReadTakesWhatTheBoardWillSendAndNoMore) {
    sim.Reset();
    ASSERT_EQ(host.Open(), FT_OK);
    ASSERT_EQ(host.Write(FrameBytes({CMD_BEGIN, 0})), FT_OK);
    EXPECT_EQ(host.ReadHex(3), "55 76");
    EXPECT_EQ(sim.ElapsedMs(), 16u);
    EXPECT_EQ(host.ReadHex(1), "");
    EXPECT_EQ(sim.ElapsedMs(), 16u);
}

class Logs : public SimulatorTest {};

TEST_F(Logs, EveryCallIsLoggedWithItsArgumentsAndEveryByteBothWays) {
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 1), "55");
    host.SetTimeout(TIMEOUT_BLANK_RESULT_MS);
    EXPECT_EQ(host.Queued(), 1u);  // it came in the acknowledgement's USB packet
    EXPECT_EQ(host.ReadHex(1), "76");
    ASSERT_EQ(host.purge(host.handle, FT_PURGE_RX), FT_OK);
    EXPECT_EQ(sim.CallLog(), (std::vector<std::string>{
                                 "FT_Write 02 53 00 51 -> 0", "FT_Read 1 -> 0 [55]",
                                 "FT_SetTimeouts 15000 15000 -> 0", "FT_GetQueueStatus -> 0 [1]",
                                 "FT_Read 1 -> 0 [76]", "FT_Purge 1 -> 0"}));
    EXPECT_EQ(Hex(sim.HostBytes()), "02 53 00 51");
    EXPECT_EQ(Hex(sim.DeviceBytes()), "55 76");

    sim.ClearLogs();
    EXPECT_TRUE(sim.CallLog().empty());
    EXPECT_TRUE(sim.HostBytes().empty());
    EXPECT_TRUE(sim.DeviceBytes().empty());
    EXPECT_GT(sim.ElapsedMs(), 0u);  // the clock is not a log
}

}  // namespace
}  // namespace vek::test
