#include "state_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace vek::sim {

namespace {

constexpr std::array<const char*, SPACE_COUNT> SPACE_NAMES = {"program", "eeprom", "config", "fuse",
                                                              "fusex"};
constexpr int VALUES_PER_LINE = 16;

int SpaceNamed(const std::string& name) {
    for (int space = 0; space < SPACE_COUNT; ++space) {
        if (name == SPACE_NAMES[space]) {
            return space;
        }
    }
    return -1;
}

// One 16-bit value in hex; anything else ends the line.
bool ReadHex(std::istringstream& line, int& value) {
    return line >> std::hex >> value && value >= 0 && value <= 0xFFFF;
}

bool LoadLine(const std::string& text, VirtualChip& chip) {
    std::istringstream line(text);
    std::string name;
    int index = 0;
    if (!(line >> name) || !ReadHex(line, index)) {
        return false;
    }
    const int space = SpaceNamed(name);
    int value = 0;
    while (ReadHex(line, value)) {
        if (space < 0 || !chip.Write(space, index++, value)) {
            return false;
        }
    }
    return line.eof();
}

// A file of this save's own beside the state file, made only where nothing is: the folder
// may be shared, and a link planted under a name that another process can guess would be
// followed. The descriptor, or -1.
int CreateTemporary(const std::string& path, std::string& temporary) {
    constexpr int ATTEMPTS = 16;
    std::random_device random;
    for (int attempt = 0; attempt < ATTEMPTS; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
        temporary = path + suffix;
#if defined(_WIN32)
        const int descriptor = _open(temporary.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                                     _S_IREAD | _S_IWRITE);
#else
        const int descriptor =
            open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
#endif
        if (descriptor >= 0 || errno != EEXIST) {
            return descriptor;
        }
    }
    return -1;
}

}  // namespace

bool LoadChipState(const std::string& path, VirtualChip& chip) {
    // Binary both ways: the same bytes on every system; a line may end in CR LF all the same.
    std::ifstream file(path, std::ios::binary);
    const auto nextLine = [&file](std::string& line) {
        if (!std::getline(file, line)) {
            return false;
        }
        if (line.ends_with('\r')) {
            line.pop_back();
        }
        return true;
    };
    std::string header;
    if (!file || !nextLine(header) || header != "chip " + std::string(chip.Model().name)) {
        return false;
    }
    std::string text;
    while (nextLine(text)) {
        if (!text.empty() && !LoadLine(text, chip)) {
            chip.Insert(chip.Model());
            return false;
        }
    }
    return true;
}

void SaveChipState(const std::string& path, const VirtualChip& chip) {
    std::ostringstream text;
    text << "chip " << chip.Model().name << '\n' << std::uppercase << std::hex;
    for (int space = 0; space < SPACE_COUNT; ++space) {
        for (int index = 0; index < chip.Size(space); ++index) {
            if (index % VALUES_PER_LINE == 0) {
                text << (index == 0 ? "" : "\n") << SPACE_NAMES[space] << ' ' << index;
            }
            text << ' ' << chip.Read(space, index);
        }
        if (chip.Size(space) > 0) {
            text << '\n';
        }
    }
    // Written aside and renamed, so that an interrupted save never leaves half a file.
    std::string temporary;
    const int descriptor = CreateTemporary(path, temporary);
    if (descriptor < 0) {
        return;
    }
    const std::string bytes = text.str();
    const bool written = write(descriptor, bytes.data(), static_cast<unsigned>(bytes.size())) ==
                         static_cast<long>(bytes.size());
    std::error_code error;
    if (close(descriptor) != 0 || !written) {
        std::filesystem::remove(temporary, error);
        return;
    }
    // Over the old file, which the C library's rename refuses on Windows.
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
    }
}

}  // namespace vek::sim
