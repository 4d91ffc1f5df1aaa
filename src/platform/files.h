// Files opened through the system where the standard library says too little.
#pragma once

#include <cstdio>
#include <filesystem>

namespace vek {

// The file opened for binary reading, with any characters in its name; null on a failure.
std::FILE* OpenForReading(const std::filesystem::path& path);

// Whether the file at path (UTF-8) exists but this process may not both read and write it.
bool AccessRefused(const char* path);

}  // namespace vek
