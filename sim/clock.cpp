#include "clock.h"

#include <thread>

namespace vek::sim {

void Clock::Reset(bool realTime) {
    realTime_ = realTime;
    virtualNow_ = 0;
    start_ = std::chrono::steady_clock::now();
}

Millis Clock::Now() const {
    if (!realTime_) {
        return virtualNow_;
    }
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    return static_cast<Millis>(
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void Clock::WaitUntil(Millis time) {
    if (time <= Now()) {
        return;
    }
    if (realTime_) {
        std::this_thread::sleep_until(start_ + std::chrono::milliseconds(time));
        return;
    }
    virtualNow_ = time;
}

}  // namespace vek::sim
