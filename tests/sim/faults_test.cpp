// Faults a test arms: unplugging, failing calls, damaged reads and reply bytes, stray bytes.
#include <cstdlib>

#include "sim_host.h"

namespace vek::test {
namespace {

class Unplug : public SimulatorTest {};

TEST_F(Unplug, AfterTheGivenCallsEveryCallFailsUntilTheBoardIsBackAndStartsAfresh) {
    ASSERT_EQ(host.Command({CMD_ALLOW_POWER, 1}, 1), "55");
    ASSERT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 76");
    sim.UnplugAfterCalls(1);
    EXPECT_EQ(host.Write(FrameBytes({CMD_TEST, 0xC9, 0x01, 0xFF})), FT_OK);
    D2xxDword count = 7;
    EXPECT_NE(host.getQueueStatus(host.handle, &count), FT_OK);
    EXPECT_NE(host.Write({0x01}), FT_OK);
    EXPECT_EQ(host.listDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_NE(host.Open(), FT_OK);
    EXPECT_NE(host.close(host.handle), FT_OK);

    sim.SetAttached(true);
    ASSERT_EQ(host.Open(), FT_OK);
    EXPECT_EQ(sim.PowerState(), 0);
    EXPECT_FALSE(sim.InTransaction());
    host.SetTimeout(TIMEOUT_NORMAL_MS);
    EXPECT_EQ(host.Command({CMD_TEST, 0xC9, 0x01, 0xFF}, 2), "55");
}

TEST_F(Unplug, MinusOneCancelsTheCountdown) {
    sim.UnplugAfterCalls(0);
    sim.UnplugAfterCalls(-1);
    EXPECT_EQ(host.Queued(), 0u);
}

class FailCall : public SimulatorTest {};

TEST_F(FailCall, ACallFailsOnceAtTheChosenOccurrenceAndDoesNothing) {
    sim.FailCall("FT_Write", 1, FT_IO_ERROR);
    EXPECT_EQ(host.Write(FrameBytes({CMD_END, 0})), FT_OK);
    EXPECT_EQ(host.Write(FrameBytes({CMD_BEGIN, 0})), FT_IO_ERROR);
    EXPECT_EQ(host.Write(FrameBytes({CMD_END, 0})), FT_OK);
    EXPECT_EQ(Hex(sim.HostBytes()), "02 54 00 56 02 54 00 56");
    EXPECT_FALSE(sim.InTransaction());
    EXPECT_EQ(sim.CallLog()[1], "FT_Write 02 53 00 51 -> 4");
}

TEST_F(FailCall, AFailedReadTakesNothingAndMinusOneFailsEveryLaterCall) {
    ASSERT_EQ(host.Write(FrameBytes({CMD_BEGIN, 0})), FT_OK);
    std::uint8_t buffer[2];
    D2xxDword received = 9;
    sim.FailCall("FT_Read", 0, 7);
    EXPECT_EQ(host.read(host.handle, buffer, 2, &received), 7u);
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(host.ReadHex(2), "55 76");

    sim.FailCall("FT_Read", -1, 7);
    EXPECT_EQ(host.read(host.handle, buffer, 2, &received), 7u);
    EXPECT_EQ(host.read(host.handle, buffer, 2, &received), 7u);
    EXPECT_EQ(Hex(sim.DeviceBytes()), "55 76");
}

class ReadFaults : public SimulatorTest {};

TEST_F(ReadFaults, TheChosenReadLosesOrChangesItsBytesWhateverTheBoardSent) {
    sim.FaultRead(1, 0, VEKSIM_DROP);
    sim.FaultRead(2, 1, VEKSIM_REPLACE, 0x42);
    sim.FaultRead(3, 1, VEKSIM_DROP);
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 76");
    const unsigned long long before = sim.ElapsedMs();
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "");
    EXPECT_GE(sim.ElapsedMs(), before + TIMEOUT_NORMAL_MS);
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 42");
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55");
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 76");
    EXPECT_EQ(sim.CallLog()[3], "FT_Read 2 -> 0 []");
}

TEST_F(ReadFaults, AReplacedByteArrivesWhereNoneCameAndFailedReadsCount) {
    sim.FailCall("FT_Read", 0, FT_IO_ERROR);
    sim.FaultRead(1, 0, VEKSIM_REPLACE, 0x5A);
    std::uint8_t byte = 0;
    D2xxDword received = 0;
    EXPECT_EQ(host.read(host.handle, &byte, 1, &received), FT_IO_ERROR);
    EXPECT_EQ(host.ReadHex(4), "5A");
    EXPECT_EQ(host.ReadHex(1), "");
}

class ReplyFaults : public SimulatorTest {};

TEST_F(ReplyFaults, ByteActionsOnTheChosenOccurrenceOfACommand) {
    sim.FaultReply(CMD_BEGIN, 1, 1, VEKSIM_DROP);
    sim.FaultReply(CMD_BEGIN, 2, 1, VEKSIM_REPLACE, 0x00);
    sim.FaultReply(CMD_BEGIN, 3, 0, VEKSIM_APPEND, 2);
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 76");
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55");
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 00");
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 5), "55 00 00 76");
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 76");
}

