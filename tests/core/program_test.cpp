// Program through the simulated programmer: the byte stream, what the chip holds afterwards,
// the erase before programming, every failure of its table, and the options that keep the
// chip's data EEPROM and verify afterwards.
#include "link/protocol.h"
#include "sim_fixture.h"

namespace vek::test {
namespace {

// A programming block on the wire: address word, then 32 words, each low byte first; words
// past the given ones repeat `rest`.
std::string Block(int address, std::vector<int> words, int rest) {
    words.resize(32, rest);
    std::vector<std::uint8_t> bytes{Low(address), High(address)};
    for (const int value : words) {
        bytes.insert(bytes.end(), {Low(value), High(value)});
    }
    return Hex(bytes);
}

// Adds blocks of blank words from `from` up to `to` to the stream.
void AddBlankBlocks(std::vector<std::string>& stream, int from, int to) {
    for (int address = from; address < to; address += 0x20) {
        stream.push_back(Block(address, {}, 0x3FFF));
    }
}

// A small PIC16 file: two program words, a word with every bit set, two ID words, a
// configuration word that the field overrides, and two EEPROM bytes.
const std::string PIC_FILE =
    ":0600000005280000FFFFCF\n:0440000001000200B9\n:02400E00F23F7F\n:044200001100220087\n"
    ":00000001FF\n";
// An SX file: three program words and its FUSE and FUSEX words.
const std::string SX_FILE = ":06000000010A020B030CD3\n:042020009B0FFE0F05\n:00000001FF\n";

class Programming : public OpenedSimTest {
  protected:
    // The chip in the socket as it came, the file chosen and the fields filled.
    void Prepare(Bench& bench, const std::string& file, const std::string& fuse,
                 const std::string& fuseX) {
        bench.sim.SelectChip(std::string(bench.Target().name));
        bench.UseFile(folder.Write("test.hex", file), fuse, fuseX);
        if (file.empty()) {
            bench.file.name.clear();
        }
        bench.sim.ClearLogs();
        bench.sim.ResetCounters();
        bench.ui.pumps = 0;
        bench.ui.answerYes = true;  // some words here protect the chip's code
    }
    // Programs in both transfer modes, which must put the same bytes on the wire: one write
    // per frame and one per block, or 33 per block. Returns the host's bytes.
    std::string ProgramInBothModes(const std::string& file, const std::string& fuse,
                                   const std::string& fuseX, unsigned long long frames,
                                   unsigned long long blocks) {
        std::string deviceBytes;
        std::string hostBytes;
        for (const bool fast : {true, false}) {
            Prepare(*this, file, fuse, fuseX);
            programmer.link.SetFastTransfers(fast);
            EXPECT_TRUE(Program().Succeeded());
            EXPECT_EQ(sim.GetCounters().writeCalls, frames + (fast ? 1 : 33) * blocks);
            EXPECT_EQ(hostBytes.empty() ? HostHex() : hostBytes, HostHex());
            EXPECT_EQ(deviceBytes.empty() ? DeviceHex() : deviceBytes, DeviceHex());
            hostBytes = HostHex();
            deviceBytes = DeviceHex();
        }
        EXPECT_EQ(ui.messages, std::vector<std::string>(2, "Programming complete."));
        ui.messages.clear();
        return hostBytes;
    }
};

TEST_F(Programming, A16F84AGetsTheFileTheFieldsAndItsEepromInOneStream) {
    for (const bool protect : {false, true}) {
        SCOPED_TRACE(protect);
        // BEGIN, READ_ID, BLANK_CHECK, END, BEGIN; PROGRAM with the configuration word, its
        // EEPROM made writable, and the FUSEX field.
        std::vector<std::string> stream = {
            "02 53 00 51 02 56 00 54 04 5C 00 00 04 5C 02 54 00 56 02 53 00 51",
            "0A 58 00 00 04 40 00 FA 3F FF 0F 23", Block(0x0000, {0x2805, 0x0000, 0xFFFF}, 0x3FFF)};
        AddBlankBlocks(stream, 0x20, 0x400);
        const std::vector<int> ids = {1, 2, 0x3F80, 0x3F80, 0x3F80, 0x3F80, 0x3F80};
        std::vector<int> configuration = ids;
        configuration.push_back(0x3FFA);
        stream.push_back(Block(0x2000, configuration, 0x3FFF));
        stream.push_back(Block(0x2100, {0x111, 0x122}, 0));
        stream.push_back(Block(0x2120, {}, 0));
        // A protected EEPROM gets its configuration word once more, after the EEPROM.
        if (protect) {
            configuration.back() = 0x3EFA;
            stream.push_back(Block(0x2000, configuration, 0x3FFF));
        }
        stream.push_back(Block(0xF000, {0x2805, 0x0000, 0xFFFF}, 0x3FFF));
        stream.push_back("02 54 00 56");
        EXPECT_EQ(ProgramInBothModes(PIC_FILE, protect ? "3EFA" : "3FFA", "FFF", 7, 36 + protect),
                  Join(stream));
        // 'v' before the acknowledgements of the configuration block and the first EEPROM
        // block (and as the blank check's first byte).
        EXPECT_EQ(Count(DeviceHex(), "76 A5"), protect ? 4 : 3);

        EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x2805);
        EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 2), 0x3FFF);
        EXPECT_EQ(sim.ReadWord(VEKSIM_CONFIG, 0), 0x0001);
        EXPECT_EQ(sim.ReadWord(VEKSIM_CONFIG, 1), 0x0002);
        EXPECT_EQ(sim.ReadWord(VEKSIM_CONFIG, 7), protect ? 0x3EFA : 0x3FFA);
        EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, 0), 0x11);
        EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, 1), 0x22);
        EXPECT_EQ(sim.ReadWord(VEKSIM_EEPROM, 2), 0xFF);  // not in the file: left as it was

        // One pending event taken per block; the bar stops short of 100.
        EXPECT_EQ(ui.pumps, 32);
        ASSERT_FALSE(ui.progress.empty());
        EXPECT_EQ(ui.progress.back(), 96);
    }
}

