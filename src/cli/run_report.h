// What a run of vekflash-cli tells a script: the JSON object of --json and the line of --log.
#pragma once

#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "operations/run_log.h"

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

// The run as a row of --log: the row of a run that has started on the chip, before it is
// touched, with the serial number about to be written, or of the run finished.
RunLogRow LogRowOf(const RunSummary& run, bool started);

}  // namespace vek::cli
