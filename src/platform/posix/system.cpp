// The program's surroundings on a POSIX system: its words, its terminal, its libraries.
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/console.h"
#include "platform/dynamic_library.h"
#include "platform/operating_system.h"
#include "platform/settings_folder.h"

namespace vek {

// The words come as the bytes the shell passed, which are UTF-8 here.
std::vector<std::string> CommandLineWords(int argc, char* argv[]) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

// The streams carry bytes as they are, and terminals take them as UTF-8.
void UseUtf8Output() {}

bool IsTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) == 1;
}

int TerminalColumns(std::FILE* terminal) {
    winsize size{};
    return ioctl(fileno(terminal), TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

bool DynamicLibrary::Load(const std::string& name) {
    handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
    return handle_ == nullptr ? nullptr : dlsym(handle_, name);
}

const char* LibraryFileName(const LibraryFileNames& names) {
#if defined(__APPLE__)
    return names.apple;
#else
    return names.otherPosix;
#endif
}

std::optional<SettingsFolders> SystemSettingsFolders() {
    return std::nullopt;
}

OperatingSystem ThisOperatingSystem() {
#if defined(__linux__)
    return OperatingSystem::Linux;
#else
    return OperatingSystem::OtherPosix;
#endif
}

}  // namespace vek