TEST_F(Programming, AnSx28GetsItsFuseWordsInTheFramesAndNoConfigurationBlocks) {
    UseTarget(8);
    // BEGIN, READ_ID, BLANK_CHECK, END, BEGIN; PROGRAM_FUSEX and PROGRAM with both fields.
    std::vector<std::string> stream = {
        "02 53 08 59 02 56 08 5C 04 5C 08 00 08 58 02 54 08 5E 02 53 08 59",
        "0A 59 08 00 08 00 00 F3 07 40 0F E8 0A 58 08 00 08 00 00 F3 07 40 0F E9",
        Block(0x0000, {0x0A01, 0x0B02, 0x0C03}, 0x3FFF)};
    AddBlankBlocks(stream, 0x20, 0x800);
    stream.push_back(Block(0xF000, {0x0A01, 0x0B02, 0x0C03}, 0x3FFF));
    stream.push_back("02 54 08 5E");
    EXPECT_EQ(ProgramInBothModes(SX_FILE, "7F3", "F40", 8, 65), Join(stream));
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 1), 0x0B02);
    EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 3), 0x0FFF);
    EXPECT_EQ(sim.ReadWord(VEKSIM_FUSE, 0), 0x7F3);
    EXPECT_EQ(sim.ReadWord(VEKSIM_FUSEX, 0), 0xF40);
}

TEST_F(Programming, AChipThatIsNotBlankIsErasedOnlyWhenThatIsAllowed) {
    const std::string notBlank =
        "Device is not blank. Either erase the device or \nselect Auto Erase feature in the Setup "
        "menu.";
    for (const bool eraseFirst : {false, true}) {
        Prepare(*this, PIC_FILE, "3FFA", "FFF");
        sim.WriteWord(VEKSIM_PROGRAM, 100, 0x1234);
        ui.messages.clear();
        eraseBeforeProgram = eraseFirst;
        EXPECT_EQ(Program().outcome, eraseFirst ? Outcome::Done : Outcome::NotBlank);
        EXPECT_EQ(ui.messages,
                  std::vector<std::string>{eraseFirst ? "Programming complete." : notBlank});
        EXPECT_EQ(Count(HostHex(), Frame({CMD_BULK_ERASE, 0})), eraseFirst ? 1 : 0);
        EXPECT_EQ(Count(HostHex(), Frame({CMD_BEGIN, 0})), eraseFirst ? 3 : 1);
        EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 100), eraseFirst ? 0x3FFF : 0x1234);
        EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), eraseFirst ? 0x2805 : 0x3FFF);
    }
}

