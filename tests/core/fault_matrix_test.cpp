// Every command, on a PIC16 with data EEPROM and on an SX, under every fault the matrix makes
// of its good run. A command is one row: its bench, its call, its messages and what its
// success messages claim.
#include <gtest/gtest.h>

#include "fault_matrix.h"
#include "session/connection.h"
#include "vek_sim.h"

namespace vek::test {
namespace {

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> lists) {
    std::vector<std::string> all;
    for (const auto& list : lists) {
        all.insert(all.end(), list.begin(), list.end());
    }
    return all;
}

const std::vector<std::string> IDENTIFICATION = {
    "VEK-Flash programmer is not responding correctly to read processor type command.",
    "VEK-Flash programmer is not responding to read processor type command.",
    "Warning: The processor selected (*"};
const std::vector<std::string> BLANK_CHECK_EXCHANGE = {
    "VEK-Flash programmer is not responding to the Blank Check command (E1)",
    "VEK-Flash programmer is not responding correctly to the Blank Check command. (E2)"};
const std::vector<std::string> ERASE_EXCHANGE = {
    "VEK-Flash programmer is not responding to commands.(120)",
    Fatal("(4)"),
    Fatal("(14)"),
    Fatal("(114)"),
    "Could not read from device. (BE1)",
    "VEK-Flash programmer is not responding correctly to Erase command. (E5)"};
const std::vector<std::string> BLANK_VERDICTS = {
    "Device is blank", "Device is not blank",
    "VEK-Flash programmer is not responding to the Blank Check command."};
const std::vector<std::string> READ_BLOCKS = {
    "Error: Could not read from device. (T4)",
    "Could not WRITE the device during program memory read.",
    "Could not read from device. (T4)",
    "Could not read from device. (64)",
    "Could not read from device. (T9)",
    "Could not read from device. (128)",
    "Could not WRITE the programmer during EEPROM read.",
    "Could not read from device. (T21)",
    "Error: Communication with VEK Flash programmer failed. Bytes were left over after the read. "
    "(T22)",
    "Error: Communication with VEK Flash programmer failed. A word read was wider than the chip's "
    "words. (T23)",
    "Error: Communication with VEK Flash programmer failed. The first block of the read arrived "
    "short. (T24)"};

const std::vector<std::string> BLANK_CHECK_MESSAGES =
    Concat({BLANK_VERDICTS,
            BLANK_CHECK_EXCHANGE,
            {"VEK-Flash programmer is not responding to commands.(129)", Fatal("(1b)")}});

const std::vector<std::string> ERASE_MESSAGES =
    Concat({BLANK_VERDICTS,
            BLANK_CHECK_EXCHANGE,
            ERASE_EXCHANGE,
            IDENTIFICATION,
            {"VEK-Flash programmer not responding to commands.(118)", Fatal("(1a)"),
             "Error: Communication with VEK Flash programmer failed. (c3)",
             "VEK-Flash programmer is not responding to commands.(119)", Fatal("(2)")}});

const std::vector<std::string> PROGRAM_MESSAGES =
    Concat({BLANK_CHECK_EXCHANGE,
            ERASE_EXCHANGE,
            IDENTIFICATION,
            {"Error communicating with programmer.",
             "VEK-Flash programmer is not responding to commands.(1130)",
             Fatal("(1c)"),
             "Could not write the device during Blank Check.",
             "Could not read from the device during Blank Check.",
             "Error during Bulk Erase function.",
             "VEK-Flash programmer is not responding to commands.(1131)",
             Fatal("(1d)"),
             "VEK-Flash programmer is not responding to the program Fusex command.",
             "FuseX program failed.",
             "VEK-Flash programmer is not responding to commands.(1731)",
             "VEK Flash programmer is not responding to commands.(145d)",
             "VEK-Flash programmer is not responding to the program Fuse command.",
             "Fuse program failed.",
             "VEK-Flash programmer is not responding correctly to program ROM command.",
             "Bad ACK during Flash programming. (0xA5)",
             "VEK-Flash programmer is not responding to commands.(1137f)",
             "VEK Flash programmer is not responding to commands.(1tr)",
             "Bad ACK during Configuration programming (CF0).",
             "Bad ACK during Configuration programming (CF1).",
             "data left over 2",
             "VEK Flash programmer is not responding to commands.(1u)",
             "Bad ACK during EE Data programming.",
             "VEK-Flash programmer is not responding to commands.(1137s)",
             "VEK Flash programmer is not responding to commands.(1trj)",
             "Bad ACK during Configuration programming (CF2).",
             "Bad ACK during Configuration programming (CF3).",
             "Bad ACK attempting to terminate Flash programming.(1)",
             "Bad ACK attempting to terminate Flash programming.(2)",
             "Error communicating with programmer. (99)",
             "Programming complete."}});

const std::vector<std::string> VERIFY_MESSAGES = Concat(
    {READ_BLOCKS,
     IDENTIFICATION,
     {"VEK-Flash programmer is not responding to commands.(134)",
      "VEK-Flash programmer is not responding to commands.(1161)",
      "Could not read from device. (T15)", "VEK-Flash programmer not responding to commands.(1161)",
      "Could not read from device. (T19)", "Program ROM verify failed at word *",
      "Verify FuseX failed. Read *", "Verify Fuse failed. Read *", "EE Data Verify failed at *",
      "Verify passed"}});

const std::vector<std::string> READ_MESSAGES =
    Concat({READ_BLOCKS,
            IDENTIFICATION,
            {"VEK-Flash programmer is not responding to commands.(125)",
             "VEK-Flash programmer is not responding to commands.(126)", Fatal("(6)"),
             "VEK-Flash programmer is not responding to commands.(1161)",
             "Could not read from device. (T3)", "Could not read from device. (T119)",
             "Could not read from device. (T120)", "Could not read from device. (T13)"}});

// Files for both families: program words, and the PIC16's ID words, configuration word and
// EEPROM bytes, or the SX's FUSE and FUSEX words.
const std::string PIC_FILE =
    ":0600000005280000FF3F8F\n:0440000001000200B9\n:02400E00F23F7F\n:044200001100220087\n"
    ":00000001FF\n";
const std::string SX_FILE = ":06000000010A020B030CD3\n:042020009B0FFE0F05\n:00000001FF\n";

bool IsPic16(Bench& bench) {
    return bench.Target().family == TargetFamily::PIC16;
}

bool ProgramBlank(Bench& bench) {
    const int blank = IsPic16(bench) ? 0x3FFF : 0x0FFF;
    for (int address = 0; address < bench.Target().programWords; ++address) {
        if (bench.sim.ReadWord(VEKSIM_PROGRAM, address) != blank) {
            return false;
        }
    }
    return true;
}

void WriteSomething(Bench& bench, const TempFolder&) {
    bench.sim.WriteWord(VEKSIM_PROGRAM, 7, 0x0123);
}

// A HEX file chosen and the configuration fields filled; the PIC16's word asks for a
// protected EEPROM, so that its configuration block goes twice.
void ChooseFile(Bench& bench, const TempFolder& folder) {
    const bool pic16 = IsPic16(bench);
    bench.file = {folder.Write("matrix.hex", pic16 ? PIC_FILE : SX_FILE), "matrix.hex"};
    bench.fields.FuseText = pic16 ? "3EF2" : "F9B";
    bench.fields.FuseXText = pic16 ? "FFF" : "FFE";
    bench.ui.answerYes = true;  // on a 16F84A, 3EF2 protects the code as well
}

// The file programmed into the chip, as the person would before a Verify or a Read.
void ProgrammedChip(Bench& bench, const TempFolder& folder) {
    ChooseFile(bench, folder);
    bench.Program();
    bench.ui.messages.clear();
    bench.ui.events.clear();
}

// How many program words, EEPROM bytes and configuration fields of the Read differ from the
// chip.
int DifferencesFromChip(Bench& bench) {
    const ReadContents& read = *bench.last.readBack;
    int differences = 0;
    for (int address = 0; address < read.target.programWords; ++address) {
        differences += read.image[address] != bench.sim.ReadWord(VEKSIM_PROGRAM, address);
    }
    for (int location = 0; location < read.target.eepromBytes; ++location) {
        differences += read.image[0x2100 + location] != bench.sim.ReadWord(VEKSIM_EEPROM, location);
    }
    const auto differs = [&bench](const std::string& field, const char* format, int space,
                                  int index) {
        char text[8];
        std::snprintf(text, sizeof text, format, bench.sim.ReadWord(space, index));
        return field != text;
    };
    const FieldTexts& fields = bench.fields;
    if (IsPic16(bench)) {
        return differences + differs(fields.FuseText, "%04X", VEKSIM_CONFIG, 7);
    }
    return differences + differs(fields.FuseText, "%03X", VEKSIM_FUSE, 0) +
           differs(fields.FuseXText, "%03X", VEKSIM_FUSEX, 0);
}

bool PowerAllowedOnBoard(Bench& bench) {
    return (bench.sim.PowerState() & 1) != 0;
}

bool PowerAppliedOnBoard(Bench& bench) {
    return (bench.sim.PowerState() & 2) != 0;
}

const std::vector<Claim> BLANK_CLAIMS = {
    {"Device is blank", [](Bench& bench, const ChipContents&) { return ProgramBlank(bench); }},
    {"Device is not blank",
     [](Bench& bench, const ChipContents&) { return !ProgramBlank(bench); }}};
const std::string POWER_ON = "Click OK to turn target power off.";

// Adding a command to the matrix is adding its row here.
const std::vector<MatrixRow> ROWS = {
    {.name = "Blank Check of a blank chip",
     .run = &Bench::BlankCheck,
     .goodEnd = "Device is blank",
     .messages = BLANK_CHECK_MESSAGES,
     .claims = BLANK_CLAIMS},
    {.name = "Blank Check of a written chip",
     .prepare = WriteSomething,
     .run = &Bench::BlankCheck,
     .goodEnd = "Device is not blank",
     .messages = BLANK_CHECK_MESSAGES,
     .claims = BLANK_CLAIMS},
    {.name = "Erase",
     .prepare = WriteSomething,
     .run = &Bench::Erase,
     .goodEnd = "Device is blank",
     .messages = ERASE_MESSAGES,
     .claims = BLANK_CLAIMS},
    {.name = "Program with erase",
     .prepare =
         [](Bench& bench, const TempFolder& folder) {
             WriteSomething(bench, folder);
             ChooseFile(bench, folder);
         },
     .run = &Bench::Program,
     .goodEnd = "Programming complete.",
     .messages = PROGRAM_MESSAGES,
     .claims = {{"Programming complete.",
                 [](Bench& bench, const ChipContents& good) {
                     return ReadChip(bench.sim) == good;
                 }}}},
    {.name = "Verify of a matching chip",
     .prepare = ProgrammedChip,
     .run = &Bench::Verify,
     .goodEnd = "Verify passed",
     .messages = VERIFY_MESSAGES},
    {.name = "Verify of a chip that differs",
     .prepare =
         [](Bench& bench, const TempFolder& folder) {
             ProgrammedChip(bench, folder);
             bench.sim.WriteWord(VEKSIM_PROGRAM, 5, 0x0123);
         },
     .run = &Bench::Verify,
     .goodEnd = "Program ROM verify failed at word 5. *",
     .messages = VERIFY_MESSAGES,
     .claims = {{"Verify passed", [](Bench&, const ChipContents&) { return false; }}}},
    {.name = "Read",
     .prepare = ProgrammedChip,
     .run = &Bench::Read,
     .messages = READ_MESSAGES,
     .silentEndHolds =
         [](Bench& bench, int wrongBytes) {
             return !bench.Listing().empty() && DifferencesFromChip(bench) <= wrongBytes;
         }},
    {.name = "Test Communication",
     .run = [](Bench& bench) { TestCommunication(bench.programmer); },
     .goodEnd = "VEK Flash programmer ready.",
     .messages = {"VEK Flash programmer ready."},
     .claims = {{"VEK Flash programmer ready.",
                 [](Bench& bench, const ChipContents&) {
                     return bench.sim.CallLog().back() == "FT_Read 1 -> 0 [55]";
                 }}}},
    {.name = "Allow Target Power",
     .run = [](Bench& bench) { AllowTargetPower(bench.programmer, false, [](bool) {}); },
     .silentEndHolds =
         [](Bench& bench, int) {
             return bench.programmer.PowerAllowed && PowerAllowedOnBoard(bench);
         },
     .endCheck = [](Bench& bench) -> std::string {
         return bench.programmer.PowerAllowed && !PowerAllowedOnBoard(bench)
                    ? "power taken as allowed but the programmer does not allow it"
                    : "";
     }},
    {.name = "Apply Target Power Now",
     .prepare = [](Bench& bench,
                   const TempFolder&) { AllowTargetPower(bench.programmer, false, [](bool) {}); },
     .run = [](Bench& bench) { ApplyTargetPowerNow(bench.programmer); },
     .goodEnd = POWER_ON,
     .messages = {POWER_ON},
     .claims = {{POWER_ON,
                 [](Bench& bench, const ChipContents&) { return PowerAppliedOnBoard(bench); }}},
     .endCheck = [](Bench& bench) -> std::string {
         const bool failureShown = std::ranges::any_of(
             bench.ui.messages, [](const std::string& text) { return text != POWER_ON; });
         return PowerAppliedOnBoard(bench) && !failureShown ? "target power left on without a word"
                                                            : "";
     }}};

TEST(FaultMatrix, EveryFaultAtEveryPointOfEveryCommandEndsAsItMust) {
    const std::vector<std::string> problems = RunMatrix(ROWS, {0, 8});  // 16F84A, SX28
    std::string shown;
    for (std::size_t i = 0; i < problems.size() && i < 40; ++i) {
        shown += problems[i] + "\n";
    }
    EXPECT_TRUE(problems.empty()) << problems.size() << " problems:\n" << shown;
}

}  // namespace
}  // namespace vek::test
