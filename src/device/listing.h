// The Hex Data window's text: a memory image four words to a line.
#pragma once

#include <string>
#include <vector>

#include "device/device_table.h"
#include "device/memory_image.h"

namespace vek {

// The image as loaded from a HEX file with every given entry marked LOADED_MARK: the groups
// of four that hold a given entry, over the target's program range, then for a PIC16 the
// EEPROM, then the file's last comment line.
std::vector<std::string> FileListingLines(const MemoryImage& image, const DeviceInfo& target,
                                          const std::string& comment);

// The image as Read left it: every program word of the target, then its EEPROM bytes.
std::vector<std::string> DeviceListingLines(const MemoryImage& image, const DeviceInfo& target);

}  // namespace vek
