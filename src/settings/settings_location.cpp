#include "settings/settings_location.h"

#if defined(_WIN32)
#include <shlobj.h>
#include <windows.h>
#endif

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

#if defined(_WIN32)

namespace {

fs::path ApplicationDataFolder() {
    if (const wchar_t* variable = _wgetenv(L"APPDATA"); variable != nullptr && *variable != 0) {
        return variable;
    }
    // Without the variable (a program started with a bare environment), the shell knows it.
    fs::path folder;
    wchar_t* known = nullptr;
    if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &known) == S_OK) {
        folder = known;
    }
    CoTaskMemFree(known);
    return folder;
}

fs::path WindowsFolder() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? fs::path(folder) : fs::path();
}

}  // namespace

fs::path WindowsSettingsFile(const fs::path& fileName) {
    return AdoptedSettingsFile(ApplicationDataFolder(), WindowsFolder(), fileName);
}

#endif

}  // namespace vek
