// Read and Verify through the simulated programmer: what Read lists, Verify's pass, each kind
// of difference and a file gone from disk, and every fault of the read stream that Read and
// Verify's read-back share.
#include <filesystem>

#include "device/hex_file.h"
#include "device/hex_writer.h"
#include "device/image_compare.h"
#include "link/protocol.h"
#include "operations/operation_claim.h"
#include "sim_fixture.h"

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

class ReadTest : public SimTest {};

TEST_F(ReadTest, Pic16ChipFillsTheImageTheFieldsAndTheListing) {
    Open(7);
    sim.WriteWord(VEKSIM_PROGRAM, 0, 0x2805);
    sim.WriteWord(VEKSIM_PROGRAM, 8191, 0x0123);
    sim.WriteWord(VEKSIM_CONFIG, 7, 0x3D3A);
    for (int location = 0; location < 4; ++location) {
        sim.WriteWord(VEKSIM_EEPROM, location, location + 1);
    }
    sim.WriteWord(VEKSIM_EEPROM, 255, 0xEE);
    state.CurrentFuseXText = "440";
    fields.FuseXText = "440";

    EXPECT_TRUE(Read().Succeeded());
    EXPECT_TRUE(ui.messages.empty());
    const std::vector<std::string> listing = Listing();
    ASSERT_EQ(listing.size(), 2114u);
    EXPECT_EQ(listing[0], "Program data from microcontroller:");
    EXPECT_EQ(listing[1], "0000:   2805   3FFF   3FFF   3FFF");
    EXPECT_EQ(listing[2048], "1FFC:   3FFF   3FFF   3FFF   0123");
    EXPECT_EQ(listing[2049], "EEPROM Data:");
    // The extra byte before the EEPROM is taken, so every byte stands at its own location.
    EXPECT_EQ(listing[2050], "2100:    01    02    03    04   (0..3)");
    EXPECT_EQ(listing[2113], "21FC:    FF    FF    FF    EE   (252..255)");

    EXPECT_EQ(fields.FuseText, "3D3A");
    EXPECT_EQ(fields.FuseXText, "---");
    EXPECT_EQ(state.CurrentFuseText, "3D3A");
    EXPECT_EQ(state.CurrentFuseXText, "440");

    EXPECT_EQ(HostHex(), ReadExchange(7, {CMD_READ, 7, 0x00, 0x20, 0x00, 0x01}, 256 + 4));
    ASSERT_EQ(ui.progress.size(), 257u);  // 0 at the start, then once per program block
    EXPECT_EQ(ui.progress.back(), 99);
    EXPECT_EQ(ui.pumps, 256);
}

TEST_F(ReadTest, SxChipShowsThreeDigitWordsAndReadsNoEeprom) {
    Open(9);
    sim.WriteWord(VEKSIM_PROGRAM, 4095, 0x0A5);
    sim.WriteWord(VEKSIM_FUSE, 0, 0x4E9);
    sim.WriteWord(VEKSIM_FUSEX, 0, 0x440);

    EXPECT_TRUE(Read().Succeeded());
    EXPECT_TRUE(ui.messages.empty());
    const std::vector<std::string> listing = Listing();
    ASSERT_EQ(listing.size(), 1025u);
    EXPECT_EQ(listing[1], "0000:   0FFF   0FFF   0FFF   0FFF");
    EXPECT_EQ(listing[1024], "0FFC:   0FFF   0FFF   0FFF   00A5");
    EXPECT_EQ(fields.FuseText, "4E9");
    EXPECT_EQ(fields.FuseXText, "440");
    EXPECT_EQ(state.CurrentFuseText, "4E9");
    EXPECT_EQ(state.CurrentFuseXText, "440");
    EXPECT_EQ(HostHex(), ReadExchange(9, {CMD_READ, 9, 0x00, 0x10, 0x00, 0x00}, 128));
}

