// What the board's full-speed FTDI USB link costs, in milliseconds on the simulator's clock.
#pragma once

#include <cstddef>

#include "clock.h"

namespace vek::sim {

// One USB frame. A write goes out as a bulk OUT transfer, which the host controller schedules
// into the next frame, so no write call returns sooner. Our longest write, a 66-byte block, is
// two 64-byte packets and fits into one frame.
inline constexpr Millis USB_FRAME_MS = 1;

// A full-speed bulk packet carries 64 bytes, of which the chip spends two on its modem status:
// once this many bytes have gathered in its buffer they go to the host at once.
inline constexpr std::size_t USB_PACKET_DATA_BYTES = 62;

// Fewer bytes wait for the chip's latency timer. It counts from the last packet the chip sent;
// when it runs out the chip sends whatever it holds (only its status bytes when it holds
// nothing) and counts afresh. So a lone reply byte waits for the next expiry, and a host that
// answers each reply at once pays about one whole period per exchange.
// The driver sets the timer to 16 ms on every open; FT_SetLatencyTimer takes 2 to 255 ms.
inline constexpr Millis LATENCY_DEFAULT_MS = 16;
inline constexpr Millis LATENCY_MIN_MS = 2;
inline constexpr Millis LATENCY_MAX_MS = 255;

}  // namespace vek::sim
