// Bytes on their way from the board to the host: first in the USB chip's buffer, which sends
// them as packets (see usb_timing.h), then in the host's receive queue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "clock.h"
#include "usb_timing.h"

namespace vek::sim {

class ReplyQueue {
  public:
    // The board sends in order, so send times never decrease along the chip's buffer.
    void Push(std::uint8_t byte, Millis sentAt);
    // Bytes that are in the host's queue now, behind those that have arrived already.
    void InjectNow(const std::vector<std::uint8_t>& bytes, Millis now);

    // A fresh open: the driver's default latency, the timer counting from now.
    void RestartTimer(Millis now);
    // The new period counts from now.
    void SetLatency(Millis milliseconds, Millis now);

    std::size_t ReadyCount(Millis now);
    // When the count-th byte (1-based) reaches the host, if the board will ever send it.
    std::optional<Millis> ArrivalOf(std::size_t count, Millis now);
    std::optional<Millis> LastArrival(Millis now);
    // Up to count bytes that have arrived by now.
    std::vector<std::uint8_t> Take(std::size_t count, Millis now);
    void Clear();

  private:
    struct SentByte {
        std::uint8_t value;
        Millis sentAt;  // when the board hands it to the USB chip
    };
    struct Packet {
        Millis sentAt;
        std::size_t bytes;
    };

    // The chip's next packet with data after the one sent at lastPacket, the chip's buffer
    // holding its bytes from index first on.
    Packet NextPacket(Millis lastPacket, std::size_t first) const;
    // Moves every packet sent by now to the host's queue.
    void Advance(Millis now);

    std::deque<std::uint8_t> arrived_;
    std::deque<SentByte> inChip_;
    Millis latencyMs_ = LATENCY_DEFAULT_MS;
    Millis lastPacket_ = 0;
};

}  // namespace vek::sim
