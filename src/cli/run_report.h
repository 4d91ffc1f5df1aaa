// What a run of vekflash-cli tells a script: the JSON object of --json and the line of --log.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"

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

// "2026-12-07T14:03:22Z".
std::string IsoTimeUtc(std::chrono::system_clock::time_point time);

// The one JSON object of --json, on one line; the README documents its fields.
std::string JsonReport(const RunSummary& run);

// Appends the run's line to the CSV log, with the header first when the file is new; false
// when it cannot be written. Processes sharing the log take turns.
bool AppendRunLog(const std::filesystem::path& path, const RunSummary& run);

}  // namespace vek::cli
