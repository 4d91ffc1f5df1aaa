#include "operations/read.h"
#include "link/protocol.h"
#include "operations/verify.h"
#include "read_stream_faults.h"

namespace vek::test {
namespace {

// Host bytes of a whole read: the frames, and one HOST_ACK per block.
std::string ReadExchange(std::uint8_t index, std::initializer_list<std::uint8_t> readPayload,
                         int blocks) {
    std::vector<std::string> parts{Frame({CMD_BEGIN, index}), Frame({CMD_READ_ID, index}),
                                   Frame(readPayload)};
    parts.insert(parts.end(), blocks, "A5");
    parts.push_back(Frame({CMD_END, index}));
    return Join(parts);
}

class ReadTest : public SimTest {
  protected:
    void SetUp() override { OpenProgrammer(); }
};

TEST_F(ReadTest, Pic16ChipFillsTheImageTheFieldsAndTheListing) {
    UseTarget(7);
    sim.WriteWord(VEKSIM_PROGRAM, 0, 0x2805);
    sim.WriteWord(VEKSIM_PROGRAM, 8191, 0x0123);
    sim.WriteWord(VEKSIM_CONFIG, 7, 0x3D3A);
    for (int location = 0; location < 4; ++location) {
        sim.WriteWord(VEKSIM_EEPROM, location, location + 1);
    }
    sim.WriteWord(VEKSIM_EEPROM, 255, 0xEE);
    session.CurrentFuseXText = "440";
    ui.controls.FuseXText = "440";
    sim.ClearLogs();
    // Commands that arrive between the blocks are turned away without a word.
    ui.onPump = [this] {
        ReadTarget(session);
        VerifyTarget(session);
    };

    EXPECT_TRUE(ReadTarget(session).Succeeded());
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(ui.hexData.size(), 2114u);
    EXPECT_EQ(ui.hexData[0], "Program data from microcontroller:");
    EXPECT_EQ(ui.hexData[1], "0000:   2805   3FFF   3FFF   3FFF");
    EXPECT_EQ(ui.hexData[2048], "1FFC:   3FFF   3FFF   3FFF   0123");
    EXPECT_EQ(ui.hexData[2049], "EEPROM Data:");
    // The extra byte before the EEPROM is taken, so every byte stands at its own location.
    EXPECT_EQ(ui.hexData[2050], "2100:    01    02    03    04   (0..3)");
    EXPECT_EQ(ui.hexData[2113], "21FC:    FF    FF    FF    EE   (252..255)");

    EXPECT_EQ(ui.controls.FuseText, "3D3A");
    EXPECT_EQ(ui.controls.FuseXText, "---");
    EXPECT_EQ(session.CurrentFuseText, "3D3A");
    EXPECT_EQ(session.CurrentFuseXText, "440");
    EXPECT_EQ(ui.editorRefreshes, 1);
    // Kept apart for saving, whatever later commands do to the image.
    ASSERT_TRUE(session.lastRead.has_value());
    EXPECT_EQ(session.lastRead->target.name, "16F877");
    EXPECT_EQ(session.lastRead->words.fuse, 0x3D3A);
    EXPECT_EQ(session.lastRead->image[8191], 0x0123);
    EXPECT_EQ(session.lastRead->image[0x21FF], 0xEE);

    EXPECT_EQ(HostHex(), ReadExchange(7, {CMD_READ, 7, 0x00, 0x20, 0x00, 0x01}, 256 + 4));
    EXPECT_EQ(ui.pauses.front(), 100);
    ASSERT_EQ(ui.progress.size(), 257u);  // 0 at the start, then once per program block
    EXPECT_EQ(ui.progress.back(), 99);
    EXPECT_EQ(ui.pumps, 256);
    EXPECT_EQ(ui.hexDataPrepared, 1);
    EXPECT_FALSE(sim.InTransaction());
    ExpectFlagsCleared(session, ui);
}

TEST_F(ReadTest, SxChipShowsTwelveBitWordsAndReadsNoEeprom) {
    UseTarget(9);
    sim.WriteWord(VEKSIM_PROGRAM, 4095, 0x0A5);
    sim.WriteWord(VEKSIM_FUSE, 0, 0x4E9);
    sim.WriteWord(VEKSIM_FUSEX, 0, 0x440);
    // High nibbles above the 12 bits are cut off in the fields.
    sim.FaultReply(CMD_READ, 0, 3, VEKSIM_REPLACE, 0xF4);
    sim.FaultReply(CMD_READ, 0, 5, VEKSIM_REPLACE, 0x74);
    sim.ClearLogs();

    EXPECT_TRUE(ReadTarget(session).Succeeded());
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(ui.hexData.size(), 1025u);
    EXPECT_EQ(ui.hexData[1], "0000:   0FFF   0FFF   0FFF   0FFF");
    EXPECT_EQ(ui.hexData[1024], "0FFC:   0FFF   0FFF   0FFF   00A5");
    EXPECT_EQ(ui.controls.FuseText, "4E9");
    EXPECT_EQ(ui.controls.FuseXText, "440");
    EXPECT_EQ(session.CurrentFuseText, "4E9");
    EXPECT_EQ(session.CurrentFuseXText, "440");
    ASSERT_TRUE(session.lastRead.has_value());
    EXPECT_EQ(session.lastRead->words.fuse, 0x4E9);
    EXPECT_EQ(session.lastRead->words.fuseX, 0x440);
    EXPECT_EQ(HostHex(), ReadExchange(9, {CMD_READ, 9, 0x00, 0x10, 0x00, 0x00}, 128));
    ExpectFlagsCleared(session, ui);
}

TEST_F(ReadTest, AShortProgramBlockIsDrainedAndResentOnce) {
    UseTarget(0);
    sim.WriteWord(VEKSIM_PROGRAM, 32, 0x1234);
    sim.ShortReadBlock(1, 1, 10);
    sim.ClearLogs();

    EXPECT_TRUE(ReadTarget(session).Succeeded());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.hexData[9], "0020:   1234   3FFF   3FFF   3FFF");
    EXPECT_NE(HostHex().find("A5 11 A5"), std::string::npos);  // block 0, resend, block 1
    EXPECT_EQ(ui.pauses, (std::vector<int>{100, 2}));
}

// A fault of a 16F84A read (the order of calls: read_stream_faults.h).
struct ReadFailure {
    const char* name;
    Injection inject;
    std::vector<std::string> messages;
    int endFrames = 1;    // 0 when it failed before CMD_READ
    bool listed = false;  // the read went on to the listing
};

TEST_F(ReadTest, EveryFailureShowsItsMessageAndEndsTheStreamAsItMust) {
    const std::string fatal6 =
        "VEK Flash programmer is not responding to commands.(6)\nDisconnect the programmer from "
        "the USB cable, check\nthe processor type and try again.\n\nThis application will now "
        "terminate!";
    const std::string driverError = "Driver error writing to VEK Flash. ";
    const std::string notResponding = "VEK-Flash programmer is not responding to commands.";
    std::vector<ReadFailure> failures = {
        {"(125)", FailWrite(0), {driverError, notResponding + "(125)"}, 0},
        {"(126)", FailRead(1), {notResponding + "(126)"}, 0},
        {"(6)", FaultReply(CMD_BEGIN, 1, VEKSIM_REPLACE), {fatal6}, 0},
        {"identity",
         [](SimControl& s) { s.SetDeviceId(0x9A0); },
         {WrongTargetWarning("16F84A", "9A0")},
         0},
        {"read frame", FailWrite(2), {driverError}, 0},
        {"(T3)", FailRead(6), {"Could not read from device. (T3)"}},
        {"(T4) goes on",
         FaultReply(CMD_READ, 5, VEKSIM_DELAY, 1500),
         {"Error: Could not read from device. (T4)"},
         1,
         true},
        {"(T119)", FailRead(7), {"Could not read from device. (T119)"}},
        {"(T120) goes on",
         FaultReply(CMD_READ, 6, VEKSIM_DELAY, 1500),
         {"Could not read from device. (T120)"},
         1,
         true},
        {"(T13)", FailRead(8), {"Could not read from device. (T13)"}},
    };
    for (const BlockFault& fault : MemoryBlockFaults()) {
        failures.push_back({fault.name, fault.inject, {fault.message}});
    }
    for (const ReadFailure& failure : failures) {
        SCOPED_TRACE(failure.name);
        sim.Reset();
        RecordingUi caseUi;  // a fatal case ends its link for good, so each gets its own
        Session caseSession(caseUi, settings, sim.LibraryPath());
        OpenProgrammer(caseSession);
        caseSession.lastRead = ReadContents{};  // an earlier Read's, which a failure takes away
        failure.inject(sim);
        const OperationResult result = ReadTarget(caseSession);
        EXPECT_EQ(caseUi.messages, failure.messages);
        EXPECT_EQ(result.Succeeded(), failure.listed);
        EXPECT_EQ(caseSession.lastRead.has_value(), failure.listed);
        EXPECT_EQ(Count(HostHex(), Frame({CMD_END, 0})), failure.endFrames);
        EXPECT_EQ(caseUi.hexDataPrepared, 1);
        EXPECT_EQ(caseUi.hexData.empty(), !failure.listed);
        EXPECT_EQ(caseUi.fatalRequests, failure.name == std::string("(6)") ? 1 : 0);
        ExpectFlagsCleared(caseSession, caseUi);
    }
}

// A failed call for a byte whose value is not examined left that byte queued: every later
// block came a byte late, and Read listed shifted words and wrong fields without a word.
TEST_F(ReadTest, AFailedReadOfAnUnexaminedByteStopsTheReadInsteadOfShiftingTheData) {
    struct Case {
        int row;
        int read;  // FT_Read calls before it: see read_stream_faults.h
        std::string message;
    };
    const std::vector<Case> cases = {
        {0, 5, "VEK-Flash programmer is not responding to commands.(1161)"},
        {8, 5, "VEK-Flash programmer is not responding to commands.(1161)"},
        {0, 40, "Could not read from device. (T9)"},
    };
    for (const Case& failure : cases) {
        SCOPED_TRACE(failure.read);
        sim.Reset();
        RecordingUi caseUi;
        Session caseSession(caseUi, settings, sim.LibraryPath());
        OpenProgrammer(caseSession);
        caseUi.selectedRow = failure.row;
        sim.SelectChip(std::string(DeviceTable[failure.row].name));
        sim.WriteWord(VEKSIM_PROGRAM, 0, 0x0123);
        FailRead(failure.read)(sim);
        EXPECT_FALSE(ReadTarget(caseSession).Succeeded());
        EXPECT_EQ(caseUi.messages, std::vector<std::string>{failure.message});
        EXPECT_TRUE(caseUi.hexData.empty());
        EXPECT_EQ(Count(HostHex(), Frame({CMD_END, DeviceTable[failure.row].processorIndex})), 1);
        ExpectFlagsCleared(caseSession, caseUi);
    }
}

TEST_F(ReadTest, NoProgrammerIsReportedWithoutTouchingTheWindow) {
    session.Connected = false;
    ReadTarget(session);
    EXPECT_EQ(ui.messages,
              std::vector<std::string>{"Error: No programmer detected. Attach programmer to "
                                       "\nUSB cable and Open with Setup, Connect..."});
    EXPECT_EQ(ui.hexDataPrepared, 0);
    EXPECT_TRUE(sim.CallLog().empty());
    ExpectFlagsCleared(session, ui);
}

}  // namespace
}  // namespace vek::test