TEST_F(ReplyFaults, ADelayedByteMissesTheTimeOutButStillComes) {
    sim.FaultReply(CMD_TEST, 0, 0, VEKSIM_DELAY, 1500);
    EXPECT_EQ(host.Command({CMD_TEST, 0xC9, 0x01, 0xFF}, 1), "");
    EXPECT_EQ(host.ReadHex(1), "55");
    EXPECT_GE(sim.ElapsedMs(), 1500u);
    EXPECT_LT(sim.ElapsedMs(), 2000u);
}

TEST_F(ReplyFaults, BlocksArePickedByAddressOrAsTheNthProgramBlock) {
    BeginWith("16F84A", 0);
    sim.FaultReply(VEKSIM_ANCHOR_ANY_PROGRAM_BLOCK, 2, 0, VEKSIM_REPLACE, REPLY_FAIL);
    sim.FaultReply(VEKSIM_ANCHOR_BLOCK | BLOCK_CONFIG, 0, 1, VEKSIM_DROP);
    sim.FaultReply(VEKSIM_ANCHOR_BLOCK | BLOCK_END, 0, 0, VEKSIM_REPLACE, 0x00);
    ASSERT_EQ(host.Command({CMD_PROGRAM, 0, 0x00, 0x04, 0x40, 0, 0xFF, 0x3F, 0, 0}, 1), "55");
    std::string acks;
    for (int address = 0; address < 128; address += BLOCK_WORDS) {
        host.SendBlock(address, {});
        acks += host.ReadHex(1) + " ";
    }
    EXPECT_EQ(acks, "A5 A5 5A A5 ");
    host.SendBlock(BLOCK_CONFIG, {});
    EXPECT_EQ(host.ReadHex(2), "76");
    host.SendBlock(BLOCK_END, {});
    EXPECT_EQ(host.ReadHex(1), "00");
}

TEST_F(ReplyFaults, TheAnswerToAReadRunsThroughItsWholeStream) {
    BeginWith("16F84A", 0);
    sim.FaultReply(CMD_READ, 0, 7 + 64, VEKSIM_REPLACE, 0x42);
    ASSERT_EQ(host.Command({CMD_READ, 0, 0x40, 0x00, 0x00, 0x00}, 7).size(), 20u);
    EXPECT_EQ(host.Read(64)[0], 0xFF);
    ASSERT_EQ(host.Write({HOST_ACK}), FT_OK);
    EXPECT_EQ(host.Read(64)[0], 0x42);
}

TEST_F(ReplyFaults, StrayBytesComeBeforeTheAnswerOnItsWay) {
    ASSERT_EQ(host.Write(FrameBytes({CMD_BEGIN, 0})), FT_OK);
    sim.InjectStrayBytes({0x01, 0x02});
    EXPECT_EQ(host.ReadHex(4), "01 02 55 76");
}

// A program under test in a process of its own gets its faults through the environment.
class EnvironmentFaults : public ::testing::Test {
  protected:
    void TearDown() override {
        unsetenv("VEKSIM_FAULTS");
        sim.Reset();
    }
    void ResetWith(const char* faults) {
        setenv("VEKSIM_FAULTS", faults, 1);
        sim.Reset();
    }

    SimControl& sim = SimControl::Get();
    SimHost host;
};

TEST_F(EnvironmentFaults, ReplyFaultsAreArmedAtReset) {
    ResetWith("reply:0x53,1,1,1,0x00;reply:83,2,1,0,0");
    ASSERT_EQ(host.Open(), FT_OK);
    host.SetTimeout(TIMEOUT_NORMAL_MS);
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 76");
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55 00");
    EXPECT_EQ(host.Command({CMD_BEGIN, 0}, 2), "55");
}

TEST_F(EnvironmentFaults, ADetachedBoardIsNeitherCountedNorOpened) {
    ResetWith("detached");
    D2xxDword count = 7;
    EXPECT_EQ(host.listDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(host.Open(), FT_DEVICE_NOT_FOUND);
}

}  // namespace
}  // namespace vek::test
