#include "reply_queue.h"

#include <algorithm>

namespace vek::sim {

void ReplyQueue::Push(std::uint8_t byte, Millis sentAt) {
    inChip_.push_back({byte, sentAt});
}

void ReplyQueue::InjectNow(const std::vector<std::uint8_t>& bytes, Millis now) {
    Advance(now);
    arrived_.insert(arrived_.end(), bytes.begin(), bytes.end());
}

void ReplyQueue::RestartTimer(Millis now) {
    SetLatency(LATENCY_DEFAULT_MS, now);
}

void ReplyQueue::SetLatency(Millis milliseconds, Millis now) {
    Advance(now);
    latencyMs_ = milliseconds;
    lastPacket_ = now;
}

std::size_t ReplyQueue::ReadyCount(Millis now) {
    Advance(now);
    return arrived_.size();
}

std::optional<Millis> ReplyQueue::ArrivalOf(std::size_t count, Millis now) {
    Advance(now);
    if (count == 0 || count > arrived_.size() + inChip_.size()) {
        return std::nullopt;
    }
    if (count <= arrived_.size()) {
        return now;
    }
    // Nothing the host does meanwhile can hurry the packets on: replay them.
    const std::size_t wanted = count - arrived_.size();
    std::size_t sent = 0;
    Millis lastPacket = lastPacket_;
    while (sent < wanted) {
        const Packet packet = NextPacket(lastPacket, sent);
        sent += packet.bytes;
        lastPacket = packet.sentAt;
    }
    return lastPacket;
}

std::optional<Millis> ReplyQueue::LastArrival(Millis now) {
    return ArrivalOf(arrived_.size() + inChip_.size(), now);
}

std::vector<std::uint8_t> ReplyQueue::Take(std::size_t count, Millis now) {
    Advance(now);
    const std::size_t taken = std::min(count, arrived_.size());
    std::vector<std::uint8_t> bytes(arrived_.begin(), arrived_.begin() + taken);
    arrived_.erase(arrived_.begin(), arrived_.begin() + taken);
    return bytes;
}

void ReplyQueue::Clear() {
    arrived_.clear();
    inChip_.clear();
}

ReplyQueue::Packet ReplyQueue::NextPacket(Millis lastPacket, std::size_t first) const {
    // The first expiry of the timer that finds a byte waiting; those before it found none.
    const Millis firstSent = inChip_[first].sentAt;
    Millis expiry = lastPacket + latencyMs_;
    if (firstSent > expiry) {
        expiry += (firstSent - expiry + latencyMs_ - 1) / latencyMs_ * latencyMs_;
    }
    const std::size_t waiting = inChip_.size() - first;
    if (waiting >= USB_PACKET_DATA_BYTES) {
        const Millis full = inChip_[first + USB_PACKET_DATA_BYTES - 1].sentAt;
        if (full <= expiry) {
            return {full, USB_PACKET_DATA_BYTES};
        }
    }
    std::size_t bytes = 0;
    while (bytes < waiting && inChip_[first + bytes].sentAt <= expiry) {
        ++bytes;
    }
    return {expiry, bytes};
}

void ReplyQueue::Advance(Millis now) {
    while (!inChip_.empty()) {
        const Packet packet = NextPacket(lastPacket_, 0);
        if (packet.sentAt > now) {
            return;
        }
        for (std::size_t i = 0; i < packet.bytes; ++i) {
            arrived_.push_back(inChip_.front().value);
            inChip_.pop_front();
        }
        lastPacket_ = packet.sentAt;
    }
}

}  // namespace vek::sim
