// Where the system keeps a user's settings, where it names folders of its own for them.
#pragma once

#include <filesystem>
#include <optional>

namespace vek {

struct SettingsFolders {
    std::filesystem::path applicationData;  // the user's, below which each program has its own
    std::filesystem::path earlier;          // where programs kept their settings files before
};

// Windows': %APPDATA% (or the shell's roaming application-data folder when the variable is not
// set) and the Windows folder; a folder the system cannot name is empty. Nothing on a system
// where the desktop's configuration folder, which the toolkit knows, is the place.
std::optional<SettingsFolders> SystemSettingsFolders();

}  // namespace vek
