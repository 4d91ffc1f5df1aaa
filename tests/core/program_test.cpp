// Program through the simulated programmer: the byte stream, what the chip holds afterwards,
// the erase before programming, and every failure of its table.
#include "operations/program.h"

#include <functional>

#include "device/hex_file.h"
#include "link/link_messages.h"
#include "link/protocol.h"
#include "sim_fixture.h"
#include "temp_folder.h"

namespace vek::test {
namespace {

// A programming block on the wire: address word, then 32 words, each low byte first.
std::string Block(int address, const std::vector<int>& words) {
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(address & 0xFF),
                                    static_cast<std::uint8_t>(address >> 8 & 0xFF)};
    for (int k = 0; k < 32; ++k) {
        const int value = k < static_cast<int>(words.size()) ? words[k] : words.back();
        bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(value >> 8 & 0xFF));
    }
    return Hex(bytes);
}

// 32 words: the given ones, then `rest` repeated.
std::vector<int> Words(std::vector<int> given, int rest) {
    given.resize(32, rest);
    return given;
}

// A small PIC16 file: two program words, a word with every bit set, two ID words, a
// configuration word that the field overrides, and two EEPROM bytes.
const std::string PIC_FILE =
    ":0600000005280000FFFFCF\n"
    ":0440000001000200B9\n"
    ":02400E00F23F7F\n"
    ":044200001100220087\n"
    ":00000001FF\n";
// An SX file: three program words and its FUSE and FUSEX words.
const std::string SX_FILE =
    ":06000000010A020B030CD3\n"
    ":042020009B0FFE0F05\n"
    ":00000001FF\n";

class Programming : public SimTest {
  protected:
    void SetUp() override {
        OpenProgrammer();
        UseTarget(0);
    }
    void UseFile(const std::string& text) {
        session.HexFilePath = folder.Write("test.hex", text);
        session.HexFileName = "test.hex";
    }
    void SetFields(const std::string& fuse, const std::string& fuseX) {
        ui.controls.FuseText = fuse;
        ui.controls.FuseXText = fuseX;
    }

    TempFolder folder;
};

TEST_F(Programming, A16F84AGetsTheFileTheFieldsAndItsEepromInOneStream) {
    UseFile(PIC_FILE);
    SetFields("3FFA", "FFF");
    sim.ClearLogs();
    const OperationResult result = OnProgram(session);
    EXPECT_EQ(result.outcome, Outcome::Done);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Programming complete."});

    std::vector<std::string> stream = {
        Frame({CMD_BEGIN, 0}),
        Frame({CMD_READ_ID, 0}),
        Frame({CMD_BLANK_CHECK, 0, 0x00, 0x04}),
        Frame({CMD_END, 0}),
        Frame({CMD_BEGIN, 0}),
        Frame({CMD_PROGRAM, 0, 0x00, 0x04, 0x40, 0x00, 0xFA, 0x3F, 0xFF, 0x0F})};
    stream.push_back(Block(0x0000, Words({0x2805, 0x0000, 0xFFFF}, 0x3FFF)));
    for (int address = 0x20; address < 0x400; address += 0x20) {
        stream.push_back(Block(address, {0x3FFF}));
    }
    stream.push_back(
        Block(0x2000, Words({1, 2, 0x3F80, 0x3F80, 0x3F80, 0x3F80, 0x3F80, 0x3FFA}, 0x3FFF)));
    stream.push_back(Block(0x2100, Words({0x111, 0x122}, 0)));
    stream.push_back(Block(0x2120, {0}));
    stream.push_back(Block(0xF000, Words({0x2805, 0x0000, 0xFFFF}, 0x3FFF)));
    stream.push_back(Frame({CMD_END, 0}));
    EXPECT_EQ(HostHex(), Join(stream));
    // 'v' before the acknowledgements of the configuration block and the first EEPROM block
    // (and as the blank check's first byte).
    EXPECT_EQ(Count(DeviceHex(), "76 A5"), 3);

    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x2805);
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 2), 0x3FFF);
    EXPECT_EQ(sim.ReadWord(VEKSIM_CONFIG, 0), 0x0001);
    EXPECT_EQ(sim.ReadWord(VEKSIM_CONFIG, 1), 0x0002);
    EXPECT_EQ(sim.ReadWord(VEKSIM_CONFIG, 7), 0x3FFA);
    EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, 0), 0x11);
    EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, 1), 0x22);
    EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, 2), 0xFF);  // not in the file: left as it was

    // One pending event taken per block; the bar stops short of 100.
    EXPECT_EQ(ui.pumps, 32);
    EXPECT_EQ(ui.progress.back(), 96);
    ExpectFlagsCleared(session, ui);
    EXPECT_FALSE(ui.operationRunning);
}

