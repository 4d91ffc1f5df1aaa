// What a run of vekflash-cli tells a script: the JSON object of --json.
#pragma once

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
};

// The one JSON object of --json, on one line; the README documents its fields.
std::string JsonReport(const RunSummary& run);

}  // namespace vek::cli
