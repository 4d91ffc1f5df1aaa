#include "session/rebuild_watch.h"

#include "device/hex_file.h"

namespace vek {

std::string HalfWrittenProblem(const ChosenHexFile& file) {
    if (EndsWithEndRecord(file.path)) {
        return "";
    }
    return "The HEX file " + file.name +
           " does not end with its end record: it is being written, or was left half written. "
           "It was not programmed; waiting for the next change.";
}

int WatchForRebuilds(FileChanges& changes, const std::function<RebuildRun()>& runOnce,
                     int noRunStatus, int failedStatus) {
    using Event = FileChanges::Event;
    int status = noRunStatus;
    for (;;) {
        Event event = changes.Wait(-1);
        // A change restarts the quiet time: the writer may not have finished.
        while (event == Event::Changed) {
            event = changes.Wait(REBUILD_QUIET_MS);
        }
        switch (event) {
            case Event::TimedOut: {
                const RebuildRun run = runOnce();
                status = run.status;
                if (!run.goOn) {
                    return status;
                }
                break;
            }
            case Event::Interrupted:
                return status;
            case Event::Failed:
            case Event::Changed:
                return failedStatus;
        }
    }
}

}  // namespace vek
