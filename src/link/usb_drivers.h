// The USB drivers a person can choose, in one table: --driver, the setting, the names the
// window and the command line show, --help and the shell completion all read it.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "link/usb_transport.h"
#include "platform/dynamic_library.h"

namespace vek {

class Reporter;

// Makes a driver's transport, unbound, on the library of that file name. Each driver's file
// defines one.
using UsbTransportMaker = std::unique_ptr<UsbTransport>(Reporter& reporter,
                                                        const std::string& library,
                                                        const UsbSetup& setup);

struct UsbDriver {
    std::string_view key;        // as --driver and the setting name it: "d2xx"
    std::string_view name;       // as the window names it: "FTDI D2XX"
    LibraryFileNames library;    // found on the library search path
    std::string_view autoWords;  // how --help names it in auto's order
    UsbTransportMaker* make;     // null where this build leaves the driver out
};

// In auto's order: auto takes the first that binds.
std::span<const UsbDriver> UsbDrivers();

// --driver's and the setting's value: "auto" or a driver's key.
using UsbDriverChoice = std::string;
inline constexpr const char* AUTO_USB_DRIVER = "auto";

// "auto" or a driver's key in any letter case, in lower case; nothing for any other text.
std::optional<UsbDriverChoice> ParseUsbDriverChoice(std::string_view text);
// The drivers' keys with separators between them: "d2xx, libftdi", "d2xx or libftdi".
std::string UsbDriverKeys(std::string_view separator, std::string_view lastSeparator);
// What auto takes, in its order: "D2XX when its library is installed, else libftdi1".
std::string UsbAutoOrder();
// The library file name of the driver with that key.
std::string UsbDriverLibrary(std::string_view key);
// How the window names the driver in use; "none" for none.
std::string UsbDriverName(const UsbDriver* driver);
// The driver in use as --driver names it ("d2xx", "libftdi"); empty for none.
std::string UsbDriverKey(const UsbDriver* driver);

}  // namespace vek
