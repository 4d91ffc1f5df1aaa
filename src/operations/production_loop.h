// Chip after chip in one socket: the loop waits for a chip by reading the ID every 500 ms, has
// the caller program it, then waits until the socket is empty again. It never stops in the
// middle of a chip.
#pragma once

#include <functional>

#include "device/device_table.h"
#include "session/programmer.h"

namespace vek {

inline constexpr int SOCKET_POLL_MS = 500;

enum class SocketWait { ForChip, ForEmpty };
enum class ChipVerdict { Passed, Failed, EndLoop };  // EndLoop: beyond the chip (log, file) failed
enum class LoopEnd { Stopped, LinkFailed, Ended };

struct LoopCounts {
    int passed = 0;
    int failed = 0;
    int Total() const { return passed + failed; }
};

struct ProductionLoopHooks {
    // Asked around every poll: true ends the loop.
    std::function<bool()> stopRequested;
    // The loop starts waiting for the socket to hold a chip, or to be empty.
    std::function<void(SocketWait)> waiting;
    // Programs and verifies the chip just put in.
    std::function<ChipVerdict()> workOnChip;
    // The chip's verdict with the counts that include it.
    std::function<void(ChipVerdict, const LoopCounts&)> chipDone;
};

struct LoopResult {
    LoopEnd end = LoopEnd::Stopped;
    LoopCounts counts;
};

LoopResult RunProductionLoop(Programmer& programmer, const DeviceInfo& target,
                             const ProductionLoopHooks& hooks);

}  // namespace vek
