// A folder of its own for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/utf8_path.h"

namespace vek::test {

class TempFolder {
  public:
    TempFolder() {
        std::random_device random;
        do {
            path_ =
                std::filesystem::temp_directory_path() / ("vek-test-" + std::to_string(random()));
        } while (!std::filesystem::create_directory(path_));
    }
    ~TempFolder() {
        std::error_code error;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, error);
        std::filesystem::remove_all(path_, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Names and returned paths are UTF-8, as the program takes them.
    std::filesystem::path operator/(const std::string& name) const {
        return path_ / PathFromUtf8(name);
    }

    // Writes the text as it stands (no line ends added) and returns the file's path.
    std::string Write(const std::string& name, const std::string& text) const {
        const std::filesystem::path file = *this / name;
        std::ofstream(file, std::ios::binary) << text;
        return Utf8FromPath(file);
    }

  private:
    std::filesystem::path path_;
};

}  // namespace vek::test
