// The command line's own words where a window text sends the person to the window's menus,
// ends the application, or keeps a slip the window has always shown.
#pragma once

#include <string>

#include "link/usb_drivers.h"

namespace vek::cli {

// The message as vekflash-cli shows it: the window's text with those parts in the command
// line's words, naming its options; every other text as the window shows it.
std::string InCliWords(const std::string& windowText, const UsbDriverChoice& driver);

}  // namespace vek::cli
