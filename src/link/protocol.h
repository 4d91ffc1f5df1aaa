// The programmer board's wire vocabulary. Every 16-bit value travels low byte first.
#pragma once

#include <cstdint>

namespace vek {

// Command codes, payload byte 0 of a frame.
inline constexpr std::uint8_t CMD_TEST = 0x50;
inline constexpr std::uint8_t CMD_READ = 0x52;
inline constexpr std::uint8_t CMD_BEGIN = 0x53;
inline constexpr std::uint8_t CMD_END = 0x54;
inline constexpr std::uint8_t CMD_READ_ID = 0x56;
inline constexpr std::uint8_t CMD_BULK_ERASE = 0x57;
inline constexpr std::uint8_t CMD_PROGRAM = 0x58;
inline constexpr std::uint8_t CMD_PROGRAM_FUSEX = 0x59;
inline constexpr std::uint8_t CMD_BLANK_CHECK = 0x5C;
inline constexpr std::uint8_t CMD_POWER_ON = 0x5D;
inline constexpr std::uint8_t CMD_POWER_OFF = 0x5E;
inline constexpr std::uint8_t CMD_ALLOW_POWER = 0x5F;

// The test frame's fixed arguments.
inline constexpr std::uint8_t TEST_PATTERN[] = {0xC9, 0x01, 0xFF};

// Reply bytes, programmer to host.
inline constexpr std::uint8_t REPLY_FRAME_OK = 0x55;
inline constexpr std::uint8_t REPLY_READY = 0x76;
inline constexpr std::uint8_t REPLY_OK = 0xA5;
inline constexpr std::uint8_t REPLY_FAIL = 0x5A;

// Host bytes answering a 64-byte block of a read stream.
inline constexpr std::uint8_t HOST_ACK = 0xA5;
inline constexpr std::uint8_t HOST_RESEND = 0x11;

// Programming stream: an address word, then BLOCK_WORDS data words.
inline constexpr int BLOCK_WORDS = 32;
inline constexpr std::uint16_t BLOCK_CONFIG = 0x2000;
inline constexpr std::uint16_t BLOCK_EEPROM = 0x2100;
inline constexpr std::uint16_t BLOCK_END = 0xF000;

// Read stream: every block carries this many bytes.
inline constexpr int READ_BLOCK_BYTES = 64;

// A frame is its length byte, at most this many payload bytes, and the check byte.
inline constexpr int MAX_PAYLOAD = 10;

// The two bytes of a 16-bit value in a frame's payload, low byte first on the wire.
constexpr std::uint8_t LowByte(int value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}
constexpr std::uint8_t HighByte(int value) {
    return static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

// Read and write time-outs in milliseconds.
inline constexpr std::uint32_t TIMEOUT_NORMAL_MS = 1000;
inline constexpr std::uint32_t TIMEOUT_BLANK_RESULT_MS = 15000;
inline constexpr std::uint32_t TIMEOUT_LEFTOVER_MS = 50;

}  // namespace vek
