// The ten targets the programmer knows. A row's position is also the processor index byte
// sent to the programmer, so the order is part of the wire protocol.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace vek {

enum class TargetFamily { PIC16, SX };

struct DeviceInfo {
    std::uint8_t processorIndex = 0;
    std::string_view name;
    TargetFamily family = TargetFamily::PIC16;
    std::uint16_t deviceId = 0;
    int programWords = 0;
    int eepromBytes = 0;
};

inline constexpr int DEVICE_COUNT = 10;

inline constexpr std::array<DeviceInfo, DEVICE_COUNT> DeviceTable = {{
    {0, "16F84A", TargetFamily::PIC16, 0x560, 1024, 64},
    {1, "16F870", TargetFamily::PIC16, 0xD00, 2048, 64},
    {2, "16F871", TargetFamily::PIC16, 0xD20, 2048, 64},
    {3, "16F872", TargetFamily::PIC16, 0x8E0, 2048, 64},
    {4, "16F873", TargetFamily::PIC16, 0x960, 4096, 128},
    {5, "16F874", TargetFamily::PIC16, 0x920, 4096, 128},
    {6, "16F876", TargetFamily::PIC16, 0x9E0, 8192, 256},
    {7, "16F877", TargetFamily::PIC16, 0x9A0, 8192, 256},
    {8, "SX28", TargetFamily::SX, 0xFCE, 2048, 0},
    {9, "SX48", TargetFamily::SX, 0x002, 4096, 0},
}};

// Indexes above 7 are SX; everything else counts as PIC16.
constexpr TargetFamily FamilyOfIndex(int processorIndex) {
    return processorIndex > 7 ? TargetFamily::SX : TargetFamily::PIC16;
}

constexpr bool IsValidRow(int row) {
    return row >= 0 && row < DEVICE_COUNT;
}

}  // namespace vek