// A job programs only the file it pins, judged on the bytes Program loads: another build of
// the file is refused before the programmer hears a word.
TEST_F(Programming, APinnedFileIsProgrammedOnlyWhenItsBytesAreThePinnedOnes) {
    const std::string pinned = "23c62b248f9bc5503c2fb64c0319a51a6bc34806dfd6b6d1216dd6feddc4dc04";
    const std::string rebuilt = "dd13709a227ccaaf3a948c2c5211ecd541d368c4863e4a96aea3e67e4438c16d";
    for (const std::string& text : {PIC_FILE, PIC_FILE + "; rebuilt\n"}) {
        const bool same = text == PIC_FILE;
        SCOPED_TRACE(same);
        Prepare(*this, text, "3FFA", "FFF");
        ui.messages.clear();
        const OperationResult result =
            vek::Program(programmer, {.target = Target(),
                                      .file = file,
                                      .words = WordsInFields(fields),
                                      .pin = PinnedHexFile{pinned, "/jobs/line.vekjob"}});
        EXPECT_EQ(result.outcome, same ? Outcome::Done : Outcome::HexFileError);
        const std::string refused = "Error: " + file.path + " has the SHA-256 " + rebuilt +
                                    ", but the job /jobs/line.vekjob programs the one with " +
                                    pinned + ".";
        EXPECT_EQ(ui.messages, std::vector<std::string>{same ? "Programming complete." : refused});
        EXPECT_EQ(HostHex().empty(), !same);
        EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), same ? 0x2805 : 0x3FFF);
    }
}

const std::string COMMUNICATING = "Error communicating with programmer.";
const std::string NR = "VEK-Flash programmer is not responding ";
const std::string NR_CODED = "VEK Flash programmer is not responding to commands.";
const std::string BAD_ACK = "Bad ACK during ";

// What a failure case programs: the chip's row, the file (empty: none chosen) and the fields.
struct Input {
    int row;
    std::string file;
    const char* fuse;
    const char* fuseX = "FFF";
};
const Input PIC{0, PIC_FILE, "3FFA"};  // bit 8 set: the EEPROM is not protected
const Input PROTECTED{0, PIC_FILE, "3EFA"};
const Input SX{8, SX_FILE, "7F3"};
const Input NO_FILE{0, "", "3FFA"};
const Input BAD_SUM{0, ":0100000001FE\n:0100000001FF\n", "3FFA"};
const Input TOO_LARGE{0, ":02080000FF3FB8\n", "3FFA"};
const Input NO_DATA{0, "; only a comment\n:00400E00B2\n:00000001FF\n", "3FFA"};
// A PIC16 word placed where an SX28 has nothing, and one an SX48 would take.
const Input SX_TOO_LARGE{8, ":020FFE00FF0FE3\n:02100000FF0FE0\n", "7FB"};
const Input NO_CONFIG_WORD{0, PIC_FILE, "---"};
const Input NO_FUSE_WORD{8, SX_FILE, "---"};
const Input NO_FUSEX_WORD{8, SX_FILE, "7FB", "---"};
const Input TYPING_SLIP{0, PIC_FILE, "3FZ2"};

struct FailureCase {
    Injection inject;
    std::vector<std::string> messages;
    const Input& input = PIC;
    Outcome outcome = Outcome::CommunicationFailed;
};

