// Intel HEX text of what a chip holds, in the layout our loader reads back.
#pragma once

#include <string>

#include "device/device_table.h"
#include "device/image_compare.h"
#include "device/memory_image.h"

namespace vek {

// The target's program words from the image (each word low byte first), then its
// configuration words (PIC16: the configuration word in fuse, at byte address 0x400E; SX: FUSE
// and FUSEX at 0x2020 and 0x2022, in one record as a file for the SX carries them), then for a
// PIC16 its data EEPROM from byte address 0x4200, one byte a word; all in data records of at
// most 16 bytes in rising address order, each line ended by "\n", and the end record last.
std::string HexFileText(const MemoryImage& image, const DeviceInfo& target,
                        ConfigurationWords words);

}  // namespace vek