TEST_F(ReadTest, AShortProgramBlockIsDrainedAndResentOnce) {
    Open();
    sim.WriteWord(VEKSIM_PROGRAM, 32, 0x1234);
    sim.ShortReadBlock(1, 1, 10);

    EXPECT_TRUE(Read().Succeeded());
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_GT(Listing().size(), 9u);
    EXPECT_EQ(Listing()[9], "0020:   1234   3FFF   3FFF   3FFF");
    EXPECT_NE(HostHex().find("A5 11 A5"), std::string::npos);  // block 0, resend, block 1
    EXPECT_EQ(ui.pauses, (std::vector<int>{100, 2}));
}

// Words 2805 0000 1683 0103 from address 0; EEPROM locations 0 to 2: 11 22 33.
const std::string PIC_FILE = ":0800000005280000831603012E\n:0642000011002200330052\n:00000001FF\n";
// Words 0A5 C0F 025 from address 0.
const std::string SX_FILE = ":06000000A5000F0C250015\n:00000001FF\n";

struct Chip {
    int row;
    const std::string& file;
    const char* fuse;
    const char* fuseX;
};
const Chip PIC{0, PIC_FILE, "3D3A", "FFF"};
const Chip SX{8, SX_FILE, "4E9", "440"};

class VerifyTest : public SimTest {
  protected:
    // Programs the chip from the file and the fields, as the person would before a Verify.
    void ProgramChip(Bench& bench, const Chip& chip) {
        bench.Open(chip.row);
        bench.UseFile(folder.Write("test.hex", chip.file), chip.fuse, chip.fuseX);
        bench.ui.answerYes = true;  // 3D3A protects a 16F84A's code
        ASSERT_EQ(bench.Program().messages, std::vector<std::string>{"Programming complete."});
        bench.ui.messages.clear();
        bench.sim.ClearLogs();
    }
};

TEST_F(VerifyTest, AProgrammedChipPassesAndEachChangeIsReportedFirstAndAlone) {
    // A change made after programming: to the chip, and to the fields when given.
    struct Change {
        const char* name;
        const Chip& chip;
        Injection onChip;
        std::string message;
        const char* fuse = nullptr;
        const char* fuseX = nullptr;
    };
    const std::string passed = "Verify passed";
    const std::string word = "Program ROM verify failed at word ";
    const Change changes[] = {
        {"PIC16 with EEPROM as programmed", PIC, NOTHING, passed},
        {"SX as programmed", SX, NOTHING, passed},
        {"changed word", PIC, SetWord(VEKSIM_PROGRAM, 2, 0x1234),
         word + "2. (expected 0x1683, read 0x1234"},
        {"word the file leaves blank, before a changed field", SX, SetWord(VEKSIM_PROGRAM, 100, 0),
         word + "100. (expected 0x0FFF, read 0x0000", "4EA"},
        {"configuration word", PIC, NOTHING, "Verify Fuse failed. Read 3D3A, expected 3D3B",
         "3D3B"},
        {"FUSE", SX, NOTHING, "Verify Fuse failed. Read 04E9, expected 04EA", "4EA"},
        {"FUSEX before FUSE", SX, NOTHING, "Verify FuseX failed. Read 440, expected 441", "4EA",
         "441"},
        {"EEPROM byte", PIC, SetWord(VEKSIM_EEPROM, 2, 0x99),
         "EE Data Verify failed at 2102h (EE location 2)"},
        {"EEPROM byte the file does not give", PIC, SetWord(VEKSIM_EEPROM, 10, 0), passed},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.name);
        Bench bench;
        ProgramChip(bench, change.chip);
        change.onChip(bench.sim);
        bench.fields.FuseText = change.fuse ? change.fuse : change.chip.fuse;
        bench.fields.FuseXText = change.fuseX ? change.fuseX : change.chip.fuseX;
        const OperationResult result = bench.Verify();
        EXPECT_EQ(bench.ui.messages, std::vector<std::string>{change.message});
        EXPECT_EQ(result.messages, std::vector<std::string>{change.message});
        const bool pass = change.message == passed;
        EXPECT_EQ(result.outcome, pass ? Outcome::Done : Outcome::Mismatch);
        // The read-back ends the transaction, and a pass ends it once more.
        EXPECT_EQ(bench.EndFrames(), pass ? 2 : 1);
    }
}