TEST_F(Programming, AProtectedEepromGetsTheConfigurationWordTwice) {
    UseFile(PIC_FILE);
    for (const bool protect : {false, true}) {
        SetFields(protect ? "3E72" : "3F72", "0");
        sim.SelectChip("16F84A");
        sim.ClearLogs();
        EXPECT_TRUE(OnProgram(session).Succeeded());
        const std::string host = HostHex();
        // The frame carries the word with the EEPROM writable.
        EXPECT_NE(host.find(Frame({CMD_PROGRAM, 0, 0x00, 0x04, 0x40, 0x00, 0x72, 0x3F, 0, 0})),
                  std::string::npos);
        EXPECT_EQ(Count(host, "00 20 01 00 02 00"), protect ? 2 : 1);
        const std::string lastConfig = host.substr(host.rfind("00 20 01 00 02 00"));
        EXPECT_EQ(lastConfig.substr(3 * 16, 5), protect ? "72 3E" : "72 3F");
        EXPECT_EQ(sim.ReadWord(VEKSIM_CONFIG, 7), protect ? 0x3E72 : 0x3F72);
        EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, 1), 0x22);
    }
}

TEST_F(Programming, AnSx28GetsItsFuseWordsInTheFramesAndNoConfigurationBlocks) {
    UseTarget(8);
    UseFile(SX_FILE);
    SetFields("7F3", "F40");
    sim.ClearLogs();
    EXPECT_TRUE(OnProgram(session).Succeeded());
    std::vector<std::string> stream = {
        Frame({CMD_BEGIN, 8}),
        Frame({CMD_READ_ID, 8}),
        Frame({CMD_BLANK_CHECK, 8, 0x00, 0x08}),
        Frame({CMD_END, 8}),
        Frame({CMD_BEGIN, 8}),
        Frame({CMD_PROGRAM_FUSEX, 8, 0x00, 0x08, 0x00, 0x00, 0xF3, 0x07, 0x40, 0x0F}),
        Frame({CMD_PROGRAM, 8, 0x00, 0x08, 0x00, 0x00, 0xF3, 0x07, 0x40, 0x0F})};
    stream.push_back(Block(0x0000, Words({0x0A01, 0x0B02, 0x0C03}, 0x3FFF)));
    for (int address = 0x20; address < 0x800; address += 0x20) {
        stream.push_back(Block(address, {0x3FFF}));
    }
    stream.push_back(Block(0xF000, Words({0x0A01, 0x0B02, 0x0C03}, 0x3FFF)));
    stream.push_back(Frame({CMD_END, 8}));
    EXPECT_EQ(HostHex(), Join(stream));
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 1), 0x0B02);
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 3), 0x0FFF);
    EXPECT_EQ(sim.ReadWord(VEKSIM_FUSE, 0), 0x7F3);
    EXPECT_EQ(sim.ReadWord(VEKSIM_FUSEX, 0), 0xF40);
}

struct TransferCase {
    int row;
    std::string file;
    std::string fuse;
    unsigned long long writesFast;     // one per frame and one per block
    unsigned long long writesPerWord;  // one per frame and 33 per block
};

