#include "measurement.h"

#include <ctime>
#include <numeric>
#include <vector>

#include "full_hex_file.h"
#include "link/connection.h"
#include "memory_settings.h"
#include "operations/program.h"
#include "operations/read.h"
#include "operations/verify.h"
#include "recording_ui.h"
#include "session/hex_file_open.h"
#include "session/session.h"
#include "sim_control.h"
#include "temp_folder.h"

namespace vek::bench {

namespace {

using test::D2xxFrom;
using test::MemorySettings;
using test::RecordingUi;
using test::SimControl;

std::string Joined(const std::vector<std::string>& messages) {
    std::string text;
    for (const std::string& message : messages) {
        text += (text.empty() ? "\"" : ", \"") + message + "\"";
    }
    return text.empty() ? "no message" : text;
}

// One transfer mode from a fresh start: the programmer opened as the program opens it, a
// blank chip in the socket and the full HEX file chosen.
class ModeRun {
  public:
    ModeRun(int row, bool fast) : row_(row) {
        sim_.Reset();
        session_.link.SetFastTransfers(fast);
    }

    bool Start(const std::string& hexPath, std::string& failure) {
        StartupConnection(session_);  // with fast transfers it shortens the latency timer
        ui_.selectedRow = row_;
        sim_.SelectChip(std::string(DeviceTable[row_].name));
        OpenChosenHexFile(session_, hexPath);  // the file's configuration words into the fields
        if (!session_.Connected || !ui_.messages.empty()) {
            failure = "start-up and opening the file said " + Joined(ui_.messages);
            return false;
        }
        return true;
    }

    // Runs one operation, which must end with exactly the expected messages.
    bool Measure(OperationResult (*operation)(Session&), const std::vector<std::string>& expected,
                 Figures& figures, std::string& failure) {
        ui_.messages.clear();
        ui_.pauses.clear();
        sim_.ClearLogs();  // the simulator logs every call; nothing here reads the logs
        sim_.ResetCounters();
        const std::clock_t cpuStart = std::clock();
        const OperationResult result = operation(session_);
        const std::clock_t cpuEnd = std::clock();
        const SimControl::Counters counted = sim_.GetCounters();
        if (!result.Succeeded() || ui_.messages != expected) {
            failure = "it said " + Joined(ui_.messages);
            return false;
        }
        figures.simMs = counted.elapsedMs;
        figures.chipMs = counted.boardBusyMs;
        figures.writes = counted.writeCalls;
        figures.reads = counted.readCalls;
        figures.cpuSeconds = static_cast<double>(cpuEnd - cpuStart) / CLOCKS_PER_SEC;
        figures.pausedMs = std::accumulate(ui_.pauses.begin(), ui_.pauses.end(), 0);
        return true;
    }

  private:
    int row_;
    SimControl& sim_ = SimControl::Get();
    RecordingUi ui_;
    MemorySettings settings_;
    Session session_{ui_, settings_, D2xxFrom(SimControl::Get().LibraryPath())};
};

bool MeasureMode(int row, bool fast, const std::string& hexPath, TargetFigures& figures,
                 std::string& failure) {
    ModeRun run(row, fast);
    const auto pick = [fast](ModeFigures& mode) -> Figures& {
        return fast ? mode.fast : mode.perWord;
    };
    const char* modeName = fast ? "fast" : "per-word";
    if (!run.Start(hexPath, failure)) {
        failure = std::string(modeName) + ": " + failure;
        return false;
    }
    const struct {
        const char* name;
        OperationResult (*operation)(Session&);
        std::vector<std::string> messages;
        Figures& figures;
    } steps[] = {
        {"Program", OnProgram, {"Programming complete."}, pick(figures.program)},
        {"Verify", VerifyTarget, {"Verify passed"}, pick(figures.verify)},
        {"Read", ReadTarget, {}, pick(figures.read)},
    };
    for (const auto& step : steps) {
        if (!run.Measure(step.operation, step.messages, step.figures, failure)) {
            failure = std::string(step.name) + ", " + modeName + ": " + failure;
            return false;
        }
    }
    return true;
}

}  // namespace

bool MeasureTarget(int row, TargetFigures& figures, std::string& failure) {
    const DeviceInfo& target = DeviceTable[row];
    figures.name = std::string(target.name);
    const test::TempFolder folder;
    const std::string hexPath = folder.Write("full.hex", FullHexFileText(target));
    if (!MeasureMode(row, true, hexPath, figures, failure) ||
        !MeasureMode(row, false, hexPath, figures, failure)) {
        failure = figures.name + " " + failure;
        return false;
    }
    return true;
}

}  // namespace vek::bench