TEST_F(VerifyTest, AFileGoneFromDiskIsReportedAfterTheWholeReadBack) {
    ProgramChip(*this, PIC);
    std::filesystem::remove(folder / "test.hex");
    const OperationResult result = Verify();
    EXPECT_EQ(ui.messages, std::vector<std::string>{"The hex file test.hex could not be opened."});
    EXPECT_EQ(result.outcome, Outcome::HexFileError);
    EXPECT_EQ(EndFrames(), 1);
    ASSERT_TRUE(result.readBack.has_value());  // what was read stays in the result
    EXPECT_EQ(result.readBack->image[0x2102], 0x33);
}

TEST_F(VerifyTest, WithoutAFileOrWithoutItsDataNothingIsSent) {
    Open();
    OperationResult result = Verify();
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Error: You must first load a HEX file."});
    EXPECT_EQ(result.outcome, Outcome::NoHexFile);
    EXPECT_TRUE(sim.CallLog().empty());
    EXPECT_FALSE(programmer.BusyFlag || programmer.LinkInUse);

    // Only an end record: it would pass against the blank chip and its blank word.
    UseFile(folder.Write("test.hex", ":00000001FF\n"), "3FFF", "FFF");
    ui.messages.clear();
    result = Verify();
    EXPECT_EQ(ui.messages, std::vector<std::string>{"The file test.hex holds no HEX data."});
    EXPECT_EQ(result.outcome, Outcome::HexFileError);
    EXPECT_TRUE(sim.CallLog().empty());
}

TEST(CompareWithFile, ListsEveryDifferenceInTheOrderVerifyReportsThem) {
    using K = DifferenceKind;
    MemoryImage file;
    MemoryImage chip;
    ResetImage(file, LoadVariant::Verify, TargetFamily::SX);
    ResetImage(chip, LoadVariant::Verify, TargetFamily::SX);
    chip[5] = 0x123;
    chip[2047] = 0;
    chip[2048] = 0;  // past the SX28's program memory
    EXPECT_EQ(CompareWithFile(file, chip, DeviceTable[8], {0x4E9, 0x440}, {0xF4E9, 0x441}),
              (std::vector<ImageDifference>{{K::ProgramWord, 5, 0xFFF, 0x123},
                                            {K::ProgramWord, 2047, 0xFFF, 0},
                                            {K::FuseXWord, 0x1011, 0x440, 0x441},
                                            {K::FuseWord, 0x1010, 0x4E9, 0xF4E9}}));

    ResetImage(file, LoadVariant::Verify, TargetFamily::PIC16);
    ResetImage(chip, LoadVariant::Verify, TargetFamily::PIC16);
    file[0x2100] = 0x111;  // given: 0x11
    chip[0x2100] = 0x12;
    chip[0x2101] = 0x55;   // not given by the file
    file[0x2140] = 0x122;  // past the 16F84A's 64 bytes
    EXPECT_EQ(CompareWithFile(file, chip, DeviceTable[0], {0x3FFF, 1}, {0x3FFF, 2}),
              (std::vector<ImageDifference>{{K::EepromByte, 0x2100, 0x11, 0x12}}));
}

// A fault of the read stream and what each command shows for it.
struct StreamFault {
    Injection inject;
    std::vector<std::string> read;
    std::vector<std::string> verify;  // none: Verify's outcome is not this table's business
    int readEnds = 1;                 // Read's CMD_END frames: none when it failed before CMD_READ
    bool listed = false;              // Read went on to the listing
    int row = 0;
};

const std::string NR = "VEK-Flash programmer is not responding to commands.";
const std::string T = "Could not read from device. (";
const std::string PROGRAM_ACK = "Could not WRITE the device during program memory read.";
const std::string EEPROM_ACK = "Could not WRITE the programmer during EEPROM read.";
const std::string WIDE_WORD =
    "Error: Communication with VEK Flash programmer failed. A word read was wider than the "
    "chip's words. (T23)";
const std::string FIRST_BLOCK_SHORT =
    "Error: Communication with VEK Flash programmer failed. The first block of the read arrived "
    "short. (T24)";
