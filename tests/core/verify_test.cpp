// Verify of a programmed chip: a pass, each kind of difference, and a file gone from disk.
// The read-back's faults are in read_test.cpp, with Read's.
#include <filesystem>

#include "device/hex_file.h"
#include "device/image_compare.h"
#include "link/protocol.h"
#include "sim_fixture.h"
#include "temp_folder.h"

namespace vek::test {
namespace {

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

    TempFolder folder;
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

}  // namespace
}  // namespace vek::test
