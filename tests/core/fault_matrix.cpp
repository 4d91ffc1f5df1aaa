#include "fault_matrix.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "session/processor_selection.h"
#include "vek_sim.h"

namespace vek::test {

namespace {

constexpr const char* FATAL_ENDING = "This application will now terminate!";
// A fault may cost a run one blank-check time-out and a few reply time-outs more than the
// good run took; anything longer waits where it should have given up.
constexpr unsigned long long EXTRA_MS_ALLOWED = 15000 + 5 * 1000;
constexpr unsigned IO_ERROR = 4;  // FT_IO_ERROR

// The link's messages, which any command may show.
const std::vector<std::string> LINK_MESSAGES = {
    "Driver error writing to VEK Flash. ",
    "VEK-Flash programmer not responding to commands.(139)",
    "VEK Flash programmer is not responding to commands.(1f)\nDisconnect the programmer from "
    "the USB cable, check\nthe processor type and try again.\n\nThis application will now "
    "terminate!",
    "Error: Could not write to VEK Flash programmer.(T16)",
};

bool EndsWith(const std::string& text, const std::string& ending) {
    return text.size() >= ending.size() &&
           text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

bool Contains(const std::vector<std::string>& list, const std::string& text) {
    return std::find(list.begin(), list.end(), text) != list.end();
}

// An entry ending in '*' stands for every text that begins with the rest of it.
bool Matches(const std::string& entry, const std::string& text) {
    if (!entry.empty() && entry.back() == '*') {
        return text.rfind(entry.substr(0, entry.size() - 1), 0) == 0;
    }
    return entry == text;
}

bool Matches(const std::vector<std::string>& table, const std::string& text) {
    return std::any_of(table.begin(), table.end(),
                       [&text](const std::string& entry) { return Matches(entry, text); });
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

std::string HexByte(std::uint8_t value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

// A byte the programmer never sends in that place and that no reply table gives a meaning:
// a wrong byte that reads as another reply would be the programmer's own answer.
std::uint8_t WrongByteFor(std::uint8_t good) {
    return good == 0x00 ? 0xFF : 0x00;
}

std::vector<std::uint8_t> BytesInBrackets(const std::string& line) {
    std::vector<std::uint8_t> bytes;
    const std::size_t open = line.find('[');
    const std::size_t close = line.find(']', open);
    if (open == std::string::npos || close == std::string::npos) {
        return bytes;
    }
    std::istringstream cells(line.substr(open + 1, close - open - 1));
    std::string cell;
    while (cells >> cell) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(cell, nullptr, 16)));
    }
    return bytes;
}

// Everything the run did wrong, as sentences; empty when the run ended as it must.
class RunCheck {
  public:
    RunCheck(const MatrixRow& row, Scene& scene, const ChipContents& good)
        : row_(row), scene_(scene), good_(good) {}

    // Claims are checked while their message is on the screen, before anything can change.
    void WatchMessages() {
        scene_.ui.onMessage = [this](const std::string& text) {
            for (const Claim& claim : row_.claims) {
                if (claim.message == text && !claim.holds(scene_, good_)) {
                    problems_.push_back("\"" + FirstLine(text) + "\" is not true");
                }
            }
        };
    }

    std::vector<std::string> Finish(int wrongBytes, unsigned long long elapsedMs,
                                    unsigned long long goodElapsedMs) {
        CheckFlags();
        CheckMessages();
        CheckSilentEnd(wrongBytes);
        CheckShutdown();
        if (elapsedMs > goodElapsedMs + EXTRA_MS_ALLOWED) {
            problems_.push_back("took " + std::to_string(elapsedMs) + " ms of programmer time");
        }
        if (row_.endCheck) {
            if (std::string problem = row_.endCheck(scene_); !problem.empty()) {
                problems_.push_back(problem);
            }
        }
        return problems_;
    }

    // The failure message that came before a success message, if one did.
    std::string FailureBeforeSuccess() const {
        std::string failure;
        for (const std::string& text : scene_.ui.messages) {
            if (IsSuccess(text) && !failure.empty()) {
                return FirstLine(failure) + " -> " + text;
            }
            if (!IsSuccess(text) && failure.empty()) {
                failure = text;
            }
        }
        return "";
    }

  private:
    bool IsSuccess(const std::string& text) const { return Contains(row_.successes, text); }

    void CheckFlags() {
        const Session& session = scene_.session;
        if (session.BusyFlag || session.LinkInUse) {
            problems_.push_back("BusyFlag or LinkInUse left set");
        }
        if (scene_.ui.waitDepth != 0) {
            problems_.push_back("wait cursor left at depth " + std::to_string(scene_.ui.waitDepth));
        }
        if (scene_.ui.operationRunning) {
            problems_.push_back("the window still thinks an operation runs");
        }
    }

    void CheckMessages() {
        for (const std::string& text : scene_.ui.messages) {
            if (!Matches(row_.messages, text) && !Contains(LINK_MESSAGES, text)) {
                problems_.push_back("message not in the command's table: \"" + text + "\"");
            }
        }
    }