const std::string LEFTOVER =
    "Error: Communication with VEK Flash programmer failed. Bytes were left over after the "
    "read. (T22)";

Injection ShortBlockThen(Injection then) {
    return [then](SimControl& s) {
        s.ShortReadBlock(1, 1, 10);
        then(s);
    };
}

// A 16F84A's read stream, reads in order: BEGIN ack 0, reply 1, READ_ID ack 2, ID 3, READ ack
// 4, first byte 5, configuration 6, the byte after it 7, program blocks 8 to 39, the extra byte
// 40, EEPROM block 41, the look for a byte after the stream 42. Writes: BEGIN 0, READ_ID 1,
// READ 2, the program blocks' acknowledgements 3 to 34, the EEPROM block's 35. A failed call
// for a byte whose value is not examined must still stop the stream: left queued, it would
// shift every later block by a byte. The answer to CMD_READ counts its acknowledgement as
// byte 0, the header as 1 to 6, the first program block from 7 and the EEPROM block from 2056.
TEST_F(ReadTest, EveryFaultOfTheReadStreamEndsReadAndVerifyWithTheirOwnMessages) {
    const std::string warning = WrongTargetWarning("16F84A", "9A0");
    const StreamFault faults[] = {
        {FailWrite(0), {DRIVER_ERROR, NR + "(125)"}, {DRIVER_ERROR}, 0},
        {FailRead(1), {NR + "(126)"}, {NR + "(134)"}, 0},
        // Verify goes on whatever the programmer answered.
        {FaultReply(CMD_BEGIN, 1, VEKSIM_REPLACE), {Fatal("(6)")}, {"Verify passed"}, 0},
        {[](SimControl& s) { s.SetDeviceId(0x9A0); }, {warning}, {warning}, 0},
        {FailWrite(2), {DRIVER_ERROR}, {DRIVER_ERROR}, 0},
        {FailRead(5), {NR + "(1161)"}, {NR + "(1161)"}},
        {FailRead(5), {NR + "(1161)"}, {NR + "(1161)"}, 1, false, 8},
        {FailRead(6), {T + "T3)"}, {T + "T15)"}},
        // A configuration byte that comes late: the words would be made of what came.
        {FaultReply(CMD_READ, 5, VEKSIM_DELAY, 1500),
         {"Error: " + T + "T4)"},
         {"Error: " + T + "T4)"}},
        {FaultReply(CMD_READ, 3, VEKSIM_REPLACE, 0xF4), {WIDE_WORD}, {WIDE_WORD}, 1, false, 8},
        // A byte gained after the configuration word's low byte: what follows is a byte off.
        {FaultReply(CMD_READ, 2, VEKSIM_APPEND, 1), {WIDE_WORD}, {WIDE_WORD}},
        {FailRead(7), {T + "T119)"}, {"VEK-Flash programmer not responding to commands.(1161)"}},
        // The byte after them comes late and lands in the first block, a byte off.
        {FaultReply(CMD_READ, 6, VEKSIM_DELAY, 1500), {T + "T120)", WIDE_WORD}, {WIDE_WORD}},
        {FailRead(8), {T + "T13)"}, {T + "T19)"}},
        {FaultReply(CMD_READ, 8, VEKSIM_REPLACE, 0x40), {WIDE_WORD}, {WIDE_WORD}},
        {[](SimControl& s) { s.ShortReadBlock(0, 1, 63); },
         {FIRST_BLOCK_SHORT},
         {FIRST_BLOCK_SHORT}},
        {[](SimControl& s) { s.ShortReadBlock(1, 2, 10); }, {T + "64)"}, {T + "64)"}},
        // After the short block and the one drain read that finds nothing.
        {ShortBlockThen(FailRead(11)), {T + "T4)"}, {T + "T4)"}},
        {ShortBlockThen(FailWrite(4)), {PROGRAM_ACK}, {PROGRAM_ACK}},
        {FailWrite(3), {PROGRAM_ACK}, {PROGRAM_ACK}},
        {FailRead(40), {T + "T9)"}, {T + "T9)"}},
        {FailRead(41), {T + "T9)"}, {T + "T9)"}},
        {[](SimControl& s) { s.ShortEepromBlock(0, 10); }, {T + "128)"}, {T + "128)"}},
        {FailWrite(35), {EEPROM_ACK}, {EEPROM_ACK}},
        {FaultReply(CMD_READ, 2119, VEKSIM_APPEND, 1), {LEFTOVER}, {LEFTOVER}},
        {FailRead(42), {T + "T21)"}, {T + "T21)"}},
    };
    // One blank word: a file needs data to be verified against.
    const std::string blankPic = folder.Write("blank-pic.hex", ":02000000FF3FC0\n:00000001FF\n");
    const std::string blankSx = folder.Write("blank-sx.hex", ":02000000FF0FF0\n:00000001FF\n");
    for (std::size_t row = 0; row < std::size(faults); ++row) {
        const StreamFault& fault = faults[row];
        SCOPED_TRACE(testing::Message() << "row " << row << ": " << fault.read.back());
        Bench reading(fault.row);
        fault.inject(reading.sim);
        // The window empties its Hex Data window first for every Read that starts.
        EXPECT_TRUE(WouldStart(reading.programmer, reading.Target()));
        EXPECT_EQ(reading.Read().Succeeded(), fault.listed);
        EXPECT_EQ(reading.ui.messages, fault.read);
        EXPECT_EQ(reading.last.messages, fault.read);
        // What the window keeps for "Save Read Data As...": a failure takes the last Read's.
        EXPECT_EQ(reading.last.readBack.has_value(), fault.listed);
        EXPECT_EQ(reading.EndFrames(), fault.readEnds);
        EXPECT_EQ(reading.Listing().empty(), !fault.listed);
        if (fault.verify.empty()) {
            continue;
        }
        // A blank chip against a file of one blank word, so that only the fault can fail it.
        Bench verifying(fault.row);
        verifying.UseFile(fault.row > 7 ? blankSx : blankPic, "3FFF", "FFF");
        fault.inject(verifying.sim);
        const OperationResult result = verifying.Verify();
        const bool passed = fault.verify.back() == "Verify passed";
        EXPECT_EQ(verifying.ui.messages, fault.verify);
        EXPECT_EQ(result.outcome, passed ? Outcome::Done
                                  : fault.verify.back().starts_with("W")
                                      ? Outcome::WrongDevice
                                      : Outcome::CommunicationFailed);
        // A read-back that got through ends its transaction, and a pass ends it once more.
        EXPECT_EQ(verifying.EndFrames(), passed ? 2 : 0);
    }
}

