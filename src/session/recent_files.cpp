#include "session/recent_files.h"

#include <algorithm>

namespace vek {

namespace {

std::string SlotKey(int slot) {
    return KEY_RECENT_FILE_PREFIX + std::to_string(slot + 1);
}

// Every slot is written, so that a shorter list leaves no file of the longer one behind.
void StoreRecentFiles(SettingsStore& settings, const std::vector<std::string>& files) {
    for (int slot = 0; slot < RECENT_FILES_LIMIT; ++slot) {
        const std::size_t index = static_cast<std::size_t>(slot);
        settings.WriteSettingText(SETTINGS_SECTION, SlotKey(slot),
                                  index < files.size() ? files[index] : "");
    }
}

}  // namespace

std::vector<std::string> WithFileInFront(std::vector<std::string> files, const std::string& path) {
    std::erase(files, path);
    files.insert(files.begin(), path);
    if (files.size() > RECENT_FILES_LIMIT) {
        files.resize(RECENT_FILES_LIMIT);
    }
    return files;
}

std::vector<std::string> RecentHexFiles(SettingsStore& settings) {
    std::vector<std::string> files;
    for (int slot = 0; slot < RECENT_FILES_LIMIT; ++slot) {
        const std::string path = settings.ReadSettingText(SETTINGS_SECTION, SlotKey(slot), "");
        if (!path.empty() && std::find(files.begin(), files.end(), path) == files.end()) {
            files.push_back(path);
        }
    }
    return files;
}

void RememberHexFile(SettingsStore& settings, const std::string& path) {
    StoreRecentFiles(settings, WithFileInFront(RecentHexFiles(settings), path));
}

void ForgetHexFile(SettingsStore& settings, const std::string& path) {
    std::vector<std::string> files = RecentHexFiles(settings);
    std::erase(files, path);
    StoreRecentFiles(settings, files);
}

}  // namespace vek