// One PIC16 word means different things on different chips: a word is asked about when the
// selected target's editor shows code protection for it.
TEST_F(Programming, AWordThatTurnsOnCodeProtectionIsWrittenOnlyAfterTheQuestion) {
    struct Case {
        int row;
        const char* fuse;
        bool asked;
    };
    const Case cases[] = {
        {0, "3FF2", false}, {0, "3F72", true}, {0, "3FE2", true},  {0, "0FF2", true},
        {1, "3F72", false}, {1, "0F72", true}, {7, "3F72", false}, {7, "3FC2", true},
        {7, "3F62", true},  {7, "3F52", true}, {8, "7FB", false},  {8, "7F3", true},
        {9, "FFF", false},  {9, "FF7", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << c.row << ": " << c.fuse);
        for (const bool yes : {false, true}) {
            Bench bench(c.row);
            const bool isSx = c.row > 7;
            Prepare(bench, isSx ? SX_FILE : PIC_FILE, c.fuse, "FFF");
            bench.ui.answerYes = yes;
            const OperationResult result = bench.Program();
            const std::string question = "The configuration word " + std::string(c.fuse) +
                                         " turns on code protection: the chip can no longer be "
                                         "read or verified. Program it anyway?";
            EXPECT_EQ(bench.ui.questions,
                      c.asked ? std::vector<std::string>{question} : std::vector<std::string>{});
            const bool programmed = !c.asked || yes;
            EXPECT_EQ(result.outcome, programmed ? Outcome::Done : Outcome::Declined);
            // No: the programmer is never asked, and nothing is said after the question.
            EXPECT_EQ(bench.HostHex().empty(), !programmed);
            EXPECT_EQ(bench.ui.messages.empty(), !programmed);
        }
    }
}

