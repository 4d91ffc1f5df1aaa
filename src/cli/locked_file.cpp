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

#if defined(_WIN32)
using FileStatus = struct _stat64;

HANDLE Handle(int descriptor) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
}

bool LockWholeFile(int descriptor) {
    OVERLAPPED whole{};
    return LockFileEx(Handle(descriptor), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) !=
           0;
}

void UnlockWholeFile(int descriptor) {
    OVERLAPPED whole{};
    UnlockFileEx(Handle(descriptor), 0, MAXDWORD, MAXDWORD, &whole);
}

int OpenFile(const std::filesystem::path& path, int flags) {
    return _wopen(path.c_str(), flags | _O_BINARY, _S_IREAD | _S_IWRITE);
}

bool StatusOf(int descriptor, FileStatus& status) {
    return _fstat64(descriptor, &status) == 0;
}

bool StatusOf(const std::filesystem::path& path, FileStatus& status) {
    return _wstat64(path.c_str(), &status) == 0;
}

bool IsRegular(const FileStatus& status) {
    return (status.st_mode & _S_IFMT) == _S_IFREG;
}

bool MayBeWritten(const FileStatus& status) {
    return (status.st_mode & _S_IWRITE) != 0;
}

bool CutTo(int descriptor, long long length) {
    return _chsize_s(descriptor, length) == 0;
}

// Whether the open file is still the one the path names: an open file cannot be replaced
// there.
bool StillNamedBy(int /*descriptor*/, const std::filesystem::path& /*path*/) {
    return true;
}
#else
using FileStatus = struct stat;

bool LockWholeFile(int descriptor) {
    return flock(descriptor, LOCK_EX) == 0;
}

void UnlockWholeFile(int descriptor) {
    flock(descriptor, LOCK_UN);
}

// Without O_NONBLOCK a FIFO would hold the open until another process opened its other end;
// a regular file does not care.
int OpenFile(const std::filesystem::path& path, int flags) {
    return open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0644);
}

bool StatusOf(int descriptor, FileStatus& status) {
    return fstat(descriptor, &status) == 0;
}

bool StatusOf(const std::filesystem::path& path, FileStatus& status) {
    return stat(path.c_str(), &status) == 0;
}

bool IsRegular(const FileStatus& status) {
    return S_ISREG(status.st_mode);
}

// By its permissions, which the owner can change, not by who may bypass them.
bool MayBeWritten(const FileStatus& status) {
    return (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

bool CutTo(int descriptor, long long length) {
    return ftruncate(descriptor, length) == 0;
}

bool StillNamedBy(int descriptor, const std::filesystem::path& path) {
    FileStatus opened{};
    FileStatus named{};
    return StatusOf(descriptor, opened) && StatusOf(path, named) && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}
#endif

// What makes a file that could not be opened, or was, unusable.
LockedFile::Problem ProblemOf(const FileStatus& status, LockedFile::Mode mode) {
    if (!IsRegular(status)) {
        return LockedFile::Problem::NotRegular;
    }
    if (mode == LockedFile::Mode::UpdateExisting && !MayBeWritten(status)) {
        return LockedFile::Problem::ReadOnly;
    }
    return LockedFile::Problem::None;
}

}  // namespace

std::optional<LockedFile> LockedFile::Open(const std::filesystem::path& path, Mode mode,
                                           Problem& problem) {
    // Opened for writing also where only the lock needs it: NFS and CIFS grant an exclusive
    // lock through no other descriptor.
    const int flags = mode == Mode::UpdateExisting ? O_RDWR : O_WRONLY | O_APPEND | O_CREAT;
    for (;;) {
        const int descriptor = OpenFile(path, flags);
        FileStatus status{};
        if (descriptor < 0) {
            const bool known = StatusOf(path, status);
            problem = known ? ProblemOf(status, mode) : Problem::None;
            if (problem == Problem::None) {
                problem = Problem::CannotOpen;
            }
            return std::nullopt;
        }
        LockedFile file(descriptor);
        problem = StatusOf(descriptor, status) ? ProblemOf(status, mode) : Problem::CannotOpen;
        if (problem != Problem::None) {
            return std::nullopt;
        }
        if (mode == Mode::AppendOrCreate) {
            return file;
        }
        if (!LockWholeFile(descriptor)) {
            problem = Problem::CannotOpen;
            return std::nullopt;
        }
        if (StillNamedBy(descriptor, path)) {
            return file;
        }
    }
}

LockedFile::LockedFile(LockedFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)),
      replacement_(std::move(other.replacement_)) {}

LockedFile& LockedFile::operator=(LockedFile&& other) noexcept {
    std::swap(descriptor_, other.descriptor_);
    std::swap(replacement_, other.replacement_);
    return *this;
}

LockedFile::~LockedFile() {
    if (descriptor_ >= 0) {
        close(descriptor_);  // releases the lock
    }
}

std::optional<std::string> LockedFile::ReadAll(std::size_t limit) {
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
        if (text.size() > limit) {
            return std::nullopt;
        }
    }
}

bool LockedFile::WriteWhole(std::string_view text) {
    const auto written = write(descriptor_, text.data(), static_cast<unsigned>(text.size()));
    return written >= 0 && static_cast<std::size_t>(written) == text.size();
}

bool LockedFile::Append(std::string_view header, std::string_view text) {
    if (!LockWholeFile(descriptor_)) {
        return false;
    }
    FileStatus status{};
    bool appended = StatusOf(descriptor_, status);
    if (appended) {
        const std::string whole =
            std::string(status.st_size == 0 ? header : std::string_view()) + std::string(text);
        appended = WriteWhole(whole);
        if (!appended) {
            CutTo(descriptor_, status.st_size);
        }
    }
    UnlockWholeFile(descriptor_);
    return appended;
}

#if defined(_WIN32)
// Windows replaces no file that is open, and the lock keeps this one open: the text is
// written in place through this handle. So that the write cannot fail for room, the file is
// first made as long as the text with blanks at its end, which the serial number file's
// reader passes over.
bool LockedFile::PrepareReplacement(const std::filesystem::path& /*path*/, std::string_view text) {
    const long long length = _filelengthi64(descriptor_);
    const auto room = static_cast<long long>(text.size());
    if (length < 0 ||
        (length < room && (_lseeki64(descriptor_, 0, SEEK_END) < 0 ||
                           !WriteWhole(std::string(static_cast<std::size_t>(room - length), ' ')) ||
                           _commit(descriptor_) != 0))) {
        return false;
    }
    replacement_ = text;
    return true;
}

bool LockedFile::CommitReplacement() {
    return _lseeki64(descriptor_, 0, SEEK_SET) == 0 && WriteWhole(replacement_) &&
           CutTo(descriptor_, static_cast<long long>(replacement_.size())) &&
           _commit(descriptor_) == 0;
}
#else
// Renamed over the old file: a process waiting for the lock then opens the new one.
bool LockedFile::PrepareReplacement(const std::filesystem::path& path, std::string_view text) {
    replacement_ = FileReplacement::Prepare(path, text);
    return replacement_.has_value();
}

bool LockedFile::CommitReplacement() {
    return replacement_ && replacement_->Commit();
}
#endif

}  // namespace vek::cli
