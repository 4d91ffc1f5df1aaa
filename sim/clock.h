// The simulator's time: virtual by default, so that nothing really waits.
#pragma once

#include <chrono>
#include <cstdint>

namespace vek::sim {

using Millis = std::uint64_t;

class Clock {
  public:
    // Back to 0; realTime makes waits really sleep (for a person watching the window).
    void Reset(bool realTime);
    Millis Now() const;
    // Virtual time jumps forward; real time sleeps. Earlier times are already past.
    void WaitUntil(Millis time);

  private:
    bool realTime_ = false;
    Millis virtualNow_ = 0;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace vek::sim