// Host reads of a 16F84A Program, in order: BEGIN ack 0, ready 1, READ_ID ack 2, ID 3,
// BLANK_CHECK ack 4, its first byte 5, result 6, END ack 7; BEGIN ack 8, ready 9, PROGRAM ack
// 10; block acks 11 to 42; configuration 'v' 43 and ack 44; the left-over check 45; EEPROM 'v'
// 46, acks 47 and 48; then (protected) configuration 'v' 49 and ack 50, or the end block's
// ack 49. Writes: BEGIN 0, READ_ID 1, BLANK_CHECK 2, END 3, BEGIN 4, PROGRAM 5, one per block
// from 6, CMD_END 42. An SX28 reads FUSEX's ack 10 and result 11, PROGRAM's ack 12, 'v' 13 and
// FUSE result 14.
TEST_F(Programming, EveryFailureShowsItsMessagesOnce) {
    constexpr int BLOCK = VEKSIM_ANCHOR_BLOCK;
    constexpr int REPLACE = VEKSIM_REPLACE;
    const std::string fuse = NR + "to the program Fuse command.";
    const Injection eraseNotWritten = [](SimControl& s) {
        s.WriteWord(VEKSIM_PROGRAM, 0, 0);
        s.FailCall("FT_Write", 6);  // BEGIN, READ_ID, BLANK, END, BEGIN, READ_ID, ERASE
    };
    const std::string tooLarge = "Selected HEX file is too large to fit into device FLASH.";
    const std::string noConfigWord =
        "The configuration bits are not set (the Config Bits field shows no word).\nSet them with "
        "the Set button, or open a HEX file that holds the configuration word.";
    const FailureCase cases[] = {
        {NOTHING, {"Error: No Hex datafile selected."}, NO_FILE, Outcome::NoHexFile},
        {NOTHING, {"Checksum error in HEX file (line 2)."}, BAD_SUM, Outcome::HexFileError},
        {NOTHING, {tooLarge}, TOO_LARGE, Outcome::HexFileError},
        {NOTHING, {"The file test.hex holds no HEX data."}, NO_DATA, Outcome::HexFileError},
        {NOTHING, {tooLarge}, SX_TOO_LARGE, Outcome::HexFileError},
        {NOTHING, {noConfigWord}, NO_CONFIG_WORD, Outcome::NoConfiguration},
        {NOTHING, {noConfigWord}, TYPING_SLIP, Outcome::NoConfiguration},
        {NOTHING,
         {"The configuration bits are not set (the Fuse field shows no word).\nSet them with the "
          "Set button, open a HEX file that holds the FUSE word, or press \"R\" to use the last "
          "configuration."},
         NO_FUSE_WORD,
         Outcome::NoConfiguration},
        {NOTHING,
         {"The FuseX bits are not set (the FuseX field shows no word).\nSet them with the FuseX "
          "Set button, or open a HEX file that holds the FUSEX word."},
         NO_FUSEX_WORD,
         Outcome::NoConfiguration},
        {FailWrite(0), {DRIVER_ERROR, COMMUNICATING}},
        {FailRead(1), {NR + "to commands.(1130)"}},
        {FaultReply(CMD_BEGIN, 1, REPLACE), {Fatal("(1c)")}},
        {FailWrite(2), {DRIVER_ERROR, "Could not write the device during Blank Check."}},
        {FaultReply(CMD_BLANK_CHECK, 2, VEKSIM_DROP),
         {NR + "to the Blank Check command (E1)",
          "Could not read from the device during Blank Check."}},
        {eraseNotWritten, {DRIVER_ERROR, "Error during Bulk Erase function."}},
        {FailRead(9), {NR + "to commands.(1131)"}},
        {NthReply(CMD_BEGIN, 1, 1, REPLACE), {Fatal("(1d)")}},
        {FailWrite(5), {DRIVER_ERROR, COMMUNICATING}},
        {FailRead(11), {NR + "correctly to program ROM command."}},
        {FaultReply(BLOCK | 0x20, 0, REPLACE), {BAD_ACK + "Flash programming. (0xA5)"}},
        // A block whose write fails is judged by its acknowledgement.
        {FailWrite(6),
         {"Error: Could not write to VEK Flash programmer.(T16)",
          BAD_ACK + "Flash programming. (0xA5)"}},
        {FailRead(43), {NR + "to commands.(1137f)"}},
        {FaultReply(BLOCK | 0x2000, 0, REPLACE), {NR_CODED + "(1tr)"}},
        {FailRead(44), {BAD_ACK + "Configuration programming (CF0)."}},
        {FaultReply(BLOCK | 0x2000, 1, REPLACE), {BAD_ACK + "Configuration programming (CF1)."}},
        {FaultReply(BLOCK | 0x2000, 1, VEKSIM_APPEND, 2),
         {"data left over 2", "Programming complete."},
         PIC,
         Outcome::Done},
        {FailRead(46), {NR + "to commands.(1137f)"}},
        {FaultReply(BLOCK | 0x2100, 0, REPLACE), {NR_CODED + "(1u)"}},
        {FaultReply(BLOCK | 0x2120, 0, REPLACE), {BAD_ACK + "EE Data programming."}},
        {FailRead(49), {NR + "to commands.(1137s)"}, PROTECTED},
        {NthReply(BLOCK | 0x2000, 1, 0, REPLACE), {NR_CODED + "(1trj)"}, PROTECTED},
        {FailRead(50), {BAD_ACK + "Configuration programming (CF2)."}, PROTECTED},
        {NthReply(BLOCK | 0x2000, 1, 1, REPLACE),
         {BAD_ACK + "Configuration programming (CF3)."},
         PROTECTED},
        {FailRead(49), {"Bad ACK attempting to terminate Flash programming.(1)"}},
        {FaultReply(BLOCK | 0xF000, 0, REPLACE),
         {"Bad ACK attempting to terminate Flash programming.(2)"}},
        {FailWrite(42), {DRIVER_ERROR, "Error communicating with programmer. (99)"}},
        {FailRead(11), {NR + "to the program Fusex command."}, SX},
        {FaultReply(CMD_PROGRAM_FUSEX, 1, REPLACE), {"FuseX program failed."}, SX},
        {FailRead(13), {NR + "to commands.(1731)"}, SX},
        {FaultReply(CMD_PROGRAM, 1, REPLACE), {NR_CODED + "(145d)"}, SX},
        {FailRead(14), {fuse}, SX},
        {FaultReply(CMD_PROGRAM, 2, VEKSIM_DROP), {fuse}, SX},
        {FaultReply(CMD_PROGRAM, 2, REPLACE, 0x5A), {"Fuse program failed."}, SX},
        // A FUSE result other than the failure byte goes on.
        {FaultReply(CMD_PROGRAM, 2, REPLACE, 0x00), {"Programming complete."}, SX, Outcome::Done},
    };
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        const FailureCase& c = cases[row];
        SCOPED_TRACE(testing::Message() << "row " << row << ": " << c.messages.front());
        Bench bench(c.input.row);
        Prepare(bench, c.input.file, c.input.fuse, c.input.fuseX);
        c.inject(bench.sim);
        EXPECT_EQ(bench.Program().outcome, c.outcome);
        EXPECT_EQ(bench.ui.messages, c.messages);
        // A file or a field that cannot be used stops Program before the programmer is asked.
        if (c.outcome == Outcome::HexFileError || c.outcome == Outcome::NoConfiguration) {
            EXPECT_EQ(bench.HostHex(), "");
        }
    }
}

