// Command frames, words and blocks on the wire, and the link's answers to a programmer that
// does not reply as it must.
#include <array>

#include "link/protocol.h"
#include "sim_fixture.h"

namespace vek::test {
namespace {

const std::string T16 = "Error: Could not write to VEK Flash programmer.(T16)";

class Protocol : public SimTest {
  protected:
    void SetUp() override { Open(); }
};

TEST_F(Protocol, SendCommandPurgesAndSetsTimeoutsBeforeWritingThenReadsOneByte) {
    ASSERT_TRUE(programmer.link.SendCommand({CMD_END, 0}));
    const std::vector<std::string> calls = sim.CallLog();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].rfind("FT_Purge 1", 0), 0u) << calls[0];
    EXPECT_EQ(calls[1].rfind("FT_SetTimeouts 1000 1000", 0), 0u) << calls[1];
    EXPECT_EQ(calls[2].rfind("FT_Write 02 54 00 56", 0), 0u) << calls[2];
    EXPECT_EQ(calls[3].rfind("FT_Read 1", 0), 0u) << calls[3];
}

TEST_F(Protocol, AnAcknowledgementThatIsNotThereIsFatalAndAFailedCallIsNot) {
    const Injection dropped = FaultReply(CMD_TEST, 0, VEKSIM_DROP);
    // Purged before the frame goes out, so it never counts as the acknowledgement.
    const Injection staleOnly = [dropped](SimControl& s) {
        s.InjectStrayBytes({0x55});
        dropped(s);
    };
    const std::pair<Injection, std::string> cases[] = {
        {FaultReply(CMD_TEST, 0, VEKSIM_REPLACE, 0x56), FATAL_1F},
        {dropped, FATAL_1F},
        {staleOnly, FATAL_1F},
        {FailWrite(0), DRIVER_ERROR},
        {FailRead(0), "VEK-Flash programmer not responding to commands.(139)"},
    };
    for (const auto& [inject, message] : cases) {
        SCOPED_TRACE(message);
        Bench bench(0);
        inject(bench.sim);
        EXPECT_FALSE(bench.programmer.link.SendCommand({CMD_TEST, 0xC9, 0x01, 0xFF}));
        EXPECT_EQ(bench.ui.messages, std::vector<std::string>{message});
        const bool fatal = message == FATAL_1F;
        EXPECT_EQ(bench.programmer.link.IsShutDown(), fatal);
        EXPECT_EQ(bench.sim.CallLog().back().starts_with("FT_Close -> 0"), fatal);
    }
}

// Address 0x2100, then words whose bits above 15 must not travel.
std::array<std::int32_t, 32> BlockOfWords() {
    std::array<std::int32_t, 32> words{};
    for (int k = 0; k < 32; ++k) {
        words[k] = 0x0101 * k;
    }
    words[0] = 0x7F3FF2;
    words[31] = -3;
    return words;
}

TEST_F(Protocol, ABlockIsTheSameBytesInOneWriteOrInOneWritePerWord) {
    for (const auto& [fast, writes] : {std::pair{true, 1}, std::pair{false, 33}}) {
        SCOPED_TRACE(fast);
        sim.ClearLogs();
        sim.ResetCounters();
        programmer.link.SetFastTransfers(fast);
        EXPECT_EQ(programmer.link.FastTransfers(), fast);
        programmer.link.SendBlock(0x2100, BlockOfWords());
        EXPECT_EQ(HostHex(),
                  "00 21 F2 3F 01 01 02 02 03 03 04 04 05 05 06 06 07 07 08 08 09 09 0A 0A 0B 0B "
                  "0C 0C 0D 0D 0E 0E 0F 0F 10 10 11 11 12 12 13 13 14 14 15 15 16 16 17 17 18 18 "
                  "19 19 1A 1A 1B 1B 1C 1C 1D 1D 1E 1E FD FF");
        EXPECT_EQ(sim.GetCounters().writeCalls, static_cast<unsigned>(writes));
        EXPECT_EQ(sim.CallLog().size(), static_cast<std::size_t>(writes));
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Protocol, AFailedBlockWriteIsReportedOnceAndEveryFailedWordByItself) {
    sim.FailCall("FT_Write", 0);
    programmer.link.SendBlock(0x0020, BlockOfWords());
    EXPECT_EQ(ui.messages, std::vector<std::string>{T16});
    EXPECT_TRUE(sim.HostBytes().empty());

    ui.messages.clear();
    programmer.link.SetFastTransfers(false);
    sim.FailCall("FT_Write", 0);
    sim.FailCall("FT_Write", 4);
    programmer.link.SendBlock(0x0020, BlockOfWords());
    EXPECT_EQ(ui.messages, (std::vector<std::string>{T16, T16}));
    EXPECT_EQ(sim.HostBytes().size(), 62u);  // the other 31 words went out
    EXPECT_FALSE(programmer.link.IsShutDown());
}

TEST_F(Protocol, DrainInputEmptiesTheQueueAndEndsWhenTheDeviceIsGone) {
    sim.InjectStrayBytes(std::vector<std::uint8_t>(300, 0x42));
    programmer.link.DrainInput();
    std::uint32_t waiting = 99;
    EXPECT_EQ(programmer.link.Queued(waiting), UsbStatus::Ok);
    EXPECT_EQ(waiting, 0u);
    ASSERT_FALSE(ui.pauses.empty());
    EXPECT_EQ(ui.pauses.front(), 2);

    ui.pauses.clear();
    sim.InjectStrayBytes({1, 2, 3});
    sim.FailCall("FT_GetQueueStatus", -1);
    programmer.link.DrainInput();  // must return rather than spin
    EXPECT_EQ(ui.pauses.size(), 1u);
}

}  // namespace
}  // namespace vek::test
