// Where the settings file lives.
#pragma once

#include <filesystem>

namespace vek {

// "<executable base name>.INI" in the user's configuration folder; on Windows in the program's
// folder below the user's application-data folder.
std::filesystem::path DefaultSettingsPath();

}  // namespace vek
