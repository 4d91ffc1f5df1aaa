// The two USB drivers the link can run on, and the entries through which it calls either.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "link/d2xx.h"

namespace vek {

// Which driver the person asked for; "auto" takes D2XX when it loads and binds, else libftdi1.
enum class UsbDriverChoice { Auto, D2xx, Libftdi };
// The driver the link is bound to.
enum class UsbDriver { None, D2xx, Libftdi };

// "auto", "d2xx" or "libftdi", in any letter case; nothing for any other text.
std::optional<UsbDriverChoice> ParseUsbDriverChoice(std::string_view text);
// How the window and the command line name the driver in use.
std::string UsbDriverName(UsbDriver driver);
// The driver in use as --driver names it ("d2xx", "libftdi"); empty for none.
std::string UsbDriverKey(UsbDriver driver);

// libftdi1's file name on this platform, found through the system's library search path.
const char* DefaultLibftdiLibraryName();

// The D2XX functions the link calls, whichever driver answers them.
struct D2xxEntries {
    FT_WriteFn write = nullptr;
    FT_ReadFn read = nullptr;
    FT_OpenFn open = nullptr;  // bound because the driver must have it; never called
    FT_OpenExFn openEx = nullptr;
    FT_ListDevicesFn listDevices = nullptr;
    FT_CloseFn close = nullptr;
    FT_ResetDeviceFn resetDevice = nullptr;
    FT_PurgeFn purge = nullptr;
    FT_SetTimeoutsFn setTimeouts = nullptr;
    FT_GetQueueStatusFn getQueueStatus = nullptr;
    FT_SetLatencyTimerFn setLatencyTimer = nullptr;  // optional
};

}  // namespace vek
