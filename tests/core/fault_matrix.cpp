#include "fault_matrix.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "vek_sim.h"
#include "wire_text.h"

namespace vek::test {

namespace {

// A fault may cost a run one blank-check time-out and a few reply time-outs more than the
// good run took; anything longer waits where it should have given up.
constexpr unsigned long long EXTRA_MS_ALLOWED = 15000 + 5 * 1000;

// The link's messages, which any command may show.
const std::vector<std::string> LINK_MESSAGES = {
    "Driver error writing to VEK Flash. ",
    "VEK-Flash programmer not responding to commands.(139)",
    "VEK Flash programmer is not responding to commands.(1f)\nDisconnect the programmer from "
    "the USB cable, check\nthe processor type and try again.\n\nThis application will now "
    "terminate!",
    "Error: Could not write to VEK Flash programmer.(T16)",
};

// An entry ending in '*' stands for every text that begins with the rest of it.
bool Matches(const std::string& entry, const std::string& text) {
    return entry.ends_with('*') ? text.starts_with(entry.substr(0, entry.size() - 1))
                                : entry == text;
}

bool MatchesAny(const std::vector<std::string>& table, const std::string& text) {
    return std::ranges::any_of(table, [&text](const auto& entry) { return Matches(entry, text); });
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

// One fault at one point of the good run's exchange.
struct Fault {
    std::string description;
    std::function<void(SimControl&)> arm{};
    int wrongBytes = 0;  // bytes it changes, which a command cannot tell from the chip's own
};

// A byte the programmer never sends in that place and that no reply table gives a meaning:
// a wrong byte that reads as another reply would be the programmer's own answer.
std::uint8_t WrongByteFor(std::uint8_t good) {
    return good == 0x00 ? 0xFF : 0x00;
}

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
            const std::uint8_t wrong = WrongByteFor(good);
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
    Bench bench;
    bench.Open(target);
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
                    check(claim.holds(bench, *good), "\"" + FirstLine(text) + "\" is not true");
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

}  // namespace

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

}  // namespace vek::test
