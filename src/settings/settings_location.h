// Where the settings file lives where the system names the folder (Windows).
#pragma once

#include <filesystem>
#include <optional>

namespace vek {

// The folder of the program's own below the user's application-data folder.
inline constexpr const char* SETTINGS_FOLDER_NAME = "VEK Flash";

// The settings file of that name in SETTINGS_FOLDER_NAME below applicationData. When there is
// none yet but the Windows folder holds one, where earlier versions of the program kept it,
// the new file starts as a copy of that one. The Windows folder is only ever read.
std::filesystem::path AdoptedSettingsFile(const std::filesystem::path& applicationData,
                                          const std::filesystem::path& windowsFolder,
                                          const std::filesystem::path& fileName);

// The same for this user (%APPDATA%) and this system's Windows folder; nothing on a system
// that leaves the place to the desktop's configuration folder.
std::optional<std::filesystem::path> SystemSettingsFile(const std::filesystem::path& fileName);

}  // namespace vek
