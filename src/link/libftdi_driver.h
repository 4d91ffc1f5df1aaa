// The D2XX calls the link makes, answered by the open-source libftdi1 on libusb. The library
// is loaded at run time like D2XX, so the program starts where it is missing.
#pragma once

#include <cstdint>
#include <string>

#include "link/dynamic_library.h"
#include "link/usb_driver.h"

namespace vek {

// What the driver asks of the platform besides libftdi1.
struct LibftdiPlatform {
    // A steady clock in milliseconds, on which read time-outs run out.
    std::uint64_t (*nowMs)();
    // Whether the system refuses this process the USB device node at path.
    bool (*accessRefused)(const char* path);
};
// Replaces the real clock and file system, as tests on a simulated board do.
void UseLibftdiPlatform(const LibftdiPlatform& platform);

// Loads libftdi1 and binds the functions the driver needs; then the entries answer the D2XX
// calls from it. False when the library cannot be loaded or lacks one of them.
bool BindLibftdi(DynamicLibrary& library, const std::string& libraryName, D2xxEntries& entries);

// True when the last count or open found a board whose device node we may not open.
bool LibftdiPermissionRefused();

}  // namespace vek
