#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <optional>

#include "device/hex_file.h"
#include "device/image_compare.h"
#include "link/protocol.h"
#include "operations/program.h"
#include "operations/verify.h"
#include "read_stream_faults.h"

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
const Chip PIC_CHIP{0, PIC_FILE, "3D3A", "FFF"};
const Chip SX_CHIP{8, SX_FILE, "4E9", "440"};

class VerifyTest : public SimTest {
  protected:
    void SetUp() override { OpenProgrammer(); }
    void TearDown() override { std::remove(path.c_str()); }

    // Programs the chip from the file and the fields, as the person would before a Verify.
    void ProgramChip(Session& programmed, RecordingUi& programmedUi, const Chip& chip) {
        if (&programmed != &session) {
            OpenProgrammer(programmed);
        }
        programmedUi.selectedRow = chip.row;
        ASSERT_TRUE(sim.SelectChip(std::string(DeviceTable[chip.row].name)));
        std::ofstream(path) << chip.file;
        programmed.HexFilePath = path;
        programmed.HexFileName = "test.hex";
        programmedUi.controls.FuseText = chip.fuse;
        programmedUi.controls.FuseXText = chip.fuseX;
        ASSERT_EQ(OnProgram(programmed).message, "Programming complete.");
        programmedUi.messages.clear();
        sim.ClearLogs();
    }
    std::string path = ::testing::TempDir() + "vek_verify_" + std::to_string(getpid()) + ".hex";
};

Injection SetWord(int space, int index, int value) {
    return [=](SimControl& s) { s.WriteWord(space, index, value); };
}
const Injection NO_CHANGE = [](SimControl&) {};

// A change made after programming: to the chip, and to the fields when given.
struct Change {
    const char* name;
    const Chip& chip;
    Injection onChip;
    std::string message;
    std::optional<ImageDifference> mismatch;
    const char* fuse = nullptr;
    const char* fuseX = nullptr;
};

TEST_F(VerifyTest, AProgrammedChipPassesAndEachChangeIsReportedFirstAndAlone) {
    using K = DifferenceKind;
    const std::string passed = "Verify passed";
    const std::vector<Change> changes = {
        {"PIC16 with EEPROM as programmed", PIC_CHIP, NO_CHANGE, passed, std::nullopt},
        {"SX as programmed", SX_CHIP, NO_CHANGE, passed, std::nullopt},
        {"changed word", PIC_CHIP, SetWord(VEKSIM_PROGRAM, 2, 0x1234),
         "Program ROM verify failed at word 2. (expected 0x1683, read 0x1234",
         ImageDifference{K::ProgramWord, 2, 0x1683, 0x1234}},
        {"word the file leaves blank, before a changed field", SX_CHIP,
         SetWord(VEKSIM_PROGRAM, 100, 0),
         "Program ROM verify failed at word 100. (expected 0x0FFF, read 0x0000",
         ImageDifference{K::ProgramWord, 100, 0x0FFF, 0x0000}, "4EA"},
        {"configuration word", PIC_CHIP, NO_CHANGE, "Verify Fuse failed. Read 3D3A, expected 3D3B",
         ImageDifference{K::FuseWord, 0x2007, 0x3D3B, 0x3D3A}, "3D3B"},
        {"FUSE", SX_CHIP, NO_CHANGE, "Verify Fuse failed. Read 04E9, expected 04EA",
         ImageDifference{K::FuseWord, 0x1010, 0x4EA, 0x4E9}, "4EA"},
        {"FUSE bits above 12 are compared", SX_CHIP, FaultReply(CMD_READ, 3, VEKSIM_REPLACE, 0xF4),
         "Verify Fuse failed. Read F4E9, expected 04E9",
         ImageDifference{K::FuseWord, 0x1010, 0x4E9, 0xF4E9}},
        {"FUSEX before FUSE", SX_CHIP, NO_CHANGE, "Verify FuseX failed. Read 440, expected 441",
         ImageDifference{K::FuseXWord, 0x1011, 0x441, 0x440}, "4EA", "441"},
        {"EEPROM byte", PIC_CHIP, SetWord(VEKSIM_EEPROM, 2, 0x99),
         "EE Data Verify failed at 2102h (EE location 2)",
         ImageDifference{K::EepromByte, 0x2102, 0x33, 0x99}},
        {"EEPROM byte the file does not give", PIC_CHIP, SetWord(VEKSIM_EEPROM, 10, 0), passed,
         std::nullopt},
        {"any reply to CMD_BEGIN", PIC_CHIP, FaultReply(CMD_BEGIN, 1, VEKSIM_REPLACE), passed,
         std::nullopt},
        {"program block resent once", PIC_CHIP, [](SimControl& s) { s.ShortReadBlock(3, 1, 1); },
         passed, std::nullopt},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.name);
        sim.Reset();
        RecordingUi caseUi;
        Session caseSession(caseUi, settings, sim.LibraryPath());
        ProgramChip(caseSession, caseUi, change.chip);
        change.onChip(sim);
        caseUi.controls.FuseText = change.fuse ? change.fuse : change.chip.fuse;
        caseUi.controls.FuseXText = change.fuseX ? change.fuseX : change.chip.fuseX;
        const OperationResult result = VerifyTarget(caseSession);
        EXPECT_EQ(caseUi.messages, std::vector<std::string>{change.message});
        EXPECT_EQ(result.message, change.message);
        EXPECT_EQ(result.mismatch, change.mismatch);
        EXPECT_EQ(result.outcome, change.mismatch ? Outcome::Mismatch : Outcome::Done);
        const std::uint8_t index = DeviceTable[change.chip.row].processorIndex;
        // The read-back ends the transaction, and a pass ends it once more.
        EXPECT_EQ(Count(HostHex(), Frame({CMD_END, index})), change.mismatch ? 1 : 2);
        EXPECT_EQ(caseUi.hexDataPrepared, 0);  // the listing is left as it was
        ExpectFlagsCleared(caseSession, caseUi);
    }
}

