// Where a chip's contents differ from a HEX file and the configuration fields.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "device/device_table.h"
#include "device/memory_image.h"

namespace vek {

enum class DifferenceKind {
    ProgramWord,
    FuseXWord,  // SX only
    FuseWord,   // the SX FUSE word or the PIC16 configuration word
    EepromByte,
};

// One place where the chip differs. address: the word address in the image (the
// configuration words at their own addresses, EEPROM bytes from EEPROM_ADDR on).
struct ImageDifference {
    DifferenceKind kind = DifferenceKind::ProgramWord;
    int address = 0;
    std::int32_t expected = 0;
    std::int32_t read = 0;

    bool operator==(const ImageDifference&) const = default;
};

// The configuration words: SX FUSE and FUSEX, or the PIC16 configuration word in fuse.
struct ConfigurationWords {
    int fuse = 0;
    int fuseX = 0;
};

// The same words as a HEX file's records, the window's fields or the command line give them:
// an absent word is none (the window's "---").
struct GivenWords {
    std::optional<int> fuse;
    std::optional<int> fuseX;
};

// Every difference, in the order Verify compares: the target's program words as whole values
// (a word the file does not give must hold the blank word), the FUSEX word (SX), the FUSE or
// configuration word, then each EEPROM byte the file gives (EEPROM_PRESENT) below the
// target's EEPROM size. fileImage is loaded with LoadVariant::Verify.
std::vector<ImageDifference> CompareWithFile(const MemoryImage& fileImage,
                                             const MemoryImage& chipImage, const DeviceInfo& target,
                                             ConfigurationWords expected, ConfigurationWords read);

}  // namespace vek
