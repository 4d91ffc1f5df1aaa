#include "platform/whole_file.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>

#include "platform/file_primitives.h"

namespace vek {

namespace fs = std::filesystem;

namespace {

constexpr const char* TEMPORARY_ENDING = ".tmp";
constexpr std::size_t TEMPORARY_DIGITS = 8;

// The file's own name with a random suffix, so that two writers never share a temporary file.
fs::path TemporaryNameFor(const fs::path& path) {
    std::random_device random;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x%s", static_cast<unsigned>(random()),
                  TEMPORARY_ENDING);
    fs::path temporary = path;
    temporary += suffix;
    return temporary;
}

bool IsTemporaryNameFor(const std::string& name, const fs::path& target) {
    const std::string prefix = target.filename().string() + ".";
    const std::size_t digitsEnd = prefix.size() + TEMPORARY_DIGITS;
    return name.size() == digitsEnd + std::strlen(TEMPORARY_ENDING) &&
           name.compare(0, prefix.size(), prefix) == 0 &&
           name.compare(digitsEnd, std::string::npos, TEMPORARY_ENDING) == 0 &&
           std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()),
                       name.begin() + static_cast<std::ptrdiff_t>(digitsEnd),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

// A writer that died between creating its temporary file and the rename left that file
// behind. One untouched for a minute is such a leftover; a younger one may be another
// writer's, still at work.
void RemoveLeftoverTemporaries(const fs::path& target) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const auto cutoff = fs::file_time_type::clock::now() - std::chrono::minutes(1);
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        std::error_code statError;
        if (IsTemporaryNameFor(entry->path().filename().string(), target) &&
            entry->last_write_time(statError) < cutoff && !statError) {
            fs::remove(entry->path(), statError);
        }
    }
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
           std::fflush(file) == 0 && native::SyncToDisk(file);
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
    std::optional<FileReplacement> replacement = FileReplacement::Prepare(path, text);
    return replacement && replacement->Commit();
}

std::optional<FileReplacement> FileReplacement::Prepare(const fs::path& path,
                                                        std::string_view text) {
    const fs::path target = LinkTarget(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code error;
    fs::create_directories(folder, error);

    const fs::path temporary = TemporaryNameFor(target);
    std::FILE* file = native::CreateNewFile(temporary);
    if (file == nullptr) {
        return std::nullopt;
    }
    CopyPermissions(target, temporary);
    const bool written = WriteAndSync(file, text);
    if (std::fclose(file) != 0 || !written) {
        fs::remove(temporary, error);
        return std::nullopt;
    }
    return FileReplacement(target, temporary);
}

bool FileReplacement::Commit() {
    if (!native::MoveOver(temporary_, target_)) {
        return false;  // the destructor removes the temporary file
    }
    temporary_.clear();
    native::SyncFolder(target_.has_parent_path() ? target_.parent_path() : fs::path("."));
    RemoveLeftoverTemporaries(target_);
    return true;
}

FileReplacement::FileReplacement(FileReplacement&& other) noexcept
    : target_(std::move(other.target_)), temporary_(std::exchange(other.temporary_, {})) {}

FileReplacement& FileReplacement::operator=(FileReplacement&& other) noexcept {
    std::swap(target_, other.target_);
    std::swap(temporary_, other.temporary_);
    return *this;
}

FileReplacement::~FileReplacement() {
    if (!temporary_.empty()) {
        std::error_code error;
        fs::remove(temporary_, error);
    }
}

}  // namespace vek
