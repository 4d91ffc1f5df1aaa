// The CSV run log that vekflash-cli's --log and a job's log file keep: one row per run or per
// chip, the same columns whoever writes it, so that each can count the other's chips.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "operations/production_loop.h"
#include "operations/run_outcome.h"
#include "platform/locked_file.h"

namespace vek {

// One run on a chip as the log keeps it.
struct RunLogRow {
    std::string startedAt = {};  // ISO 8601, UTC
    std::string boardSerial = {};
    std::string device = {};      // empty until there is one
    std::string deviceWord = {};  // the chip's ID as read, empty when none was read
    std::string hexFile = {};     // as given; the row names its SHA-256 as well
    std::optional<unsigned> serialNumber = {};
    // How the run ended; nothing while it is under way: the row's outcome is then "started".
    std::optional<ExitStatus> status = {};
    double seconds = 0;
    std::optional<std::uint16_t> checksum = {};
};

// The chips in the log of this device and HEX file (its SHA-256) on the UTC day "YYYY-MM-DD":
// the rows of finished runs that read a chip's ID, passed when successful, else failed.
LoopCounts CountsInLog(const std::string& file, const std::string& device,
                       const std::string& sha256, const std::string& day);
// The same on this UTC day.
LoopCounts TodaysCountsInLog(const std::string& file, const std::string& device,
                             const std::string& sha256);

// What is said when a row cannot be written.
std::string LogNotWrittenMessage(const std::string& file);

// The log, open from the start of the run, so that a path that cannot take its rows is refused
// before the chip is touched. Each row goes in whole or not at all, with the header first when
// the file is new; processes sharing the log take turns.
class RunLog {
  public:
    // The log, or nothing and in `error` why it cannot be written.
    static std::optional<RunLog> Open(const std::string& file, std::string& error);

    // A row without a status is written before the chip is touched, with the board and the
    // serial number about to be written; the finished row follows.
    bool Append(const RunLogRow& row);

  private:
    explicit RunLog(LockedFile file) : file_(std::move(file)) {}

    LockedFile file_;
};

}  // namespace vek
