// The web addresses that the program names in its messages or opens in the browser. The
// maker's site serves them over plain http only.
#pragma once

namespace vek {

inline constexpr const char* MAKER_WEB_ADDRESS = "http://www.vekdesign.com";
inline constexpr const char* FTDI_WEB_ADDRESS = "http://www.ftdichip.com";

// Driver packages on the maker's site, below MAKER_WEB_ADDRESS.
inline constexpr const char* PROGRAMMER_DLL_DRIVERS_PATH = "/drivers/dllflash.zip";
inline constexpr const char* STANDARD_DLL_DRIVERS_PATH = "/drivers/dll.zip";
inline constexpr const char* STANDARD_VCP_DRIVERS_PATH = "/drivers/vcp.zip";

}  // namespace vek
