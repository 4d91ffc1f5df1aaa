#include "cli/locked_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <utility>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <sys/file.h>
#include <unistd.h>
#endif

namespace vek::cli {

namespace {

bool LockWholeFile(int descriptor) {
#if defined(_WIN32)
    OVERLAPPED whole{};
    return LockFileEx(reinterpret_cast<HANDLE>(_get_osfhandle(descriptor)), LOCKFILE_EXCLUSIVE_LOCK,
                      0, MAXDWORD, MAXDWORD, &whole) != 0;
#else
    return flock(descriptor, LOCK_EX) == 0;
#endif
}

// Whether the open file is still the one the path names.
bool StillNamedBy(int descriptor, const std::filesystem::path& path) {
#if defined(_WIN32)
    (void)descriptor;
    (void)path;
    return true;  // an open file cannot be replaced there
#else
    struct stat opened {};
    struct stat named {};
    return fstat(descriptor, &opened) == 0 && stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
#endif
}

}  // namespace

std::optional<LockedFile> LockedFile::Open(const std::filesystem::path& path, Mode mode) {
    const int flags = mode == Mode::ReadExisting ? O_RDONLY : O_WRONLY | O_APPEND | O_CREAT;
    for (;;) {
        const int descriptor = open(path.string().c_str(), flags, 0644);
        if (descriptor < 0) {
            return std::nullopt;
        }
        LockedFile file(descriptor);
        if (!LockWholeFile(descriptor)) {
            return std::nullopt;
        }
        if (StillNamedBy(descriptor, path)) {
            return file;
        }
    }
}

LockedFile::LockedFile(LockedFile&& other) noexcept : descriptor_(other.descriptor_) {
    other.descriptor_ = -1;
}

LockedFile& LockedFile::operator=(LockedFile&& other) noexcept {
    std::swap(descriptor_, other.descriptor_);
    return *this;
}

LockedFile::~LockedFile() {
    if (descriptor_ >= 0) {
        close(descriptor_);  // releases the lock
    }
}

std::optional<std::string> LockedFile::ReadAll() {
    std::string text;
    char buffer[4096];
    for (;;) {
        const auto count = read(descriptor_, buffer, sizeof buffer);
        if (count < 0) {
            return std::nullopt;
        }
        if (count == 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
}

bool LockedFile::IsEmpty() const {
    struct stat status {};
    return fstat(descriptor_, &status) == 0 && status.st_size == 0;
}

bool LockedFile::Append(std::string_view text) {
    const auto written = write(descriptor_, text.data(), text.size());
    return written >= 0 && static_cast<std::size_t>(written) == text.size();
}

}  // namespace vek::cli
