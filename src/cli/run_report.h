// What a run of vekflash-cli tells a script: the JSON object of --json and the line of --log.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "operations/production_loop.h"
#include "platform/locked_file.h"

namespace vek::cli {

// One run as the report and the log see it.
struct RunSummary {
    const Arguments& arguments;
    const RunRecord& record;
    ExitStatus status;
    const std::vector<std::string>& messages;
    double seconds;
    std::string startedAt;  // ISO 8601, UTC
};

// The one JSON object of --json, on one line; the README documents its fields.
std::string JsonReport(const RunSummary& run);

// The chips in the log of this device and HEX file (its SHA-256) on the UTC day "YYYY-MM-DD":
// the rows of finished runs that read a chip's ID, passed when successful, else failed.
LoopCounts CountsInLog(const std::string& file, const std::string& device,
                       const std::string& sha256, const std::string& day);

// The CSV log of --log, open from the start of the run, so that a path that cannot take its
// rows is refused before the chip is touched. Each row goes in whole or not at all, with the
// header first when the file is new; processes sharing the log take turns.
class RunLog {
  public:
    // The log, or nothing and in `error` why it cannot be written.
    static std::optional<RunLog> Open(const std::string& file, std::string& error);

    // Before the chip is touched: the row of a run that has started on it, outcome "started",
    // with the board and the serial number it is about to write.
    bool AppendStarted(const RunSummary& run);
    bool AppendFinished(const RunSummary& run);

  private:
    explicit RunLog(LockedFile file) : file_(std::move(file)) {}

    bool Append(const RunSummary& run, bool started);

    LockedFile file_;
};

}  // namespace vek::cli
