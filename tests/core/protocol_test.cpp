#include <algorithm>
#include <array>

#include "link/link_messages.h"
#include "link/protocol.h"
#include "sim_fixture.h"

namespace vek::test {
namespace {

class Protocol : public SimTest {
  protected:
    void SetUp() override { OpenProgrammer(); }
};

TEST_F(Protocol, WorkedFramesByteForByte) {
    EXPECT_TRUE(session.link.SendCommand({CMD_TEST, 0xC9, 0x01, 0xFF}));
    EXPECT_EQ(HostHex(), "04 50 C9 01 FF 63");

    sim.ClearLogs();
    EXPECT_TRUE(session.link.SendCommand({CMD_BEGIN, 0}));
    EXPECT_EQ(HostHex(), "02 53 00 51");

    sim.ClearLogs();
    EXPECT_TRUE(session.link.SendCommand({CMD_POWER_ON}));
    EXPECT_EQ(HostHex(), "01 5D 5C");

    sim.ClearLogs();
    ASSERT_TRUE(sim.SelectChip("16F877"));
    EXPECT_TRUE(session.link.SendCommand({CMD_BLANK_CHECK, 7, 0x00, 0x20}));
    EXPECT_EQ(HostHex(), "04 5C 07 00 20 7F");

    sim.ClearLogs();
    EXPECT_EQ(session.link.SendWord(0x2100), 0);
    EXPECT_EQ(HostHex(), "00 21");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Protocol, SendCommandPurgesAndSetsTimeoutsBeforeWritingThenReadsOneByte) {
    ASSERT_TRUE(session.link.SendCommand({CMD_END, 0}));
    const std::vector<std::string> calls = sim.CallLog();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].rfind("FT_Purge 1", 0), 0u) << calls[0];
    EXPECT_EQ(calls[1].rfind("FT_SetTimeouts 1000 1000", 0), 0u) << calls[1];
    EXPECT_EQ(calls[2].rfind("FT_Write 02 54 00 56", 0), 0u) << calls[2];
    EXPECT_EQ(calls[3].rfind("FT_Read 1", 0), 0u) << calls[3];
}

TEST_F(Protocol, StaleBytesNeverCountAsTheAcknowledgement) {
    sim.InjectStrayBytes({REPLY_FRAME_OK});
    sim.FaultReply(CMD_TEST, 0, 0, VEKSIM_DROP);
    EXPECT_FALSE(session.link.SendCommand({CMD_TEST, 0xC9, 0x01, 0xFF}));
    EXPECT_EQ(ui.fatalRequests, 1);
}

TEST_F(Protocol, WrongAcknowledgementIsFatal) {
    sim.FaultReply(CMD_TEST, 0, 0, VEKSIM_REPLACE, 0x56);
    EXPECT_FALSE(session.link.SendCommand({CMD_TEST, 0xC9, 0x01, 0xFF}));
    EXPECT_EQ(ui.messages, std::vector<std::string>{FatalMessage("(1f)")});
    EXPECT_EQ(ui.fatalRequests, 1);
    EXPECT_EQ(sim.CallLog().back().rfind("FT_Close -> 0", 0), 0u);
    EXPECT_EQ(FatalMessage("(1f)"),
              "VEK Flash programmer is not responding to commands.(1f)\nDisconnect the "
              "programmer from the USB cable, check\nthe processor type and try again.\n\nThis "
              "application will now terminate!");
}

TEST_F(Protocol, MissingAcknowledgementIsFatal) {
    sim.FaultReply(CMD_TEST, 0, 0, VEKSIM_DROP);
    EXPECT_FALSE(session.link.SendCommand({CMD_TEST, 0xC9, 0x01, 0xFF}));
    EXPECT_EQ(ui.messages, std::vector<std::string>{FatalMessage("(1f)")});
    EXPECT_EQ(ui.fatalRequests, 1);
}

TEST_F(Protocol, AfterTheShutdownNothingMoreIsSentOrClosed) {
    session.link.FatalLinkShutdown();
    session.link.FatalLinkShutdown();
    EXPECT_EQ(ui.fatalRequests, 1);
    EXPECT_FALSE(session.link.SendCommand({CMD_END, 0}));
    EXPECT_EQ(session.link.SendWord(0), 1);
    const std::array<std::int32_t, 32> words{};
    session.link.SendBlock(0, words);
    session.link.SetFastTransfers(false);
    session.link.SendBlock(0, words);
    EXPECT_EQ(sim.CallLog(), std::vector<std::string>{"FT_Close -> 0"});
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Protocol, FailedCallsAreReportedWithoutShuttingDown) {
    sim.FailCall("FT_Write", 0);
    EXPECT_FALSE(session.link.SendCommand({CMD_TEST, 0xC9, 0x01, 0xFF}));
    sim.FailCall("FT_Read", 0);
    EXPECT_FALSE(session.link.SendCommand({CMD_TEST, 0xC9, 0x01, 0xFF}));
    EXPECT_EQ(ui.messages,
              (std::vector<std::string>{"Driver error writing to VEK Flash. ",
                                        "VEK-Flash programmer not responding to commands.(139)"}));
    EXPECT_EQ(ui.fatalRequests, 0);
}

