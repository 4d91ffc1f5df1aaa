// Wire bytes as text, so that a failing comparison shows the frames.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vek::test {

// "02 53 00 51"
inline std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char cell[4];
    for (std::uint8_t byte : bytes) {
        std::snprintf(cell, sizeof cell, "%02X ", byte);
        text += cell;
    }
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

// The bytes of a word, which the wire carries low byte first.
inline std::uint8_t Low(int value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}
inline std::uint8_t High(int value) {
    return static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

// A command frame as the wire carries it: length, payload, XOR check byte.
inline std::vector<std::uint8_t> FrameBytes(const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> frame;
    frame.reserve(payload.size() + 2);
    frame.push_back(static_cast<std::uint8_t>(payload.size()));
    std::uint8_t check = frame[0];
    for (std::uint8_t byte : payload) {
        frame.push_back(byte);
        check ^= byte;
    }
    frame.push_back(check);
    return frame;
}

}  // namespace vek::test