TEST_F(Programming, BothTransferModesPutTheSameBytesOnTheWire) {
    // 16F84A, EEPROM protected: 7 frames and 37 blocks (32 program, the configuration block
    // twice, 2 EEPROM, the end). SX28: 8 frames and 65 blocks (64 program, the end).
    const TransferCase cases[] = {{0, PIC_FILE, "3E72", 44, 1228}, {8, SX_FILE, "7F3", 73, 2153}};
    for (const TransferCase& test : cases) {
        SCOPED_TRACE(test.row);
        UseTarget(test.row);
        UseFile(test.file);
        SetFields(test.fuse, "F40");
        std::string hostBytes[2];
        std::string deviceBytes[2];
        for (const bool fast : {true, false}) {
            sim.SelectChip(std::string(DeviceTable[test.row].name));
            sim.ClearLogs();
            sim.ResetCounters();
            session.link.SetFastTransfers(fast);
            EXPECT_TRUE(OnProgram(session).Succeeded());
            EXPECT_EQ(sim.GetCounters().writeCalls, fast ? test.writesFast : test.writesPerWord);
            hostBytes[fast] = HostHex();
            deviceBytes[fast] = DeviceHex();
        }
        EXPECT_EQ(hostBytes[true], hostBytes[false]);
        EXPECT_EQ(deviceBytes[true], deviceBytes[false]);
        EXPECT_EQ(ui.messages, std::vector<std::string>(2, "Programming complete."));
        ui.messages.clear();
    }
}

TEST_F(Programming, AChipThatIsNotBlankIsErasedOnlyWhenThatIsAllowed) {
    UseFile(PIC_FILE);
    SetFields("3FFA", "0");
    for (const bool eraseFirst : {false, true}) {
        sim.SelectChip("16F84A");
        sim.WriteWord(VEKSIM_PROGRAM, 100, 0x1234);
        sim.ClearLogs();
        ui.messages.clear();
        session.EraseBeforeProgram = eraseFirst;
        const OperationResult result = OnProgram(session);
        const std::string host = HostHex();
        if (eraseFirst) {
            EXPECT_TRUE(result.Succeeded());
            EXPECT_NE(host.find(Frame({CMD_BULK_ERASE, 0})), std::string::npos);
            EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 100), 0x3FFF);
            EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x2805);
        } else {
            EXPECT_EQ(result.outcome, Outcome::NotBlank);
            EXPECT_EQ(ui.messages, std::vector<std::string>{
                                       "Device is not blank. Either erase the device or \nselect "
                                       "Auto Erase feature in the Setup menu."});
            EXPECT_EQ(host.find(Frame({CMD_BULK_ERASE, 0})), std::string::npos);
            EXPECT_EQ(Count(host, Frame({CMD_BEGIN, 0})), 1);
            EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 100), 0x1234);
        }
    }
}

const std::string WRITE_FAILED = "Driver error writing to VEK Flash. ";
const std::string COMMUNICATING = "Error communicating with programmer.";
const std::string NOT_RESPONDING = "VEK-Flash programmer is not responding to commands.";
const std::string NOT_RESPONDING_CODED = "VEK Flash programmer is not responding to commands.";
constexpr int BLOCK = VEKSIM_ANCHOR_BLOCK;
constexpr int SX28 = 8;

struct FailureCase {
    const char* what;
    Injection inject;
    std::vector<std::string> messages;
    Outcome outcome = Outcome::CommunicationFailed;
    int row = 0;
    std::string fuse = "3FFA";  // bit 8 set: the EEPROM is not protected
    std::string file = PIC_FILE;
    bool fatal = false;
};

// The reply fault on the occurrence-th answer that the anchor picks.
Injection NthReply(int anchor, int occurrence, int byteIndex, int action, int value = 0) {
    return [=](SimControl& s) { s.FaultReply(anchor, occurrence, byteIndex, action, value); };
}
const Injection NOTHING = [](SimControl&) {};

