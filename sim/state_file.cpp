#include "state_file.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>

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
    // Written aside and renamed, so that an interrupted save never leaves half a file.
    const std::string temporary = path + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << "chip " << chip.Model().name << '\n' << std::uppercase << std::hex;
        for (int space = 0; space < SPACE_COUNT; ++space) {
            for (int index = 0; index < chip.Size(space); ++index) {
                if (index % VALUES_PER_LINE == 0) {
                    file << (index == 0 ? "" : "\n") << SPACE_NAMES[space] << ' ' << index;
                }
                file << ' ' << chip.Read(space, index);
            }
            if (chip.Size(space) > 0) {
                file << '\n';
            }
        }
        if (!file) {
            return;
        }
    }
    // Over the old file, which the C library's rename refuses on Windows.
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
}

}  // namespace vek::sim
