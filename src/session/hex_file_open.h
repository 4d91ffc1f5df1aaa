// Choosing a HEX file: the scan that checks it for the target and takes its configuration
// words, and the listing of what it holds.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "device/device_table.h"
#include "device/hex_file.h"
#include "device/image_compare.h"
#include "session/workspace.h"
#include "settings/settings_store.h"

namespace vek {

// What a file gives a target: the scan's verdict with the number of the line read last, and
// the configuration words of its records (those before a failure count as well).
struct HexFileScan {
    HexScanResult result = HexScanResult::Ok;
    int lineNo = 0;
    GivenWords words = {};
};
HexFileScan ScanWithWords(const DeviceInfo& target, const std::string& path);

// What choosing a file came to.
struct OpenedHexFile {
    ChosenHexFile file;
    HexFileScan scan = {};
    // Why the file cannot be used; empty when it can.
    std::string failure = {};
    // What the Hex Data window lists now (empty lines: nothing, for a file that could not be
    // loaded after its scan); absent: the window is left as it is.
    std::optional<std::vector<std::string>> listing = {};
};

// The file dialog, the recent list or a drop has chosen `path`: remembers it in the settings,
// scans it for the target, saves the configuration words of its records there and, when it
// can be used, lists it. The name stays chosen when it cannot, so that Program and Verify
// report the same error.
OpenedHexFile OpenChosenHexFile(SettingsStore& settings, const DeviceInfo& target,
                                const std::string& path);

// The message of a scan failure of the file. A file too large for the target that gives the
// other family's configuration words says that it looks like that family's.
std::string HexScanMessage(const DeviceInfo& target, const ChosenHexFile& file,
                           HexScanResult result, int lineNo);
std::string NoHexDataMessage(const std::string& fileName);

}  // namespace vek
