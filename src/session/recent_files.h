// The HEX files opened last, offered again in the File menu; kept in the settings.
#pragma once

#include <string>
#include <vector>

#include "settings/settings_store.h"

namespace vek {

inline constexpr int RECENT_FILES_LIMIT = 5;

// path first, without another copy of it, and no more than the limit.
std::vector<std::string> WithFileInFront(std::vector<std::string> files, const std::string& path);

// The stored list, most recent first; empty and repeated entries are passed over.
std::vector<std::string> RecentHexFiles(SettingsStore& settings);
// An opened file goes to the front of the stored list.
void RememberHexFile(SettingsStore& settings, const std::string& path);
void ForgetHexFile(SettingsStore& settings, const std::string& path);

}  // namespace vek
