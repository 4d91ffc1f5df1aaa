// Keeps the chip's memory in a small text file between runs:
//   chip 16F84A
//   program 0000 3FFF 3FFF ...   (a space, the first index in hex, up to 16 values in hex)
#pragma once

#include <string>

#include "virtual_chip.h"

namespace vek::sim {

// Fills the chip from the file when it describes a chip of the same type; false (and the
// chip left blank) when the file is missing, malformed or for another chip.
bool LoadChipState(const std::string& path, VirtualChip& chip);
void SaveChipState(const std::string& path, const VirtualChip& chip);

}  // namespace vek::sim
