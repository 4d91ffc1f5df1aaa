#include "operations/production_loop.h"

#include <optional>

#include "operations/device_id.h"

namespace vek {

namespace {

// Reads the ID until the socket is as wanted; the end of the loop when it stops first.
std::optional<LoopEnd> WaitForSocket(Programmer& programmer, const DeviceInfo& target,
                                     SocketWait wanted, const ProductionLoopHooks& hooks) {
    hooks.waiting(wanted);
    while (!hooks.stopRequested()) {
        const OperationResult read = ReadId(programmer, {target});
        if (!read.targetId) {
            return LoopEnd::LinkFailed;
        }
        const bool empty = IdOfEmptySocket(target, *read.targetId);
        if (empty == (wanted == SocketWait::ForEmpty)) {
            return std::nullopt;
        }
        if (hooks.stopRequested()) {
            break;
        }
        programmer.reporter.Pause(SOCKET_POLL_MS);
    }
    return LoopEnd::Stopped;
}

}  // namespace

LoopResult RunProductionLoop(Programmer& programmer, const DeviceInfo& target,
                             const ProductionLoopHooks& hooks) {
    LoopResult result;
    for (;;) {
        if (const auto end = WaitForSocket(programmer, target, SocketWait::ForChip, hooks)) {
            result.end = *end;
            return result;
        }
        const ChipVerdict verdict = hooks.workOnChip();
        if (verdict == ChipVerdict::EndLoop) {
            result.end = LoopEnd::Ended;
            return result;
        }
        ++(verdict == ChipVerdict::Passed ? result.counts.passed : result.counts.failed);
        hooks.chipDone(verdict, result.counts);
        if (const auto end = WaitForSocket(programmer, target, SocketWait::ForEmpty, hooks)) {
            result.end = *end;
            return result;
        }
    }
}

}  // namespace vek