// Host reads of a 16F84A Program, in order: BEGIN ack 0, ready 1, READ_ID ack 2, ID 3,
// BLANK_CHECK ack 4, its first byte 5, result 6, END ack 7; BEGIN ack 8, ready 9, PROGRAM ack
// 10; block acks 11 to 42; configuration 'v' 43 and ack 44; the left-over check 45; EEPROM 'v'
// 46, acks 47 and 48; then (protected) configuration 'v' 49 and ack 50, or the end block's
// ack 49. Writes: BEGIN 0, READ_ID 1, BLANK_CHECK 2, END 3, BEGIN 4, PROGRAM 5, one per block
// from 6, CMD_END 42. An SX28 reads FUSEX's ack 10 and result 11, PROGRAM's ack 12, 'v' 13 and
// FUSE result 14.
const std::vector<FailureCase>& FailureCases() {
    static const std::vector<FailureCase> cases = {
        {"no file", NOTHING, {"Error: No Hex datafile selected."}, Outcome::NoHexFile, 0, "", ""},
        {"checksum",
         NOTHING,
         {"Checksum error in HEX file (line 2)."},
         Outcome::HexFileError,
         0,
         "3FFA",
         ":0100000001FE\n:0100000001FF\n"},
        {"too large",
         NOTHING,
         {"Selected HEX file is too large to fit into device FLASH."},
         Outcome::HexFileError,
         0,
         "3FFA",
         ":02080000FF3FB8\n"},
        {"first BEGIN frame", FailWrite(0), {WRITE_FAILED, COMMUNICATING}},
        {"(1130)", FailRead(1), {NOT_RESPONDING + "(1130)"}},
        {"(1c)",
         FaultReply(CMD_BEGIN, 1, VEKSIM_REPLACE),
         {FatalMessage("(1c)")},
         Outcome::CommunicationFailed,
         0,
         "3FFA",
         PIC_FILE,
         true},
        {"blank check frame",
         FailWrite(2),
         {WRITE_FAILED, "Could not write the device during Blank Check."}},
        {"blank check result",
         FaultReply(CMD_BLANK_CHECK, 2, VEKSIM_DROP),
         {"VEK-Flash programmer is not responding to the Blank Check command (E1)",
          "Could not read from the device during Blank Check."}},
        {"erase frame",
         [](SimControl& s) {
             s.WriteWord(VEKSIM_PROGRAM, 0, 0);
             s.FailCall("FT_Write", 6);  // BEGIN, READ_ID, BLANK, END, BEGIN, READ_ID, ERASE
         },
         {WRITE_FAILED, "Error during Bulk Erase function."}},
        {"(1131)", FailRead(9), {NOT_RESPONDING + "(1131)"}},
        {"(1d)",
         NthReply(CMD_BEGIN, 1, 1, VEKSIM_REPLACE),
         {FatalMessage("(1d)")},
         Outcome::CommunicationFailed,
         0,
         "3FFA",
         PIC_FILE,
         true},
        {"PROGRAM frame", FailWrite(5), {WRITE_FAILED, COMMUNICATING}},
        {"program block unreadable",
         FailRead(11),
         {"VEK-Flash programmer is not responding correctly to program ROM command."}},
        {"program block wrong",
         FaultReply(BLOCK | 0x20, 0, VEKSIM_REPLACE),
         {"Bad ACK during Flash programming. (0xA5)"}},
        {"a block write fails, its acknowledgement decides",
         FailWrite(6),
         {"Error: Could not write to VEK Flash programmer.(T16)",
          "Bad ACK during Flash programming. (0xA5)"}},
        {"configuration 'v' unreadable", FailRead(43), {NOT_RESPONDING + "(1137f)"}},
        {"(1tr)", FaultReply(BLOCK | 0x2000, 0, VEKSIM_REPLACE), {NOT_RESPONDING_CODED + "(1tr)"}},
        {"(CF0)", FailRead(44), {"Bad ACK during Configuration programming (CF0)."}},
        {"(CF1)",
         FaultReply(BLOCK | 0x2000, 1, VEKSIM_REPLACE),
         {"Bad ACK during Configuration programming (CF1)."}},
        {"left over",
         FaultReply(BLOCK | 0x2000, 1, VEKSIM_APPEND, 2),
         {"data left over 2", "Programming complete."},
         Outcome::Done},
        {"EEPROM 'v' unreadable", FailRead(46), {NOT_RESPONDING + "(1137f)"}},
        {"(1u)", FaultReply(BLOCK | 0x2100, 0, VEKSIM_REPLACE), {NOT_RESPONDING_CODED + "(1u)"}},
        {"EEPROM ack",
         FaultReply(BLOCK | 0x2120, 0, VEKSIM_REPLACE),
         {"Bad ACK during EE Data programming."}},
        {"(1137s)",
         FailRead(49),
         {NOT_RESPONDING + "(1137s)"},
         Outcome::CommunicationFailed,
         0,
         "3EFA"},
        {"(1trj)",
         NthReply(BLOCK | 0x2000, 1, 0, VEKSIM_REPLACE),
         {NOT_RESPONDING_CODED + "(1trj)"},
         Outcome::CommunicationFailed,
         0,
         "3EFA"},
        {"(CF2)",
         FailRead(50),
         {"Bad ACK during Configuration programming (CF2)."},
         Outcome::CommunicationFailed,
         0,
         "3EFA"},
        {"(CF3)",
         NthReply(BLOCK | 0x2000, 1, 1, VEKSIM_REPLACE),
         {"Bad ACK during Configuration programming (CF3)."},
         Outcome::CommunicationFailed,
         0,
         "3EFA"},
        {"end block unreadable",
         FailRead(49),
         {"Bad ACK attempting to terminate Flash programming.(1)"}},
        {"end block wrong",
         FaultReply(BLOCK | 0xF000, 0, VEKSIM_REPLACE),
         {"Bad ACK attempting to terminate Flash programming.(2)"}},
        {"(99)", FailWrite(42), {WRITE_FAILED, "Error communicating with programmer. (99)"}},
        {"FUSEX unreadable",
         FailRead(11),
         {"VEK-Flash programmer is not responding to the program Fusex command."},
         Outcome::CommunicationFailed,
         SX28,
         "7F3",
         SX_FILE},
        {"FUSEX failed",
         FaultReply(CMD_PROGRAM_FUSEX, 1, VEKSIM_REPLACE),
         {"FuseX program failed."},
         Outcome::CommunicationFailed,
         SX28,
         "7F3",
         SX_FILE},
        {"(1731)",
         FailRead(13),
         {NOT_RESPONDING + "(1731)"},
         Outcome::CommunicationFailed,
         SX28,
         "7F3",
         SX_FILE},
        {"(145d)",
         FaultReply(CMD_PROGRAM, 1, VEKSIM_REPLACE),
         {NOT_RESPONDING_CODED + "(145d)"},
         Outcome::CommunicationFailed,
         SX28,
         "7F3",
         SX_FILE},
        {"FUSE unreadable",
         FailRead(14),
         {"VEK-Flash programmer is not responding to the program Fuse command."},
         Outcome::CommunicationFailed,
         SX28,
         "7F3",
         SX_FILE},
        {"FUSE result missing",
         FaultReply(CMD_PROGRAM, 2, VEKSIM_DROP),
         {"VEK-Flash programmer is not responding to the program Fuse command."},
         Outcome::CommunicationFailed,
         SX28,
         "7F3",
         SX_FILE},
        {"FUSE failed",
         FaultReply(CMD_PROGRAM, 2, VEKSIM_REPLACE, 0x5A),
         {"Fuse program failed."},
         Outcome::CommunicationFailed,
         SX28,
         "7F3",
         SX_FILE},
        {"a FUSE result other than fail goes on",
         FaultReply(CMD_PROGRAM, 2, VEKSIM_REPLACE, 0x00),
         {"Programming complete."},
         Outcome::Done,
         SX28,
         "7F3",
         SX_FILE},
    };
    return cases;
}

TEST_F(Programming, EveryFailureShowsItsMessageOnceAndClearsTheFlags) {
    for (const FailureCase& test : FailureCases()) {
        SCOPED_TRACE(test.what);
        sim.Reset();
        Session fresh(ui, settings, sim.LibraryPath());
        OpenProgrammer(fresh);
        ui = RecordingUi{};
        ui.selectedRow = test.row;
        RefreshCurrentTarget(fresh);
        ASSERT_TRUE(sim.SelectChip(std::string(DeviceTable[test.row].name)));
        if (!test.file.empty()) {
            fresh.HexFilePath = folder.Write("test.hex", test.file);
            fresh.HexFileName = "test.hex";
        }
        ui.controls.FuseText = test.fuse;
        test.inject(sim);

        const OperationResult result = OnProgram(fresh);
        EXPECT_EQ(ui.messages, test.messages);
        EXPECT_EQ(result.outcome, test.outcome);
        EXPECT_EQ(ui.fatalRequests, test.fatal ? 1 : 0);
        ExpectFlagsCleared(fresh, ui);
    }
}

}  // namespace
}  // namespace vek::test
