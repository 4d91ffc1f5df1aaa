#include "settings/settings_location.h"

#include "platform/settings_folder.h"

namespace vek {

namespace fs = std::filesystem;

fs::path AdoptedSettingsFile(const fs::path& applicationData, const fs::path& windowsFolder,
                             const fs::path& fileName) {
    const fs::path file = applicationData / SETTINGS_FOLDER_NAME / fileName;
    const fs::path earlier = windowsFolder / fileName;
    std::error_code error;
    if (fs::exists(file, error) || error || !fs::is_regular_file(earlier, error)) {
        return file;
    }
    // A copy that fails leaves no file: the program then starts from its defaults.
    fs::create_directories(file.parent_path(), error);
    fs::copy_file(earlier, file, error);
    return file;
}

std::optional<fs::path> SystemSettingsFile(const fs::path& fileName) {
    const std::optional<SettingsFolders> folders = SystemSettingsFolders();
    if (!folders) {
        return std::nullopt;
    }
    return AdoptedSettingsFile(folders->applicationData, folders->earlier, fileName);
}

}  // namespace vek
