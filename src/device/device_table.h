// The ten targets the programmer knows, and every rule in which they differ: code that needs
// to know what a chip is like asks its row here, never its name or its position. A row's
// position is also the processor index byte sent to the programmer, so the order is part of
// the wire protocol.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vek {

enum class TargetFamily { PIC16, SX };

// What every chip of a family shares.
struct FamilyTraits {
    // Bits in a program word and in a configuration word.
    int wordBits = 0;
    // The bits of the device ID that name the chip; a PIC16 keeps its revision below them.
    int idMask = 0;
};

constexpr FamilyTraits TraitsOf(TargetFamily family) {
    switch (family) {
        case TargetFamily::PIC16:
            return {.wordBits = 14, .idMask = 0xFE0};
        case TargetFamily::SX:
            return {.wordBits = 12, .idMask = 0xFFF};
    }
    return {};
}

// Which options the configuration windows offer for the chip's words: the 16F84A has fewer
// than the 16F87x, the 16F870 and 16F871 protect their program memory only as a whole, and
// the SX28 and SX48 differ in their FUSE and FUSEX bits.
enum class ConfigLayout { PIC16F84A, PIC16F870, PIC16F872, SX28, SX48 };

struct DeviceInfo {
    std::uint8_t processorIndex = 0;
    std::string_view name;
    TargetFamily family = TargetFamily::PIC16;
    ConfigLayout configLayout = ConfigLayout::PIC16F872;
    std::uint16_t deviceId = 0;
    int programWords = 0;
    int eepromBytes = 0;
    // The implemented bits of the configuration words: all 14 on the 16F84A, all but bit 10
    // (which reads as 1) on the 16F87x, all 12 of FUSE and of FUSEX on an SX.
    int configBits = 0;
    // Whether CP1:CP0 can protect part of program memory: 01 the upper half, 10 the upper 256
    // words. The 16F870 to 16F872 protect it only as a whole; the 16F872 does not support the
    // partial choices that its configuration window offers, and a word with one counts as
    // protecting it whole.
    bool partialProtection = false;

    // Every bit a word of this chip can have: 3FFF on a PIC16, FFF on an SX. A word with a
    // bit above them did not come from the chip.
    constexpr int WordMask() const { return (1 << TraitsOf(family).wordBits) - 1; }
    // Hex digits of a word's text: four ("%4.4X") on a PIC16, three ("%3.3X") on an SX.
    constexpr int WordDigits() const { return (TraitsOf(family).wordBits + 3) / 4; }
    constexpr int IdMask() const { return TraitsOf(family).idMask; }
    // CP1:CP0 (0-3) as a PIC16 configuration word gives them: 3 protects nothing, 0 all of
    // program memory. The 16F84A's ten CP bits (13-4) and the 16F870/16F871's two pairs
    // (13-12, 5-4) give 3 when all are set and 0 otherwise; the other chips' pair is bits 5-4.
    constexpr int ProtectionBits(int configWord) const {
        switch (configLayout) {
            case ConfigLayout::PIC16F84A:
                return (configWord & 0x3FF0) == 0x3FF0 ? 3 : 0;
            case ConfigLayout::PIC16F870:
                return (configWord & 0x3030) == 0x3030 ? 3 : 0;
            default:
                return (configWord >> 4) & 3;
        }
    }
    // Whether a PIC16 configuration word keeps the data EEPROM from the programmer, which then
    // reads it as zeros: on the 16F84A its code protection covers the EEPROM too, on the 16F87x
    // CPD (bit 8) does that alone. An SX has no EEPROM.
    constexpr bool ProtectsData(int configWord) const {
        switch (configLayout) {
            case ConfigLayout::PIC16F84A:
                return ProtectionBits(configWord) == 0;
            case ConfigLayout::SX28:
            case ConfigLayout::SX48:
                return false;
            default:
                return (configWord & 0x100) == 0;
        }
    }
};

inline constexpr int DEVICE_COUNT = 10;

inline constexpr std::array<DeviceInfo, DEVICE_COUNT> DeviceTable = {{
    {0, "16F84A", TargetFamily::PIC16, ConfigLayout::PIC16F84A, 0x560, 1024, 64, 0x3FFF, false},
    {1, "16F870", TargetFamily::PIC16, ConfigLayout::PIC16F870, 0xD00, 2048, 64, 0x3BFF, false},
    {2, "16F871", TargetFamily::PIC16, ConfigLayout::PIC16F870, 0xD20, 2048, 64, 0x3BFF, false},
    {3, "16F872", TargetFamily::PIC16, ConfigLayout::PIC16F872, 0x8E0, 2048, 64, 0x3BFF, false},
    {4, "16F873", TargetFamily::PIC16, ConfigLayout::PIC16F872, 0x960, 4096, 128, 0x3BFF, true},
    {5, "16F874", TargetFamily::PIC16, ConfigLayout::PIC16F872, 0x920, 4096, 128, 0x3BFF, true},
    {6, "16F876", TargetFamily::PIC16, ConfigLayout::PIC16F872, 0x9E0, 8192, 256, 0x3BFF, true},
    {7, "16F877", TargetFamily::PIC16, ConfigLayout::PIC16F872, 0x9A0, 8192, 256, 0x3BFF, true},
    {8, "SX28", TargetFamily::SX, ConfigLayout::SX28, 0xFCE, 2048, 0, 0xFFF, false},
    {9, "SX48", TargetFamily::SX, ConfigLayout::SX48, 0x002, 4096, 0, 0xFFF, false},
}};

constexpr bool IsValidRow(int row) {
    return row >= 0 && row < DEVICE_COUNT;
}

// The row of this name in any letter case, or nullptr.
const DeviceInfo* DeviceNamed(std::string_view name);

// The names in table order: "16F84A, 16F870, ..., SX48" with (", ", ", "), or with a last
// separator of its own.
std::string DeviceNames(std::string_view separator, std::string_view lastSeparator);

// Whether a chip answering `id` is a `device`: the ID's bits of IdMask() are its deviceId.
bool IdFits(const DeviceInfo& device, int id);
// The names of the rows that a chip answering `id` fits, in table order.
std::vector<std::string_view> DevicesFittingId(int id);
// An ID of all zeros or all ones that fits no device: nothing answers in the socket.
bool IdOfEmptySocket(const DeviceInfo& target, int id);
// The rows of the family that a chip answering `id` fits, in table order: an ID is only to be
// trusted for the family whose sequence read it.
std::vector<const DeviceInfo*> RowsFittingId(int id, TargetFamily family);

// A configuration word of the target as text: its digits in upper case ("3FF2", "7F3").
std::string WordText(const DeviceInfo& target, int word);
// A device ID as text: three digits in upper case ("9A0").
std::string IdText(int id);

// How many program words, from address 0, a PIC16 configuration word leaves outside code
// protection: all, none, the lower half (CP1:CP0 01) or all but the upper 256 (10).
int UnprotectedProgramWords(const DeviceInfo& device, int configWord);

}  // namespace vek
