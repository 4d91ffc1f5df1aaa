// How long the board and the chip take, in milliseconds on the simulator's clock.
#pragma once

#include "clock.h"

namespace vek::sim {

inline constexpr Millis FRAME_ACK_MS = 1;
inline constexpr Millis REPLY_BYTE_MS = 1;
inline constexpr Millis BEGIN_READY_MS = 3;
inline constexpr Millis ERASE_MS = 30;
inline constexpr Millis FUSE_WRITE_MS = 10;
inline constexpr Millis PROGRAM_WORD_MS = 2;
inline constexpr Millis EEPROM_BYTE_MS = 4;
inline constexpr Millis READ_BLOCK_MS = 4;

// Long enough that a host still on its 1000 ms time-out misses the result on every chip,
// and growing with the number of words checked.
inline constexpr Millis BlankCheckMs(int words) {
    return 1200 + static_cast<Millis>(words) / 8;
}

}  // namespace vek::sim
