#include "link/usb_driver.h"

#include <algorithm>
#include <cctype>

namespace vek {

std::optional<UsbDriverChoice> ParseUsbDriverChoice(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "auto") {
        return UsbDriverChoice::Auto;
    }
    if (lower == "d2xx") {
        return UsbDriverChoice::D2xx;
    }
    if (lower == "libftdi") {
        return UsbDriverChoice::Libftdi;
    }
    return std::nullopt;
}

std::string UsbDriverName(UsbDriver driver) {
    switch (driver) {
        case UsbDriver::D2xx:
            return "FTDI D2XX";
        case UsbDriver::Libftdi:
            return "libftdi1";
        case UsbDriver::None:
            break;
    }
    return "none";
}

std::string UsbDriverKey(UsbDriver driver) {
    switch (driver) {
        case UsbDriver::D2xx:
            return "d2xx";
        case UsbDriver::Libftdi:
            return "libftdi";
        case UsbDriver::None:
            break;
    }
    return "";
}

const char* DefaultLibftdiLibraryName() {
#if defined(_WIN32)
    return "libftdi1.dll";
#elif defined(__APPLE__)
    return "libftdi1.2.dylib";
#else
    return "libftdi1.so.2";
#endif
}

}  // namespace vek
