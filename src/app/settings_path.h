// Where the settings file lives.
#pragma once

#include <filesystem>

namespace vek {

// "<executable base name>.INI" in the user's configuration folder.
std::filesystem::path DefaultSettingsPath();

}  // namespace vek