// Byte positions of a read stream, as the simulator counts the answer to CMD_READ: 0 is the
// frame's acknowledgement, 1 to 6 the header, then the blocks. A 16F84A's stream is 2120 bytes
// (32 program blocks from 7, its extra byte at 2055, the EEPROM block from 2056), an SX28's
// 4103 (64 program blocks from 7).
struct ShiftRange {
    int first, last;
    bool succeeds;
};
struct StreamShift {
    int row;
    int action;  // VEKSIM_DROP: the byte is lost; VEKSIM_APPEND: a stray byte follows it
    std::vector<ShiftRange> ranges;
};

void PrintTo(const StreamShift& shift, std::ostream* out) {
    *out << DeviceTable[shift.row].name << (shift.action == VEKSIM_DROP ? " lost" : " added");
}

// Every word of the chip set, so that a word taken a byte off shows.
void FillChip(SimControl& sim, const DeviceInfo& target) {
    for (int address = 0; address < target.programWords; ++address) {
        sim.WriteWord(VEKSIM_PROGRAM, address, address * 0x1F3 + 0x155);
    }
    for (int location = 0; location < target.eepromBytes; ++location) {
        sim.WriteWord(VEKSIM_EEPROM, location, location * 37 + 11);
    }
    sim.WriteWord(VEKSIM_CONFIG, 7, 0x3F72);
    sim.WriteWord(VEKSIM_FUSE, 0, 0x4E9);
    sim.WriteWord(VEKSIM_FUSEX, 0, 0x440);
}

