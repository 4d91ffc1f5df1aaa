// Bytes on their way from the board to the host, each with the time it reaches the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "clock.h"

namespace vek::sim {

class ReplyQueue {
  public:
    // The board sends in order, so ready times never decrease along the queue.
    void Push(std::uint8_t byte, Millis readyAt);
    // Bytes that are there now, ahead of those the board has not sent yet.
    void InjectNow(const std::vector<std::uint8_t>& bytes, Millis now);

    std::size_t ReadyCount(Millis now) const;
    // When the count-th byte (1-based) arrives, if the board will ever send it.
    std::optional<Millis> ArrivalOf(std::size_t count) const;
    std::optional<Millis> LastArrival() const;
    // Up to count bytes that have arrived by now.
    std::vector<std::uint8_t> Take(std::size_t count, Millis now);
    void Clear() { bytes_.clear(); }

  private:
    struct QueuedByte {
        std::uint8_t value;
        Millis readyAt;
    };
    std::deque<QueuedByte> bytes_;
};

}  // namespace vek::sim
