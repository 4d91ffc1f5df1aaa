// Persistent settings: one INI section, keys matched without regard to case.
#pragma once

#include <string>

namespace vek {

inline constexpr const char* SETTINGS_SECTION = "MyVEKFlashAp";

inline constexpr const char* KEY_PROC_SELECTION = "VEKFlashProcSelection";
inline constexpr const char* KEY_SCREEN_X = "VEKFlashScreenX";
inline constexpr const char* KEY_SCREEN_Y = "VEKFlashScreenY";
inline constexpr const char* KEY_MICROCHIP_BITS = "VEKFlashmicrochipBits";
inline constexpr const char* KEY_FUSE_BITS = "VEKFlashFuseBits";
inline constexpr const char* KEY_FUSEX_BITS = "VEKFlashFusexBits";
// The HEX loader writes the FUSEX word under this spelling; it names the same value.
inline constexpr const char* KEY_FUSEX_BITS_LOADER = "VEKFlashFuseXBits";
inline constexpr const char* KEY_FUSE_BITS_SAVE = "VEKFlashFuseBitsSave";
inline constexpr const char* KEY_FILE_NAME_PATH = "VEKFlashfilenamepath";
// 1 (the default): programming blocks in one write and a short USB latency; 0: one write per
// word and the driver's latency, for a programmer whose firmware cannot keep up.
inline constexpr const char* KEY_FAST_TRANSFERS = "VEKFlashFastTransfers";
// The USB driver: "auto" (the default: D2XX when its library loads, else libftdi1), "d2xx" or
// "libftdi".
inline constexpr const char* KEY_USB_DRIVER = "VEKFlashUsbDriver";
// The USB serial number of the board the window connects to; empty (the default): the first
// board with the programmer's description.
inline constexpr const char* KEY_BOARD_SERIAL = "VEKFlashBoardSerial";
// The recently opened HEX files, most recent first, under this name followed by 1 to 5; an
// empty value is no file.
inline constexpr const char* KEY_RECENT_FILE_PREFIX = "VEKFlashRecentFile";
// The Setup menu's "Preserve Device EEPROM" and "Verify After Program": 1 checked, 0 (the
// default) not.
inline constexpr const char* KEY_PRESERVE_EEPROM = "VEKFlashPreserveEeprom";
inline constexpr const char* KEY_VERIFY_AFTER_PROGRAM = "VEKFlashVerifyAfterProgram";

class SettingsStore {
  public:
    virtual ~SettingsStore() = default;

    virtual int ReadSettingInt(const std::string& section, const std::string& key,
                               int defaultValue) = 0;
    virtual std::string ReadSettingText(const std::string& section, const std::string& key,
                                        const std::string& defaultText = "") = 0;
    // Writes report success; callers do not act on it.
    virtual bool WriteSettingInt(const std::string& section, const std::string& key, int value) = 0;
    virtual bool WriteSettingText(const std::string& section, const std::string& key,
                                  const std::string& text) = 0;
};

}  // namespace vek
