// File names travel through the program as UTF-8 text and meet the file system as paths.
// A path made from plain char text would be read in the ANSI code page on Windows, which
// cannot hold every name; made from UTF-8 it holds any name on every system.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vek {

inline std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// The name without its folders, as the Hex File field shows it.
inline std::string Utf8FileName(std::string_view path) {
    return Utf8FromPath(PathFromUtf8(path).filename());
}

}  // namespace vek