    void CheckSilentEnd(int wrongBytes) {
        if (!scene_.ui.messages.empty()) {
            return;
        }
        if (!row_.silentEndHolds) {
            problems_.push_back("ended without a message");
        } else if (!row_.silentEndHolds(scene_, wrongBytes)) {
            problems_.push_back("ended without a message although it did not succeed");
        }
    }

    // A fatal message closes the link and asks the window to end, once; after the close the
    // driver is not called again.
    void CheckShutdown() {
        const auto& messages = scene_.ui.messages;
        const bool fatalShown = std::any_of(messages.begin(), messages.end(), [](const auto& text) {
            return EndsWith(text, FATAL_ENDING);
        });
        const bool shutDown = scene_.session.link.IsShutDown();
        if (fatalShown != shutDown || scene_.ui.fatalRequests != (shutDown ? 1 : 0)) {
            problems_.push_back("fatal message and shutdown disagree");
        }
        const std::vector<std::string> log = scene_.sim.CallLog();
        const auto close = std::find_if(log.begin(), log.end(), [](const std::string& line) {
            return line.rfind("FT_Close", 0) == 0;
        });
        if (close != log.end() && close + 1 != log.end()) {
            problems_.push_back("D2XX call after the handle was closed: " + *(close + 1));
        }
    }

