#include "cli/locked_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <utility>

#include "settings/whole_file.h"

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
#if defined(_WIN32)
    const int updateFlags = O_RDWR;  // Replace() writes through this very handle
#else
    const int updateFlags = O_RDONLY;
#endif
    const int flags = mode == Mode::UpdateExisting ? updateFlags : O_WRONLY | O_APPEND | O_CREAT;
    for (;;) {
#if defined(_WIN32)
        const int descriptor = _wopen(path.c_str(), flags | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
        const int descriptor = open(path.c_str(), flags, 0644);
#endif
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

bool LockedFile::Replace(const std::filesystem::path& path, std::string_view text) {
#if defined(_WIN32)
    // Windows replaces no file that is open, and the lock keeps this one open: the text is
    // written in place, in one write, then cut to its length and flushed to the disk.
    (void)path;
    return _lseeki64(descriptor_, 0, SEEK_SET) == 0 && Append(text) &&
           _chsize_s(descriptor_, static_cast<long long>(text.size())) == 0 &&
           _commit(descriptor_) == 0;
#else
    // Renamed over the old file: a process waiting for the lock then opens the new one.
    return ReplaceWholeFile(path, text);
#endif
}

}  // namespace vek::cli
