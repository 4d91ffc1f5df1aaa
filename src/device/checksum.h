// The 16-bit checksum of what a chip holds or is to hold, for people to compare: on a PIC16 the
// one its maker's IDE and programmers show, on an SX a sum of our own.
#pragma once

#include <cstdint>

#include "device/device_table.h"
#include "device/image_compare.h"
#include "device/memory_image.h"

namespace vek {

// The low 16 bits of a sum of the image's program words, each to the chip's word bits (an
// entry the file did not give holds the blank word), and of the configuration words, each
// to the chip's configBits. The data EEPROM never counts.
// PIC16: words.fuse is the configuration word. The program words under its code protection
// are left out, as a protected chip reads them as 0, and then the ID locations' low nibbles
// are added as one 16-bit number, 2000h's the highest digit.
// SX: FUSE and FUSEX both count; code protection changes nothing.
std::uint16_t TargetChecksum(const MemoryImage& image, const DeviceInfo& target,
                             ConfigurationWords words);

}  // namespace vek