    const MatrixRow& row_;
    Scene& scene_;
    const ChipContents& good_;
    std::vector<std::string> problems_;
};

struct RunResult {
    std::vector<std::string> problems;
    std::vector<std::string> messages;
    std::string failureBeforeSuccess;
    std::vector<std::string> callLog;
    unsigned long long elapsedMs = 0;
};

RunResult RunOnce(const MatrixRow& row, int targetRow, const TempFolder& folder, const Fault* fault,
                  const ChipContents& good, unsigned long long goodElapsedMs) {
    Scene scene(targetRow);
    row.prepare(scene, folder);
    scene.sim.ClearLogs();
    const unsigned long long start = scene.sim.ElapsedMs();
    RunCheck check(row, scene, good);
    check.WatchMessages();
    if (fault != nullptr) {
        fault->Arm(scene.sim);
    }
    row.run(scene.session);
    scene.ui.onMessage = nullptr;

    RunResult result;
    result.elapsedMs = scene.sim.ElapsedMs() - start;
    const int wrongBytes = fault != nullptr && fault->kind == FaultKind::ReadWrong ? 1 : 0;
    result.problems = check.Finish(wrongBytes, result.elapsedMs, goodElapsedMs);
    result.messages = scene.ui.messages;
    result.failureBeforeSuccess = check.FailureBeforeSuccess();
    result.callLog = scene.sim.CallLog();
    return result;
}

// The last message's first line, messages with numbers in them counted under their entry.
std::string OutcomeOf(const MatrixRow& row, const std::vector<std::string>& messages) {
    if (messages.empty()) {
        return "(no message)";
    }
    const std::string& last = messages.back();
    for (const std::string& entry : row.messages) {
        if (!entry.empty() && entry.back() == '*' && Matches(entry, last)) {
            return entry.substr(0, entry.size() - 1) + "...";
        }
    }
    return FirstLine(last);
}

}  // namespace

void Fault::Arm(SimControl& sim) const {
    switch (kind) {
        case FaultKind::ReadMissing:
            sim.FaultRead(index, byteIndex, VEKSIM_DROP);
            return;
        case FaultKind::ReadWrong:
            sim.FaultRead(index, byteIndex, VEKSIM_REPLACE, value);
            return;
        case FaultKind::ReadFails:
            sim.FailCall("FT_Read", index, IO_ERROR);
            return;
        case FaultKind::WriteFails:
            sim.FailCall("FT_Write", index, IO_ERROR);
            return;
        case FaultKind::Unplugged:
            sim.UnplugAfterCalls(index);
            return;
    }
}

std::string Fault::Describe() const {
    const std::string read = "read " + std::to_string(index);
    switch (kind) {
        case FaultKind::ReadMissing:
            return byteIndex == 0 ? read + " gets nothing"
                                  : read + " gets only " + std::to_string(byteIndex) + " bytes";
        case FaultKind::ReadWrong:
            return read + " byte " + std::to_string(byteIndex) + " becomes " + HexByte(value);
        case FaultKind::ReadFails:
            return read + " fails";
        case FaultKind::WriteFails:
            return "write " + std::to_string(index) + " fails";
        case FaultKind::Unplugged:
            return "unplugged after " + std::to_string(index) + " calls";
    }
    return "";
}

RecordedExchange ParseCallLog(const std::vector<std::string>& log) {
    RecordedExchange exchange;
    for (const std::string& line : log) {
        if (line.rfind("FT_Read ", 0) == 0) {
            exchange.reads.push_back(BytesInBrackets(line));
        } else if (line.rfind("FT_Write ", 0) == 0) {
            ++exchange.writes;
        }
        ++exchange.calls;
    }
    return exchange;
}

std::vector<Fault> FaultsOf(const RecordedExchange& exchange) {
    std::vector<Fault> faults;
    for (int read = 0; read < static_cast<int>(exchange.reads.size()); ++read) {
        const std::vector<std::uint8_t>& got = exchange.reads[read];
        if (!got.empty()) {
            faults.push_back({FaultKind::ReadMissing, read});
        }
        // The first and the last byte: a block's bytes between them go the same way.
        faults.push_back({FaultKind::ReadWrong, read, 0, WrongByteFor(got.empty() ? 0 : got[0])});
        if (got.size() > 1) {
            const int last = static_cast<int>(got.size()) - 1;
            faults.push_back({FaultKind::ReadMissing, read, last});
            faults.push_back({FaultKind::ReadWrong, read, last, WrongByteFor(got.back())});
        }
        faults.push_back({FaultKind::ReadFails, read});
    }
    for (int write = 0; write < exchange.writes; ++write) {
        faults.push_back({FaultKind::WriteFails, write});
    }
    for (int calls = 0; calls < exchange.calls; ++calls) {
        faults.push_back({FaultKind::Unplugged, calls});
    }
    return faults;
}

Scene::Scene(int targetRow) {
    sim.Reset();
    session.link.Bind();
    session.link.OpenEx("VEK Flash", FT_OPEN_BY_DESCRIPTION);
    session.Connected = true;
    ui.selectedRow = targetRow;
    RefreshCurrentTarget(session);
    sim.SelectChip(std::string(DeviceTable[targetRow].name));
}

ChipContents ReadChip(SimControl& sim) {
    ChipContents chip;
    for (int space : {VEKSIM_PROGRAM, VEKSIM_EEPROM, VEKSIM_CONFIG, VEKSIM_FUSE, VEKSIM_FUSEX}) {
        std::vector<int> words;
        for (int value = sim.ReadWord(space, 0); value >= 0;
             value = sim.ReadWord(space, static_cast<int>(words.size()))) {
            words.push_back(value);
        }
        chip.spaces.push_back(std::move(words));
    }
    return chip;
}

void RunMatrixRow(const MatrixRow& row, int targetRow, const TempFolder& folder,
                  MatrixSummary& summary) {
    const std::string where = row.name + " on " + std::string(DeviceTable[targetRow].name);
    // The good run's chip is what the claims of a faulted run are held against.
    ChipContents good;
    const RunResult goodRun = [&] {
        Scene scene(targetRow);
        row.prepare(scene, folder);
        scene.sim.ClearLogs();
        const unsigned long long start = scene.sim.ElapsedMs();
        row.run(scene.session);
        good = ReadChip(scene.sim);
        RunResult result;
        result.messages = scene.ui.messages;
        result.callLog = scene.sim.CallLog();
        result.elapsedMs = scene.sim.ElapsedMs() - start;
        return result;
    }();
    const RunResult checkedGoodRun =
        RunOnce(row, targetRow, folder, nullptr, good, goodRun.elapsedMs);
    for (const std::string& problem : checkedGoodRun.problems) {
        summary.problems.push_back(where + ", good run: " + problem);
    }
    const std::string goodEnd = goodRun.messages.empty() ? "" : goodRun.messages.back();
    if (!Matches(row.goodEnd, goodEnd)) {
        summary.problems.push_back(where + ", good run ended with \"" + goodEnd + "\"");
    }
    ++summary.runs;
    ++summary.outcomes[OutcomeOf(row, checkedGoodRun.messages)];

    for (const Fault& fault : FaultsOf(ParseCallLog(goodRun.callLog))) {
        const RunResult run = RunOnce(row, targetRow, folder, &fault, good, goodRun.elapsedMs);
        ++summary.runs;
        ++summary.outcomes[OutcomeOf(row, run.messages)];
        summary.longestRunMs = std::max(summary.longestRunMs, run.elapsedMs);
        if (!run.failureBeforeSuccess.empty()) {
            ++summary.successAfterFailure[run.failureBeforeSuccess];
        }
        for (const std::string& problem : run.problems) {
            summary.problems.push_back(where + ", " + fault.Describe() + ": " + problem);
        }
    }
}

std::string FormatSummary(const MatrixSummary& summary, double cpuSeconds) {
    std::ostringstream text;
    text << "Fault matrix: " << summary.runs << " runs, " << summary.problems.size()
         << " problems, longest run " << summary.longestRunMs << " ms of programmer time, "
         << static_cast<int>(cpuSeconds * 10 + 0.5) / 10.0 << " s of CPU\n";
    text << "Runs by the message they ended with:\n";
    std::vector<std::pair<std::string, int>> outcomes(summary.outcomes.begin(),
                                                      summary.outcomes.end());
    std::stable_sort(outcomes.begin(), outcomes.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    for (const auto& [message, count] : outcomes) {
        char line[16];
        std::snprintf(line, sizeof line, "%6d  ", count);
        text << line << message << "\n";
    }
    if (!summary.successAfterFailure.empty()) {
        text << "Success after a failure whose step the command does not examine:\n";
        for (const auto& [pair, count] : summary.successAfterFailure) {
            char line[16];
            std::snprintf(line, sizeof line, "%6d  ", count);
            text << line << pair << "\n";
        }
    }
    return text.str();
}

}  // namespace vek::test