TEST_F(VerifyTest, AFailedReadBackShowsOneMessageAndComparesNothing) {
    const std::string driverError = "Driver error writing to VEK Flash. ";
    std::vector<BlockFault> failures = {
        {"BEGIN frame", FailWrite(0), driverError},
        {"(134)", FailRead(1), "VEK-Flash programmer is not responding to commands.(134)"},
        {"READ frame", FailWrite(2), driverError},
        {"first (1161)", FailRead(5), "VEK-Flash programmer is not responding to commands.(1161)"},
        {"(T15)", FailRead(6), "Could not read from device. (T15)"},
        {"second (1161)", FailRead(7), "VEK-Flash programmer not responding to commands.(1161)"},
        {"(T19)", FailRead(8), "Could not read from device. (T19)"},
    };
    for (const BlockFault& fault : MemoryBlockFaults()) {
        failures.push_back(fault);
    }
    for (const BlockFault& failure : failures) {
        SCOPED_TRACE(failure.name);
        sim.Reset();
        RecordingUi caseUi;
        Session caseSession(caseUi, settings, sim.LibraryPath());
        ProgramChip(caseSession, caseUi, PIC_CHIP);
        failure.inject(sim);
        const OperationResult result = VerifyTarget(caseSession);
        EXPECT_EQ(caseUi.messages, std::vector<std::string>{failure.message});
        EXPECT_EQ(result.outcome, Outcome::CommunicationFailed);
        EXPECT_EQ(Count(HostHex(), Frame({CMD_END, 0})), 0);
        ExpectFlagsCleared(caseSession, caseUi);
    }
}

TEST_F(VerifyTest, AFileGoneFromDiskIsReportedAfterTheWholeReadBack) {
    ProgramChip(session, ui, PIC_CHIP);
    std::remove(path.c_str());
    const OperationResult result = VerifyTarget(session);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"The hex file test.hex could not be opened."});
    EXPECT_EQ(result.outcome, Outcome::HexFileError);
    EXPECT_EQ(Count(HostHex(), Frame({CMD_END, 0})), 1);
    EXPECT_EQ(session.image[0x2102], 0x33);  // the chip's contents stay in the image
}

TEST_F(VerifyTest, WithoutAFileNothingIsSent) {
    const OperationResult result = VerifyTarget(session);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Error: You must first load a HEX file."});
    EXPECT_EQ(result.outcome, Outcome::NoHexFile);
    EXPECT_TRUE(sim.CallLog().empty());
    ExpectFlagsCleared(session, ui);
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