// Two program words, a configuration word and the EEPROM bytes 11 and 22 at locations 0 and 1.
const std::string KEEP_FILE =
    ":04000000052800309F\n:02400E00F23F7F\n:044200001100220087\n:00000001FF\n";

// What the chip's EEPROM held before: location k holds the low byte of 0x40 + k.
int OldByte(int location) {
    return (0x40 + location) & 0xFF;
}

class KeepEeprom : public Programming {
  protected:
    // The chip of `row` holding a program word (so that it is erased) and its old EEPROM.
    void ChipWithOldEeprom(int row, int configWord) {
        UseTarget(row);
        Prepare(*this, KEEP_FILE, "3FF2", "0");
        ui.answerYes = false;  // nothing here may ask about code protection
        sim.WriteWord(VEKSIM_PROGRAM, 5, 0x1234);
        sim.WriteWord(VEKSIM_CONFIG, 7, configWord);
        for (int location = 0; location < Target().eepromBytes; ++location) {
            sim.WriteWord(VEKSIM_EEPROM, location, OldByte(location));
        }
        ui.messages.clear();
    }
    OperationResult ProgramWith(bool keep, bool verify, std::vector<ImageWord> overlay = {}) {
        return last = vek::Program(programmer, {Target(), file, WordsInFields(fields), true,
                                                std::move(overlay), keep, verify});
    }
    std::vector<int> ChipEeprom() {
        std::vector<int> bytes;
        for (int location = 0; location < Target().eepromBytes; ++location) {
            bytes.push_back(sim.ReadWord(VEKSIM_EEPROM, location));
        }
        return bytes;
    }
    std::vector<int> OldEeprom() {
        std::vector<int> bytes;
        for (int location = 0; location < Target().eepromBytes; ++location) {
            bytes.push_back(OldByte(location));
        }
        return bytes;
    }
};

// Across an erase, on the smallest and the largest EEPROM; without the option the file's
// bytes go in and the rest is erased.
TEST_F(KeepEeprom, TheChipsBytesGoInInPlaceOfTheFiles) {
    for (const int row : {0, 7}) {
        for (const bool keep : {false, true}) {
            SCOPED_TRACE(std::to_string(row) + (keep ? " kept" : " not kept"));
            ChipWithOldEeprom(row, 0x3FFF);
            ASSERT_TRUE(ProgramWith(keep, false).Succeeded());
            EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 0), 0x2805);
            EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 5), 0x3FFF);  // erased
            std::vector<int> expected(Target().eepromBytes, 0xFF);
            expected[0] = 0x11;
            expected[1] = 0x22;
            EXPECT_EQ(ChipEeprom(), keep ? OldEeprom() : expected);
            EXPECT_EQ(last.keptEeprom.size(),
                      keep ? static_cast<std::size_t>(Target().eepromBytes) : 0u);
            EXPECT_EQ(ui.messages.back(), "Programming complete.");
        }
    }
}

