// One chip of a production job, programmed as vekflash-cli program --job programs it: numbered
// from the job's counter file and logged in the job's log, so that the window and the command
// line share the numbers, the rows and the day's counts.
#pragma once

#include <optional>

#include "operations/operation_result.h"
#include "operations/production_loop.h"
#include "operations/requests.h"
#include "session/job_file.h"
#include "session/programmer.h"

namespace vek {

struct JobChip {
    OperationResult result = {};
    std::optional<unsigned> serialNumber = {};  // once the chip holds it
    // The counter or the log failed after the chip was touched: the next chip would go without
    // its number or its row.
    bool bookkeepingFailed = false;
};

// The counter's next number is ready in the file's place and the log's "started" row written
// before the chip is touched, the number is used up only by a chip verified to hold it, and
// the finished row follows. Nothing, after the reporter's message, when the counter or the log
// cannot be used: the chip is not touched.
std::optional<JobChip> ProgramJobChip(Programmer& programmer, const ProductionJob& job,
                                      ProgramRequest request);

// The job's chips in its log on this UTC day: its device and its HEX file's SHA-256.
LoopCounts TodaysCountsOfJob(const ProductionJob& job);

}  // namespace vek
