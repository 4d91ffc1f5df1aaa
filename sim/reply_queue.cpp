#include "reply_queue.h"

#include <algorithm>

namespace vek::sim {

void ReplyQueue::Push(std::uint8_t byte, Millis readyAt) {
    bytes_.push_back({byte, readyAt});
}

void ReplyQueue::InjectNow(const std::vector<std::uint8_t>& bytes, Millis now) {
    auto firstPending = bytes_.begin() + static_cast<std::ptrdiff_t>(ReadyCount(now));
    std::vector<QueuedByte> injected;
    for (std::uint8_t byte : bytes) {
        injected.push_back({byte, now});
    }
    bytes_.insert(firstPending, injected.begin(), injected.end());
}

std::size_t ReplyQueue::ReadyCount(Millis now) const {
    auto firstPending = std::find_if(bytes_.begin(), bytes_.end(),
                                     [now](const QueuedByte& byte) { return byte.readyAt > now; });
    return static_cast<std::size_t>(firstPending - bytes_.begin());
}

std::optional<Millis> ReplyQueue::ArrivalOf(std::size_t count) const {
    if (count == 0 || count > bytes_.size()) {
        return std::nullopt;
    }
    return bytes_[count - 1].readyAt;
}

std::optional<Millis> ReplyQueue::LastArrival() const {
    return ArrivalOf(bytes_.size());
}

std::vector<std::uint8_t> ReplyQueue::Take(std::size_t count, Millis now) {
    const std::size_t taken = std::min(count, ReadyCount(now));
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < taken; ++i) {
        bytes.push_back(bytes_.front().value);
        bytes_.pop_front();
    }
    return bytes;
}

}  // namespace vek::sim
