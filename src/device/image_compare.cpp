#include "device/image_compare.h"

namespace vek {

namespace {

constexpr std::int32_t EEPROM_BYTE_MASK = 0xFF;

}  // namespace

std::vector<ImageDifference> CompareWithFile(const MemoryImage& fileImage,
                                             const MemoryImage& chipImage, const DeviceInfo& target,
                                             ConfigurationWords expected, ConfigurationWords read) {
    std::vector<ImageDifference> differences;
    for (int address = 0; address < target.programWords; ++address) {
        if (fileImage[address] != chipImage[address]) {
            differences.push_back(
                {DifferenceKind::ProgramWord, address, fileImage[address], chipImage[address]});
        }
    }
    const bool isSx = target.family == TargetFamily::SX;
    if (isSx && expected.fuseX != read.fuseX) {
        differences.push_back(
            {DifferenceKind::FuseXWord, SX_FUSEX_ADDR, expected.fuseX, read.fuseX});
    }
    if (expected.fuse != read.fuse) {
        differences.push_back({DifferenceKind::FuseWord, isSx ? SX_FUSE_ADDR : CONFIG_WORD_ADDR,
                               expected.fuse, read.fuse});
    }
    for (int address = EEPROM_ADDR; address < EEPROM_ADDR + target.eepromBytes; ++address) {
        const std::int32_t given = fileImage[address];
        if ((given & EEPROM_PRESENT) == 0) {
            continue;  // the file leaves this byte as the chip has it
        }
        if ((given & EEPROM_BYTE_MASK) != chipImage[address]) {
            differences.push_back({DifferenceKind::EepromByte, address, given & EEPROM_BYTE_MASK,
                                   chipImage[address]});
        }
    }
    return differences;
}

}  // namespace vek
