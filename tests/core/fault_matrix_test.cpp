// The fault matrix: every command's good run through the simulated programmer, on a PIC16 with
// data EEPROM and on an SX, is recorded, and the command is run again once for every fault the
// host can meet at every point of that exchange: each read losing its bytes, getting a wrong
// byte or failing as a driver call, each write failing, and the programmer unplugged before
// each call. Every run is checked for what must hold whatever went wrong. A command is one row:
// its preparation, its call, its messages and what its success messages claim.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "session/connection.h"
#include "sim_fixture.h"
#include "temp_folder.h"
#include "vek_sim.h"
#include "wire_text.h"

namespace vek::test {
namespace {

// The chip's memory, every space, as the simulator holds it.
using ChipContents = std::vector<std::vector<int>>;

// What a message says about the world; checked at the moment it is shown, against the bench
// and the chip the good run left.
struct Claim {
    std::string message;
    std::function<bool(Bench&, const ChipContents& good)> holds;
};

struct MatrixRow {
    std::string name{};
    // Sets the bench up for the command, before anything is recorded.
    std::function<void(Bench&, const TempFolder&)> prepare{};
    std::function<void(Bench&)> run{};
    // The last message of the good run ("" for none), so that a bench that went wrong cannot
    // make the matrix shallow.
    std::string goodEnd{};
    // Every message the command may show besides the link's; an entry ending in '*' is a
    // prefix.
    std::vector<std::string> messages{};
    std::vector<Claim> claims{};
    // What an end without any message claims; without it such an end is a silent failure.
    // wrongBytes: bytes the fault changed, which a command cannot tell from the chip's own.
    std::function<bool(Bench&, int wrongBytes)> silentEndHolds{};
    // A problem that the end of any run shows, beyond the common checks ("" for none).
    std::function<std::string(Bench&)> endCheck{};
};

ChipContents ReadChip(SimControl& sim) {
    ChipContents chip;
    for (int space : {VEKSIM_PROGRAM, VEKSIM_EEPROM, VEKSIM_CONFIG, VEKSIM_FUSE, VEKSIM_FUSEX}) {
        std::vector<int>& words = chip.emplace_back();
        for (int value; (value = sim.ReadWord(space, static_cast<int>(words.size()))) >= 0;) {
            words.push_back(value);
        }
    }
    return chip;
}

// A fault may cost a run one blank-check time-out and a few reply time-outs more than the
// good run took; anything longer waits where it should have given up.
constexpr unsigned long long EXTRA_MS_ALLOWED = 15000 + 5 * 1000;

// The link's messages, which any command may show.
const std::vector<std::string> LINK_MESSAGES = {
    DRIVER_ERROR, "VEK-Flash programmer not responding to commands.(139)", FATAL_1F,
    "Error: Could not write to VEK Flash programmer.(T16)"};

// An entry ending in '*' stands for every text that begins with the rest of it.
bool Matches(const std::string& entry, const std::string& text) {
    return entry.ends_with('*') ? text.starts_with(entry.substr(0, entry.size() - 1))
                                : entry == text;
}

bool MatchesAny(const std::vector<std::string>& table, const std::string& text) {
    return std::ranges::any_of(table, [&text](const auto& entry) { return Matches(entry, text); });
}

// One fault at one point of the good run's exchange.
struct Fault {
    std::string description;
    std::function<void(SimControl&)> arm{};
    int wrongBytes = 0;  // bytes it changes, which a command cannot tell from the chip's own
};

// "FT_Read 1 -> 0 [55]": the bytes the read got.
std::vector<std::uint8_t> BytesInBrackets(const std::string& line) {
    const std::size_t open = line.find('[');
    std::istringstream cells(
        open == std::string::npos ? "" : line.substr(open + 1, line.find(']') - open - 1));
    std::vector<std::uint8_t> bytes;
    for (unsigned byte = 0; cells >> std::hex >> byte;) {
        bytes.push_back(static_cast<std::uint8_t>(byte));
    }
    return bytes;
}

// Every fault of the matrix for the good run's call log.
std::vector<Fault> FaultsOf(const std::vector<std::string>& log) {
    std::vector<Fault> faults;
    int writes = 0;
    int reads = 0;
    for (const std::string& line : log) {
        if (line.starts_with("FT_Write ")) {
            faults.push_back(
                {"write " + std::to_string(writes) + " fails",
                 [write = writes](SimControl& sim) { sim.FailCall("FT_Write", write); }});
            ++writes;
        }
        if (!line.starts_with("FT_Read ")) {
            continue;
        }
        const int read = reads++;
        const std::string name = "read " + std::to_string(read);
        const std::vector<std::uint8_t> got = BytesInBrackets(line);
        const auto lose = [&](int from, const std::string& what) {
            faults.push_back(
                {name + what, [=](SimControl& sim) { sim.FaultRead(read, from, VEKSIM_DROP); }});
        };
        const auto change = [&](int at, std::uint8_t good) {
            // A byte the programmer never sends in that place and that no reply table gives a
            // meaning: a wrong byte that reads as another reply would be its own answer.
            const std::uint8_t wrong = good == 0x00 ? 0xFF : 0x00;
            faults.push_back(
                {name + " byte " + std::to_string(at) + " becomes " + Hex({wrong}),
                 [=](SimControl& sim) { sim.FaultRead(read, at, VEKSIM_REPLACE, wrong); }, 1});
        };
        if (!got.empty()) {
            lose(0, " gets nothing");
        }
        // The first and the last byte: a block's bytes between them go the same way.
        change(0, got.empty() ? 0 : got[0]);
        if (got.size() > 1) {
            const int last = static_cast<int>(got.size()) - 1;
            lose(last, " gets only " + std::to_string(last) + " bytes");
            change(last, got.back());
        }
        faults.push_back(
            {name + " fails", [=](SimControl& sim) { sim.FailCall("FT_Read", read); }});
    }
    for (int calls = 0; calls < static_cast<int>(log.size()); ++calls) {
        faults.push_back({"unplugged after " + std::to_string(calls) + " calls",
                          [=](SimControl& sim) { sim.UnplugAfterCalls(calls); }});
    }
    return faults;
}

struct Run {
    std::vector<std::string> problems;
    std::vector<std::string> messages;
    std::vector<std::string> callLog;
    ChipContents chip;  // only when there is no good chip yet
    unsigned long long elapsedMs = 0;
};

// One run of the row under the fault, checked for what must hold whatever went wrong. Without
// a good chip the run only records, and its checks mean nothing.
Run RunOnce(const MatrixRow& row, int target, const TempFolder& folder, const Fault& fault,
            const ChipContents* good, unsigned long long goodElapsedMs) {
    Bench bench(target);
    if (row.prepare) {
        row.prepare(bench, folder);
    }
    bench.sim.ClearLogs();
    const unsigned long long start = bench.sim.ElapsedMs();
    Run run;
    const auto check = [&run](bool holds, const std::string& problem) {
        if (!holds) {
            run.problems.push_back(problem);
        }
    };
    // Claims are checked while their message is on the screen, before anything can change.
    if (good != nullptr) {
        bench.ui.onMessage = [&](const std::string& text) {
            for (const Claim& claim : row.claims) {
                if (claim.message == text) {
                    check(claim.holds(bench, *good),
                          "\"" + text.substr(0, text.find('\n')) + "\" is not true");
                }
            }
        };
    }
    if (fault.arm) {
        fault.arm(bench.sim);
    }
    row.run(bench);
    bench.ui.onMessage = nullptr;
    run.elapsedMs = bench.sim.ElapsedMs() - start;
    run.messages = bench.ui.messages;
    run.callLog = bench.sim.CallLog();
    if (good == nullptr) {
        run.chip = ReadChip(bench.sim);
    }

    const RecordingReporter& ui = bench.ui;
    check(!bench.programmer.BusyFlag && !bench.programmer.LinkInUse,
          "BusyFlag or LinkInUse left set");
    check(ui.waitDepth == 0, "wait cursor left at depth " + std::to_string(ui.waitDepth));
    check(!ui.operationRunning, "the window still thinks an operation runs");
    for (const std::string& text : ui.messages) {
        check(MatchesAny(row.messages, text) || MatchesAny(LINK_MESSAGES, text),
              "message not in the command's table: \"" + text + "\"");
    }
    if (ui.messages.empty()) {
        check(row.silentEndHolds != nullptr, "ended without a message");
        check(!row.silentEndHolds || row.silentEndHolds(bench, fault.wrongBytes),
              "ended without a message although it did not succeed");
    }
    // A fatal message closes the link for good, which ends the window; after the close the
    // driver is not called again.
    const bool fatalShown = std::ranges::any_of(ui.messages, [](const std::string& text) {
        return text.ends_with("This application will now terminate!");
    });
    check(fatalShown == bench.programmer.link.IsShutDown(), "fatal message and shutdown disagree");
    const auto close = std::ranges::find_if(
        run.callLog, [](const std::string& line) { return line.starts_with("FT_Close"); });
    if (close != run.callLog.end() && close + 1 != run.callLog.end()) {
        check(false, "D2XX call after the handle was closed: " + *(close + 1));
    }
    check(run.elapsedMs <= goodElapsedMs + EXTRA_MS_ALLOWED,
          "took " + std::to_string(run.elapsedMs) + " ms of programmer time");
    if (row.endCheck) {
        const std::string problem = row.endCheck(bench);
        check(problem.empty(), problem);
    }
    return run;
}

// Adds the row's problems on the target to `problems` and returns how many runs it made.
int RunRow(const MatrixRow& row, int target, const TempFolder& folder,
           std::vector<std::string>& problems) {
    const std::string where = row.name + " on " + std::string(DeviceTable[target].name);
    const Run good = RunOnce(row, target, folder, Fault{}, nullptr, 0);
    const std::string goodEnd = good.messages.empty() ? "" : good.messages.back();
    if (!Matches(row.goodEnd, goodEnd)) {
        problems.push_back(where + ", good run ended with \"" + goodEnd + "\"");
    }
    std::vector<Fault> faults = FaultsOf(good.callLog);
    faults.insert(faults.begin(), Fault{"good run"});  // checked as every faulted run is
    for (const Fault& fault : faults) {
        for (const std::string& problem :
             RunOnce(row, target, folder, fault, &good.chip, good.elapsedMs).problems) {
            problems.push_back(where + ", " + fault.description + ": " + problem);
        }
    }
    return static_cast<int>(faults.size());
}

// Records each row's good run on each target and reruns it under every fault of that run,
// prints how many runs it made and returns every problem found.
std::vector<std::string> RunMatrix(const std::vector<MatrixRow>& rows,
                                   std::initializer_list<int> targetRows) {
    const TempFolder folder;
    std::vector<std::string> problems;
    int runs = 0;
    for (const MatrixRow& row : rows) {
        for (const int target : targetRows) {
            runs += RunRow(row, target, folder, problems);
        }
    }
    std::printf("Fault matrix: %d runs, %zu problems\n", runs, problems.size());
    return problems;
}

// The messages by their kind: their words and codes are compared where the path that shows
// them is tested, and here it matters that a command shows no other kind.
const std::string NOT_RESPONDING = "VEK-Flash programmer is not responding *";
const std::string NOT_RESPONDING_SHORT = "VEK-Flash programmer not responding to commands.*";
const std::string NOT_RESPONDING_CODED = "VEK Flash programmer is not responding to commands.*";
const std::string NOT_READ = "Could not read from device. (*";
const std::string COMMUNICATION_FAILED = "Error: Communication with VEK Flash programmer failed. *";
const std::string WRONG_TARGET = "Warning: The processor selected (*";
// What Read and Verify's read-back show alike.
const std::vector<std::string> READ_STREAM = {
    NOT_RESPONDING,
    NOT_READ,
    "Error: Could not read from device. (T4)",
    "Could not WRITE the device during program memory read.",
    "Could not WRITE the programmer during EEPROM read.",
    COMMUNICATION_FAILED,
    WRONG_TARGET};

const std::vector<std::string> BLANK_CHECK_MESSAGES = {"Device is blank", "Device is not blank",
                                                       NOT_RESPONDING, NOT_RESPONDING_CODED};
const std::vector<std::string> ERASE_MESSAGES = {"Device is blank",    "Device is not blank",
                                                 NOT_RESPONDING,       NOT_RESPONDING_SHORT,
                                                 NOT_RESPONDING_CODED, NOT_READ,
                                                 COMMUNICATION_FAILED, WRONG_TARGET};
const std::vector<std::string> PROGRAM_MESSAGES = {
    NOT_RESPONDING,
    NOT_RESPONDING_CODED,
    NOT_READ,
    WRONG_TARGET,
    "Error communicating with programmer.*",
    "Could not write the device during Blank Check.",
    "Could not read from the device during Blank Check.",
    "Error during Bulk Erase function.",
    "FuseX program failed.",
    "Fuse program failed.",
    "Bad ACK *",
    "data left over 2",
    "Programming complete."};
std::vector<std::string> VerifyMessages() {
    std::vector<std::string> messages = READ_STREAM;
    messages.insert(messages.end(), {NOT_RESPONDING_SHORT, "Program ROM verify failed at word *",
                                     "Verify FuseX failed. Read *", "Verify Fuse failed. Read *",
                                     "EE Data Verify failed at *", "Verify passed"});
    return messages;
}
std::vector<std::string> ReadMessages() {
    std::vector<std::string> messages = READ_STREAM;
    messages.push_back(NOT_RESPONDING_CODED);  // Verify goes on where Read stops
    return messages;
}

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
     .messages = VerifyMessages()},
    {.name = "Verify of a chip that differs",
     .prepare =
         [](Bench& bench, const TempFolder& folder) {
             ProgrammedChip(bench, folder);
             bench.sim.WriteWord(VEKSIM_PROGRAM, 5, 0x0123);
         },
     .run = &Bench::Verify,
     .goodEnd = "Program ROM verify failed at word 5. *",
     .messages = VerifyMessages(),
     .claims = {{"Verify passed", [](Bench&, const ChipContents&) { return false; }}}},
    {.name = "Read",
     .prepare = ProgrammedChip,
     .run = &Bench::Read,
     .messages = ReadMessages(),
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
