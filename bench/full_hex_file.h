// A HEX file that gives every location a target has: all its program words and, for a PIC16,
// the configuration word and every data EEPROM byte, for an SX its FUSE and FUSEX words.
#pragma once

#include <string>

#include "device/device_table.h"

namespace vek::bench {

// The file's text; its words vary from place to place, so that a misplaced word shows.
std::string FullHexFileText(const DeviceInfo& target);

}  // namespace vek::bench