TEST_F(Protocol, SendWordKeepsTheLow16BitsAndReportsAFailedWrite) {
    EXPECT_EQ(session.link.SendWord(0x7F3FF2), 0);
    EXPECT_EQ(session.link.SendWord(-3), 0);
    EXPECT_EQ(HostHex(), "F2 3F FD FF");

    sim.FailCall("FT_Write", 0);
    EXPECT_EQ(session.link.SendWord(0x1234), 1);
    EXPECT_EQ(ui.messages,
              std::vector<std::string>{"Error: Could not write to VEK Flash programmer.(T16)"});
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

struct BlockMode {
    bool fast;
    int writes;
};

TEST_F(Protocol, ABlockIsTheSameBytesInOneWriteOrInOneWritePerWord) {
    const std::array<std::int32_t, 32> words = BlockOfWords();
    for (const BlockMode mode : {BlockMode{true, 1}, BlockMode{false, 33}}) {
        sim.ClearLogs();
        session.link.SetFastTransfers(mode.fast);
        EXPECT_EQ(session.link.FastTransfers(), mode.fast);
        session.link.SendBlock(0x2100, words);
        EXPECT_EQ(HostHex(),
                  "00 21 F2 3F 01 01 02 02 03 03 04 04 05 05 06 06 07 07 08 08 09 09 0A 0A 0B 0B "
                  "0C 0C 0D 0D 0E 0E 0F 0F 10 10 11 11 12 12 13 13 14 14 15 15 16 16 17 17 18 18 "
                  "19 19 1A 1A 1B 1B 1C 1C 1D 1D 1E 1E FD FF")
            << mode.fast;
        const std::vector<std::string> calls = sim.CallLog();
        EXPECT_EQ(
            std::count_if(calls.begin(), calls.end(),
                          [](const std::string& call) { return call.starts_with("FT_Write"); }),
            mode.writes)
            << mode.fast;
        EXPECT_EQ(calls.size(), static_cast<std::size_t>(mode.writes));
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Protocol, AFailedBlockWriteIsReportedOnceAndEveryFailedWordByItself) {
    const std::string T16 = "Error: Could not write to VEK Flash programmer.(T16)";
    const std::array<std::int32_t, 32> words = BlockOfWords();
    sim.FailCall("FT_Write", 0);
    session.link.SendBlock(0x0020, words);
    EXPECT_EQ(ui.messages, std::vector<std::string>{T16});
    EXPECT_TRUE(sim.HostBytes().empty());

    ui.messages.clear();
    session.link.SetFastTransfers(false);
    sim.FailCall("FT_Write", 0);
    sim.FailCall("FT_Write", 4);
    session.link.SendBlock(0x0020, words);
    EXPECT_EQ(ui.messages, (std::vector<std::string>{T16, T16}));
    EXPECT_EQ(sim.HostBytes().size(), 62u);  // the other 31 words went out
    EXPECT_EQ(ui.fatalRequests, 0);
}

TEST_F(Protocol, ReplyTellsAMissingByteFromAFailedRead) {
    Reply reply = session.link.ReadReply();
    EXPECT_EQ(reply.status, Reply::Status::Missing);
    EXPECT_FALSE(reply.Is(0));  // a byte that never came is not the zero byte

    sim.InjectStrayBytes({REPLY_READY});
    reply = session.link.ReadReply();
    EXPECT_TRUE(reply.Is(REPLY_READY));

    sim.FailCall("FT_Read", 0);
    reply = session.link.ReadReply();
    EXPECT_TRUE(reply.ReadFailed());
    EXPECT_FALSE(reply.Is(0));
}

TEST_F(Protocol, DrainInputEmptiesTheQueue) {
    sim.InjectStrayBytes(std::vector<std::uint8_t>(300, 0x42));
    session.link.DrainInput();
    std::uint32_t waiting = 99;
    EXPECT_EQ(session.link.GetQueueStatus(&waiting), FT_OK);
    EXPECT_EQ(waiting, 0u);
    EXPECT_EQ(ui.pauses.front(), 2);
}

TEST_F(Protocol, DrainInputEndsWhenTheDeviceIsGone) {
    sim.InjectStrayBytes({1, 2, 3});
    sim.FailCall("FT_GetQueueStatus", -1);
    session.link.DrainInput();  // must return rather than spin
    EXPECT_EQ(ui.pauses.size(), 1u);
}

}  // namespace
}  // namespace vek::test
