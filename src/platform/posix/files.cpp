// Files on a POSIX system.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_primitives.h"
#include "platform/files.h"
#include "platform/locked_file.h"

namespace vek {

namespace fs = std::filesystem;

std::FILE* OpenForReading(const fs::path& path) {
    return std::fopen(path.c_str(), "rb");
}

bool AccessRefused(const char* path) {
    return access(path, R_OK | W_OK) != 0 && errno == EACCES;
}

namespace native {

std::FILE* CreateNewFile(const fs::path& path) {
    return std::fopen(path.c_str(), "wbx");
}

bool SyncToDisk(std::FILE* file) {
    return fsync(fileno(file)) == 0;
}

bool MoveOver(const fs::path& temporary, const fs::path& target) {
    std::error_code error;
    fs::rename(temporary, target, error);
    return !error;
}

void SyncFolder(const fs::path& folder) {
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (descriptor >= 0) {
        fsync(descriptor);
        close(descriptor);
    }
}

// Without O_NONBLOCK a FIFO would hold the open until another process opened its other end;
// a regular file does not care.
int OpenDescriptor(const fs::path& path, Access access) {
    const int flags = access == Access::ReadWrite ? O_RDWR : O_WRONLY | O_APPEND | O_CREAT;
    return open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0644);
}

void CloseDescriptor(int descriptor) {
    close(descriptor);
}

namespace {

FileFacts FactsOf(const struct stat& status) {
    return {.regular = S_ISREG(status.st_mode),
            .mayBeWritten = (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0,
            .size = static_cast<long long>(status.st_size)};
}

}  // namespace

std::optional<FileFacts> FactsOf(int descriptor) {
    struct stat status {};
    return fstat(descriptor, &status) == 0 ? std::optional(FactsOf(status)) : std::nullopt;
}

std::optional<FileFacts> FactsOf(const fs::path& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? std::optional(FactsOf(status)) : std::nullopt;
}

bool StillNamedBy(int descriptor, const fs::path& path) {
    struct stat opened {};
    struct stat named {};
    return fstat(descriptor, &opened) == 0 && stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

bool LockWhole(int descriptor) {
    return flock(descriptor, LOCK_EX) == 0;
}

void UnlockWhole(int descriptor) {
    flock(descriptor, LOCK_UN);
}

long long ReadSome(int descriptor, char* buffer, std::size_t size) {
    return read(descriptor, buffer, size);
}

bool WriteWhole(int descriptor, std::string_view text) {
    const ssize_t written = write(descriptor, text.data(), text.size());
    return written >= 0 && static_cast<std::size_t>(written) == text.size();
}

bool CutTo(int descriptor, long long length) {
    return ftruncate(descriptor, length) == 0;
}

}  // namespace native

// Renamed over the old file: a process waiting for the lock then opens the new one.
bool LockedFile::PrepareReplacement(const fs::path& path, std::string_view text) {
    renamedOver_ = FileReplacement::Prepare(path, text);
    return renamedOver_.has_value();
}

bool LockedFile::CommitReplacement() {
    return renamedOver_ && renamedOver_->Commit();
}

}  // namespace vek
