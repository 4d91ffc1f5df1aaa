// The program's surroundings on Windows: its words, its console, its libraries, its settings
// folder.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which they need.
#include <shellapi.h>
#include <shlobj.h>

#include "platform/console.h"
#include "platform/dynamic_library.h"
#include "platform/operating_system.h"
#include "platform/settings_folder.h"
#include "platform/utf8_path.h"

namespace vek {

namespace fs = std::filesystem;

// Windows hands main() its words in the ANSI code page, which cannot hold every file name:
// they are taken from the wide command line instead.
std::vector<std::string> CommandLineWords(int /*argc*/, char* /*argv*/[]) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> words;
    if (wide == nullptr) {
        return words;
    }
    for (int i = 1; i < count; ++i) {
        words.push_back(Utf8FromPath(wide[i]));
    }
    LocalFree(wide);
    return words;
}

void UseUtf8Output() {
    SetConsoleOutputCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

namespace {

HANDLE ConsoleOf(std::FILE* stream) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

}  // namespace

// A console, not the NUL device, which the runtime takes for a terminal.
bool IsTerminal(std::FILE* stream) {
    DWORD mode = 0;
    return GetConsoleMode(ConsoleOf(stream), &mode) != 0;
}

// The console window's width.
int TerminalColumns(std::FILE* terminal) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    return GetConsoleScreenBufferInfo(ConsoleOf(terminal), &info) != 0
               ? info.srWindow.Right - info.srWindow.Left + 1
               : 0;
}

// Wide, so that a path with any characters loads.
bool DynamicLibrary::Load(const std::string& name) {
    handle_ = reinterpret_cast<void*>(LoadLibraryW(PathFromUtf8(name).c_str()));
    return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
    return handle_ == nullptr
               ? nullptr
               : reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

const char* LibraryFileName(const LibraryFileNames& names) {
    return names.windows;
}

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

std::optional<SettingsFolders> SystemSettingsFolders() {
    return SettingsFolders{ApplicationDataFolder(), WindowsFolder()};
}

OperatingSystem ThisOperatingSystem() {
    return OperatingSystem::Windows;
}

}  // namespace vek
