// Program on every rebuild: a HEX file that an assembler or linker writes is programmed each
// time it has been left alone for a while after a change. The window and the command line
// each notice the changes their own way; what follows a change is decided here.
#pragma once

#include <functional>
#include <string>

#include "platform/file_changes.h"
#include "session/workspace.h"

namespace vek {

// A file is taken as written once no change has come for this long.
inline constexpr int REBUILD_QUIET_MS = 300;

// Why the rebuilt file is not programmed: it has no end record at its end, so it is being
// written or was left half written. Empty when it may be programmed; a checksum error and the
// rest are Program's own to report.
std::string HalfWrittenProblem(const ChosenHexFile& file);

// What one run on a rebuilt file came to, and whether the watch goes on after it (not after
// a link that has failed for good).
struct RebuildRun {
    int status = 0;
    bool goOn = true;
};

// Waits for changes of the file; REBUILD_QUIET_MS after the last of a run of them, calls
// runOnce and keeps its status, then waits for the next change. Ctrl+C ends the watch with
// the last run's status, noRunStatus before the first run; failedStatus when the notification
// fails.
int WatchForRebuilds(FileChanges& changes, const std::function<RebuildRun()>& runOnce,
                     int noRunStatus, int failedStatus);

}  // namespace vek