// A serial number's bytes go over the kept ones, and Verify after such a Program compares
// the EEPROM with the kept bytes, the serial number's over them.
TEST_F(KeepEeprom, ASerialNumberGoesOverTheKeptBytesAndVerifyExpectsBoth) {
    ChipWithOldEeprom(0, 0x3FFF);
    const std::vector<ImageWord> serial = {{EEPROM_ADDR + 2, 0x1FF, 0x1AB},
                                           {EEPROM_ADDR + 3, 0x1FF, 0x1CD}};
    ASSERT_TRUE(ProgramWith(true, true, serial).Succeeded());
    std::vector<int> expected = OldEeprom();
    expected[2] = 0xAB;
    expected[3] = 0xCD;
    EXPECT_EQ(ChipEeprom(), expected);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Programming complete.\nVerify passed"});
}

// The configuration word read before the erase says whether the EEPROM reads as zeros: such a
// chip is refused, and a read that fails ends Program with the read's message. Either way
// nothing is erased.
TEST_F(KeepEeprom, AChipWhoseEepromCannotBeKeptIsRefusedBeforeTheErase) {
    struct Case {
        int row;
        int configWord;
        Outcome outcome;
        Injection fault = NOTHING;
    } const cases[] = {
        // 16F84A: code protection covers the EEPROM; one CP bit clear is enough.
        {0, 0x000F, Outcome::EepromProtected},
        {0, 0x3EFF, Outcome::EepromProtected},
        {7, 0x3EFF, Outcome::EepromProtected},  // 16F877: CPD clear
        {7, 0x3FCF, Outcome::Done},             // 16F877: program memory protected, EEPROM readable
        {0, 0x3FFF, Outcome::CommunicationFailed, [](SimControl& s) { s.ShortEepromBlock(0, 10); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.configWord);
        ChipWithOldEeprom(c.row, c.configWord);
        c.fault(sim);
        const OperationResult result = ProgramWith(true, false);
        EXPECT_EQ(result.outcome, c.outcome);
        const bool erased = c.outcome == Outcome::Done;
        EXPECT_EQ(sim.ReadWord(VEKSIM_PROGRAM, 5), erased ? 0x3FFF : 0x1234);
        if (!erased) {
            EXPECT_EQ(ChipEeprom(), OldEeprom());
        }
        if (c.outcome == Outcome::EepromProtected) {
            EXPECT_EQ(result.messages, std::vector<std::string>{
                                           "The chip's EEPROM is protected and cannot be kept."});
            EXPECT_EQ(Count(HostHex(), Frame({0x57, Target().processorIndex})), 0);
        }
    }
}

// One final message names both results; a failed Program runs no Verify.
TEST_F(KeepEeprom, VerifyAfterProgramEndsWithOneMessageNamingBoth) {
    struct Case {
        const char* what;
        Injection fault;
        Outcome outcome;
        std::vector<std::string> messages;
    } const cases[] = {
        {"passes", NOTHING, Outcome::Done, {"Programming complete.\nVerify passed"}},
        // The first program word of the read-back (byte 7 of the CMD_READ answer) reads 0.
        {"differs",
         FaultReply(CMD_READ, 7, VEKSIM_REPLACE, 0),
         Outcome::Mismatch,
         {"Programming complete.\nProgram ROM verify failed at word 0. (expected 0x2805, read "
          "0x2800"}},
        {"read-back fails",
         [](SimControl& s) { s.ShortEepromBlock(0, 10); },
         Outcome::CommunicationFailed,
         {"Could not read from device. (128)",
          "Programming complete.\nVerify could not be completed."}},
        {"program fails",
         FaultReply(VEKSIM_ANCHOR_BLOCK | 0, 0, VEKSIM_REPLACE, 0),
         Outcome::CommunicationFailed,
         {"Bad ACK during Flash programming. (0xA5)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ChipWithOldEeprom(0, 0x3FFF);
        c.fault(sim);
        EXPECT_EQ(ProgramWith(false, true).outcome, c.outcome);
        EXPECT_EQ(ui.messages, c.messages);
    }
}

}  // namespace
}  // namespace vek::test
