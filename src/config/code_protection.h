// Whether a configuration word locks the chip's program memory away from reading.
#pragma once

#include <string_view>

#include "device/device_table.h"

namespace vek {

// As the target's editor decodes the word: the PIC16 editor's code protection other than
// "Off", or the SX FUSE editor's code protection "Enable". One PIC16 word means different
// things on different chips (3F72 protects a 16F84A whole but not a 16F877).
bool TurnsOnCodeProtection(const DeviceInfo& target, std::string_view wordText);

}  // namespace vek