std::vector<std::int32_t> Entries(const MemoryImage& image, int first, int count) {
    std::vector<std::int32_t> entries;
    for (int address = first; address < first + count; ++address) {
        entries.push_back(image[address]);
    }
    return entries;
}

class ReadStreamShift : public ::testing::TestWithParam<StreamShift> {};

// One byte of the stream lost, or one stray byte after it: the read either has every word
// right, or ends as a failure of the link with nothing taken as the chip's, and Verify tells
// such a failure from a chip that differs. A lost byte in a program block after the first is
// made good by the block's resend; the header before the first block has none, so a byte lost
// there or in that block cannot be told apart.
TEST_P(ReadStreamShift, EveryByteLostOrAddedEndsWithTheChipsWordsOrAsALinkFault) {
    const StreamShift& shift = GetParam();
    const DeviceInfo& target = DeviceTable[shift.row];
    const bool sx = target.family == TargetFamily::SX;
    // The good read gives the words to compare with, and the file Verify needs.
    Bench good(shift.row);
    FillChip(good.sim, target);
    ASSERT_TRUE(good.Read().Succeeded());
    const MemoryImage chip = good.last.readBack->image;
    const FieldTexts chipFields = good.fields;
    TempFolder folder;
    const std::string file =
        folder.Write("chip.hex", HexFileText(chip, target, good.last.readBack->words));
    const int programEnd = 7 + target.programWords * 2;
    for (const ShiftRange& range : shift.ranges) {
        for (int position = range.first; position <= range.last; ++position) {
            SCOPED_TRACE(testing::Message() << "byte " << position);
            Bench reading(shift.row);
            FillChip(reading.sim, target);
            reading.fields.FuseText = "KEPT";
            reading.sim.FaultReply(CMD_READ, 0, position, shift.action, 1);
            const OperationResult read = reading.Read();
            if (range.succeeds) {
                ASSERT_TRUE(read.Succeeded());
                const MemoryImage& kept = read.readBack->image;
                ASSERT_EQ(Entries(kept, 0, target.programWords),
                          Entries(chip, 0, target.programWords));
                ASSERT_EQ(Entries(kept, EEPROM_ADDR, target.eepromBytes),
                          Entries(chip, EEPROM_ADDR, target.eepromBytes));
                ASSERT_EQ(reading.fields.FuseText, chipFields.FuseText);
                ASSERT_EQ(reading.fields.FuseXText, chipFields.FuseXText);
            } else {
                ASSERT_EQ(read.outcome, Outcome::CommunicationFailed);
                ASSERT_FALSE(read.readBack.has_value());
                ASSERT_TRUE(reading.Listing().empty());
                ASSERT_EQ(reading.fields.FuseText, "KEPT");
            }
            // Verify takes the same blocks: its own steps are the header's, the stream's end
            // and its verdict, which every byte outside a program block's middle reaches.
            const int inBlock = (position - 7) % 64;
            if (position > 70 && position < programEnd && inBlock != 0 && inBlock != 63) {
                continue;
            }
            Bench verifying(shift.row);
            FillChip(verifying.sim, target);
            verifying.UseFile(file, chipFields.FuseText, sx ? chipFields.FuseXText : "0");
            verifying.sim.FaultReply(CMD_READ, 0, position, shift.action, 1);
            ASSERT_EQ(verifying.Verify().outcome,
                      range.succeeds ? Outcome::Done : Outcome::CommunicationFailed);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    ByteLostOrAdded, ReadStreamShift,
    ::testing::Values(
        StreamShift{0, VEKSIM_DROP, {{0, 70, false}, {71, 2054, true}, {2055, 2119, false}}},
        StreamShift{0, VEKSIM_APPEND, {{0, 2119, false}}},
        StreamShift{8, VEKSIM_DROP, {{0, 70, false}, {71, 4102, true}}},
        StreamShift{8, VEKSIM_APPEND, {{0, 4102, false}}}),
    [](const auto& info) {
        return std::string(DeviceTable[info.param.row].name) +
               (info.param.action == VEKSIM_DROP ? "Lost" : "Added");
    });

}  // namespace
}  // namespace vek::test
