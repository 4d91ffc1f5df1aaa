#include "device/listing.h"

#include <array>

#include "device/hex_text.h"

namespace vek {

namespace {

constexpr int GROUP = 4;
// The file listing shows these EEPROM entries whatever the target's size.
constexpr int FILE_LISTING_EEPROM_END = 0x2300;

// An SX file's words above the chip's memory stay out; a PIC16 file's are listed up to the
// configuration area.
int ProgramRangeEnd(const DeviceInfo& target) {
    return target.family == TargetFamily::SX ? target.programWords : PROGRAM_AREA_END;
}

bool AnyLoaded(const MemoryImage& image, int first) {
    for (int i = first; i < first + GROUP; ++i) {
        if ((image[i] & LOADED_MARK) != 0) {
            return true;
        }
    }
    return false;
}

std::string ProgramLine(int address, const std::array<int, GROUP>& values) {
    return Printf("%4.4X:   %4.4X   %4.4X   %4.4X   %4.4X", address, values[0], values[1],
                  values[2], values[3]);
}

int Location(int address) {
    return address - EEPROM_ADDR;
}

std::string FileEepromCell(std::int32_t entry) {
    if ((entry & LOADED_MARK) == 0) {
        return "xx";
    }
    return Printf("%2.2X", entry & ~LOADED_MARK);
}

}  // namespace

std::vector<std::string> FileListingLines(const MemoryImage& image, const DeviceInfo& target,
                                          const std::string& comment) {
    const bool isSx = target.family == TargetFamily::SX;
    std::vector<std::string> lines{"Program data from file:"};
    for (int group = 0; group < ProgramRangeEnd(target); group += GROUP) {
        if (!AnyLoaded(image, group)) {
            continue;
        }
        std::array<int, GROUP> values{};
        for (int i = 0; i < GROUP; ++i) {
            values[i] = image[group + i] & ~LOADED_MARK;
        }
        const bool allBlank = values == std::array<int, GROUP>{0x3FFF, 0x3FFF, 0x3FFF, 0x3FFF};
        if (isSx && allBlank) {
            continue;
        }
        lines.push_back(ProgramLine(group, values));
    }
    if (!isSx) {
        lines.push_back("EEPROM Data:");
        for (int group = EEPROM_ADDR; group < FILE_LISTING_EEPROM_END; group += GROUP) {
            if (!AnyLoaded(image, group)) {
                continue;
            }
            lines.push_back(Printf(
                "%4.4X:   %s   %s   %s   %s   (%d..%d)", group,
                FileEepromCell(image[group]).c_str(), FileEepromCell(image[group + 1]).c_str(),
                FileEepromCell(image[group + 2]).c_str(), FileEepromCell(image[group + 3]).c_str(),
                Location(group), Location(group) + GROUP - 1));
        }
    }
    lines.push_back("Comment:");
    lines.push_back(comment);
    return lines;
}

std::vector<std::string> DeviceListingLines(const MemoryImage& image, const DeviceInfo& target) {
    std::vector<std::string> lines{"Program data from microcontroller:"};
    for (int group = 0; group < target.programWords; group += GROUP) {
        lines.push_back(ProgramLine(
            group, {image[group], image[group + 1], image[group + 2], image[group + 3]}));
    }
    if (target.eepromBytes > 0) {
        lines.push_back("EEPROM Data:");
        const int end = EEPROM_ADDR + target.eepromBytes;
        for (int group = EEPROM_ADDR; group < end; group += GROUP) {
            lines.push_back(Printf("%2.2X:    %2.2X    %2.2X    %2.2X    %2.2X   (%d..%d)", group,
                                   image[group], image[group + 1], image[group + 2],
                                   image[group + 3], Location(group), Location(group) + GROUP - 1));
        }
    }
    return lines;
}

}  // namespace vek
