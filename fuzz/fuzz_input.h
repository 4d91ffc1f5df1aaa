// The HEX loader reads files by path, so every input goes to one file of this process first:
// in memory under /dev/shm where there is one, removed when the process ends.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace vek::fuzz {

inline const std::string& InputPath() {
    static const std::string path = [] {
        std::error_code error;
        const std::filesystem::path folder = std::filesystem::is_directory("/dev/shm", error)
                                                 ? std::filesystem::path("/dev/shm")
                                                 : std::filesystem::temp_directory_path();
        return (folder / ("vek-fuzz-" + std::to_string(getpid()) + ".hex")).string();
    }();
    static const bool removedAtExit = std::atexit([] { std::remove(InputPath().c_str()); }) == 0;
    (void)removedAtExit;
    return path;
}

// The input as the file's whole content.
inline const std::string& WriteInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = InputPath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || (size > 0 && std::fwrite(data, 1, size, file) != size)) {
        std::perror(path.c_str());
        std::abort();
    }
    std::fclose(file);
    return path;
}

// Lines as the loader counts them: every line end, and a last line without one.
inline int CountLines(const std::uint8_t* data, std::size_t size) {
    int lines = 0;
    for (std::size_t i = 0; i < size; ++i) {
        lines += data[i] == '\n';
    }
    return lines + (size > 0 && data[size - 1] != '\n' ? 1 : 0);
}

// A broken promise of the loader: reported like a sanitizer's finding, with the input kept.
inline void Require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "Broken: %s\n", what);
        std::abort();
    }
}

}  // namespace vek::fuzz
