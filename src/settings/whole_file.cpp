#include "settings/whole_file.h"

#include <cstdio>
#include <fstream>
#include <random>

#if defined(_WIN32)
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vek {

namespace fs = std::filesystem;

namespace {

// Fails when the file exists already.
std::FILE* CreateNewFile(const fs::path& path) {
#if defined(_WIN32)
    return _wfopen(path.c_str(), L"wbx");
#else
    return std::fopen(path.c_str(), "wbx");
#endif
}

bool SyncToDisk(std::FILE* file) {
#if defined(_WIN32)
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

// Makes a rename durable where folders can be synchronised; a failure only loses durability.
void SyncFolder(const fs::path& folder) {
#if !defined(_WIN32)
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (descriptor >= 0) {
        fsync(descriptor);
        close(descriptor);
    }
#else
    (void)folder;
#endif
}

// The file's own name with a random suffix, so that two writers never share a temporary file.
fs::path TemporaryNameFor(const fs::path& path) {
    std::random_device random;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
    fs::path temporary = path;
    temporary += suffix;
    return temporary;
}

fs::path LinkTarget(const fs::path& path) {
    std::error_code error;
    if (!fs::is_symlink(path, error)) {
        return path;
    }
    const fs::path target = fs::canonical(path, error);
    return error ? path : target;
}

// The new file keeps the old one's permissions, which may keep other users out.
void CopyPermissions(const fs::path& from, const fs::path& to) {
    std::error_code error;
    const fs::file_status old = fs::status(from, error);
    if (!error && fs::exists(old)) {
        fs::permissions(to, old.permissions(), error);
    }
}

bool WriteAndSync(std::FILE* file, std::string_view text) {
    return std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
           std::fflush(file) == 0 && SyncToDisk(file);
}

}  // namespace

std::optional<std::string> ReadWholeFile(const fs::path& path) {
    std::error_code error;
    const fs::file_type type = fs::status(path, error).type();
    if (type == fs::file_type::not_found) {
        return std::string();
    }
    if (type != fs::file_type::regular) {
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    std::string text;
    char buffer[4096];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        text.append(buffer, static_cast<size_t>(file.gcount()));
    }
    if (!file.eof() || file.bad()) {
        return std::nullopt;
    }
    return text;
}

bool ReplaceWholeFile(const fs::path& path, std::string_view text) {
    const fs::path target = LinkTarget(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code error;
    fs::create_directories(folder, error);

    const fs::path temporary = TemporaryNameFor(target);
    std::FILE* file = CreateNewFile(temporary);
    if (file == nullptr) {
        return false;
    }
    CopyPermissions(target, temporary);
    const bool written = WriteAndSync(file, text);
    if (std::fclose(file) != 0 || !written) {
        fs::remove(temporary, error);
        return false;
    }
    fs::rename(temporary, target, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    SyncFolder(folder);
    return true;
}

}  // namespace vek
