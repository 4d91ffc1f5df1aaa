#include "link/usb_drivers.h"

#include <algorithm>
#include <cctype>

namespace vek {

// Each defined in its driver's file.
UsbTransportMaker MakeD2xxTransport;
UsbTransportMaker MakeLibftdiTransport;

namespace {

// The libraries' file names, found through the system's library search path.
constexpr LibraryFileNames D2XX_LIBRARY = {"Ftd2xx.dll", "libftd2xx.dylib", "libftd2xx.so"};
constexpr LibraryFileNames LIBFTDI_LIBRARY = {"libftdi1.dll", "libftdi1.2.dylib", "libftdi1.so.2"};

#if defined(VEK_HAVE_LIBFTDI)
constexpr UsbTransportMaker* LIBFTDI = MakeLibftdiTransport;
#else
constexpr UsbTransportMaker* LIBFTDI = nullptr;  // built without libftdi1's header
#endif

// The first row also answers the link's calls while no driver is bound, with its binding's
// messages, so every build has it.
constexpr UsbDriver USB_DRIVERS[] = {
    {"d2xx", "FTDI D2XX", D2XX_LIBRARY, "D2XX when its library is installed", MakeD2xxTransport},
    {"libftdi", "libftdi1", LIBFTDI_LIBRARY, "libftdi1", LIBFTDI},
};

std::string Joined(std::string_view (*part)(const UsbDriver&), std::string_view separator,
                   std::string_view lastSeparator) {
    std::string text;
    for (std::size_t i = 0; i < std::size(USB_DRIVERS); ++i) {
        if (i > 0) {
            text += i + 1 == std::size(USB_DRIVERS) ? lastSeparator : separator;
        }
        text += part(USB_DRIVERS[i]);
    }
    return text;
}

}  // namespace

std::span<const UsbDriver> UsbDrivers() {
    return USB_DRIVERS;
}

std::optional<UsbDriverChoice> ParseUsbDriverChoice(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const bool known =
        lower == AUTO_USB_DRIVER || std::ranges::any_of(USB_DRIVERS, [&](const UsbDriver& driver) {
            return driver.key == lower;
        });
    if (!known) {
        return std::nullopt;
    }
    return lower;
}

std::string UsbDriverKeys(std::string_view separator, std::string_view lastSeparator) {
    return Joined([](const UsbDriver& driver) { return driver.key; }, separator, lastSeparator);
}

std::string UsbAutoOrder() {
    return Joined([](const UsbDriver& driver) { return driver.autoWords; }, ", else ", ", else ");
}

std::string UsbDriverLibrary(std::string_view key) {
    const auto* driver = std::ranges::find(USB_DRIVERS, key, &UsbDriver::key);
    return driver == std::end(USB_DRIVERS) ? "" : LibraryFileName(driver->library);
}

std::string UsbDriverName(const UsbDriver* driver) {
    return driver == nullptr ? "none" : std::string(driver->name);
}

std::string UsbDriverKey(const UsbDriver* driver) {
    return driver == nullptr ? "" : std::string(driver->key);
}

}  // namespace vek
