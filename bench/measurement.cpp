#include "measurement.h"

#include <ctime>
#include <numeric>
#include <vector>

#include "full_hex_file.h"
#include "operations/program.h"
#include "operations/read.h"
#include "operations/verify.h"
#include "recording_reporter.h"
#include "session/connection.h"
#include "session/hex_file_open.h"
#include "sim_control.h"
#include "temp_folder.h"

namespace vek::bench {

namespace {

using test::D2xxFrom;
using test::RecordingReporter;
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
    ModeRun(int row, bool fast) : target_(DeviceTable[row]) {
        sim_.Reset();
        programmer_.link.SetFastTransfers(fast);
    }

    bool Start(const std::string& hexPath, std::string& failure) {
        StartupConnection(programmer_);  // with fast transfers it shortens the latency timer
        sim_.SelectChip(std::string(target_.name));
        file_ = {hexPath, "full.hex"};
        const HexFileScan scan = ScanWithWords(target_, hexPath);
        words_ = scan.words;  // the file's own configuration words
        if (!programmer_.Connected || !ui_.messages.empty() || scan.result != HexScanResult::Ok) {
            failure = "start-up and opening the file said " + Joined(ui_.messages);
            return false;
        }
        return true;
    }

    OperationResult Program() { return vek::Program(programmer_, {target_, file_, words_}); }
    OperationResult Verify() { return vek::Verify(programmer_, {target_, file_, words_}); }
    OperationResult Read() { return vek::Read(programmer_, {target_}); }

    // Runs one operation, which must end with exactly the expected messages.
    bool Measure(OperationResult (ModeRun::*operation)(), const std::vector<std::string>& expected,
                 Figures& figures, std::string& failure) {
        ui_.messages.clear();
        ui_.pauses.clear();
        sim_.ClearLogs();  // the simulator logs every call; nothing here reads the logs
        sim_.ResetCounters();
        const std::clock_t cpuStart = std::clock();
        const OperationResult result = (this->*operation)();
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
    const DeviceInfo& target_;
    SimControl& sim_ = SimControl::Get();
    RecordingReporter ui_;
    Programmer programmer_{ui_, D2xxFrom(SimControl::Get().LibraryPath())};
    ChosenHexFile file_;
    GivenWords words_;
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
        OperationResult (ModeRun::*operation)();
        std::vector<std::string> messages;
        Figures& figures;
    } steps[] = {
        {"Program", &ModeRun::Program, {"Programming complete."}, pick(figures.program)},
        {"Verify", &ModeRun::Verify, {"Verify passed"}, pick(figures.verify)},
        {"Read", &ModeRun::Read, {}, pick(figures.read)},
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
