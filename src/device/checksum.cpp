#include "device/checksum.h"

namespace vek {

namespace {

constexpr int ID_LOCATIONS = 4;
constexpr int ID_DIGIT_MASK = 0xF;

std::uint32_t ProgramSum(const MemoryImage& image, const DeviceInfo& target, int words) {
    std::uint32_t sum = 0;
    for (int address = 0; address < words; ++address) {
        sum += static_cast<std::uint32_t>(image[address] & target.WordMask());
    }
    return sum;
}

std::uint32_t IdDigits(const MemoryImage& image) {
    std::uint32_t digits = 0;
    for (int k = 0; k < ID_LOCATIONS; ++k) {
        digits =
            (digits << 4) | static_cast<std::uint32_t>(image[CONFIG_AREA_ADDR + k] & ID_DIGIT_MASK);
    }
    return digits;
}

std::uint32_t ConfigBits(const DeviceInfo& target, int word) {
    return static_cast<std::uint32_t>(word & target.configBits);
}

}  // namespace

std::uint16_t TargetChecksum(const MemoryImage& image, const DeviceInfo& target,
                             ConfigurationWords words) {
    if (target.family == TargetFamily::SX) {
        return static_cast<std::uint16_t>(ProgramSum(image, target, target.programWords) +
                                          ConfigBits(target, words.fuse) +
                                          ConfigBits(target, words.fuseX));
    }
    const int unprotected = UnprotectedProgramWords(target, words.fuse);
    std::uint32_t sum = ProgramSum(image, target, unprotected) + ConfigBits(target, words.fuse);
    if (unprotected < target.programWords) {
        sum += IdDigits(image);
    }
    return static_cast<std::uint16_t>(sum);
}

}  // namespace vek
