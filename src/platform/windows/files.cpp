// Files on Windows: wide names, so that a name with any characters opens, and the system's own
// locks and moves.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>

#include "platform/file_primitives.h"
#include "platform/files.h"
#include "platform/locked_file.h"
#include "platform/utf8_path.h"

namespace vek {

namespace fs = std::filesystem;

std::FILE* OpenForReading(const fs::path& path) {
    return _wfopen(path.c_str(), L"rb");
}

bool AccessRefused(const char* path) {
    constexpr int READ_AND_WRITE = 6;
    return _waccess(PathFromUtf8(path).c_str(), READ_AND_WRITE) != 0 && errno == EACCES;
}

namespace native {

std::FILE* CreateNewFile(const fs::path& path) {
    // Not every C runtime of Windows knows fopen's "x"; _O_EXCL is the same.
    const int descriptor =
        _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (descriptor < 0) {
        return nullptr;
    }
    std::FILE* file = _fdopen(descriptor, "wb");
    if (file == nullptr) {
        _close(descriptor);
    }
    return file;
}

bool SyncToDisk(std::FILE* file) {
    return _commit(_fileno(file)) == 0;
}

// Fails while another program holds the target open without letting it be deleted; the old
// file then stays.
bool MoveOver(const fs::path& temporary, const fs::path& target) {
    // Write-through: done only once the move is on disk, as the folder's sync does elsewhere.
    return MoveFileExW(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// The write-through move is durable already, and a folder cannot be synchronised here.
void SyncFolder(const fs::path& /*folder*/) {}

int OpenDescriptor(const fs::path& path, Access access) {
    const int flags = access == Access::ReadWrite ? _O_RDWR : _O_WRONLY | _O_APPEND | _O_CREAT;
    return _wopen(path.c_str(), flags | _O_BINARY, _S_IREAD | _S_IWRITE);
}

void CloseDescriptor(int descriptor) {
    _close(descriptor);
}

namespace {

HANDLE Handle(int descriptor) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
}

FileFacts FactsOf(const struct _stat64& status) {
    return {.regular = (status.st_mode & _S_IFMT) == _S_IFREG,
            .mayBeWritten = (status.st_mode & _S_IWRITE) != 0,
            .size = static_cast<long long>(status.st_size)};
}

}  // namespace

std::optional<FileFacts> FactsOf(int descriptor) {
    struct _stat64 status {};
    return _fstat64(descriptor, &status) == 0 ? std::optional(FactsOf(status)) : std::nullopt;
}

std::optional<FileFacts> FactsOf(const fs::path& path) {
    struct _stat64 status {};
    return _wstat64(path.c_str(), &status) == 0 ? std::optional(FactsOf(status)) : std::nullopt;
}

// An open file cannot be replaced there.
bool StillNamedBy(int /*descriptor*/, const fs::path& /*path*/) {
    return true;
}

bool LockWhole(int descriptor) {
    OVERLAPPED whole{};
    return LockFileEx(Handle(descriptor), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) !=
           0;
}

void UnlockWhole(int descriptor) {
    OVERLAPPED whole{};
    UnlockFileEx(Handle(descriptor), 0, MAXDWORD, MAXDWORD, &whole);
}

long long ReadSome(int descriptor, char* buffer, std::size_t size) {
    return _read(descriptor, buffer, static_cast<unsigned>(size));
}

bool WriteWhole(int descriptor, std::string_view text) {
    const int written = _write(descriptor, text.data(), static_cast<unsigned>(text.size()));
    return written >= 0 && static_cast<std::size_t>(written) == text.size();
}

bool CutTo(int descriptor, long long length) {
    return _chsize_s(descriptor, length) == 0;
}

}  // namespace native

// Windows replaces no file that is open, and the lock keeps this one open: the text is
// written in place through this handle. So that the write cannot fail for room, the file is
// first made as long as the text with blanks at its end, which the serial number file's
// reader passes over.
bool LockedFile::PrepareReplacement(const fs::path& /*path*/, std::string_view text) {
    const long long length = _filelengthi64(descriptor_);
    const auto room = static_cast<long long>(text.size());
    if (length < 0 ||
        (length < room &&
         (_lseeki64(descriptor_, 0, SEEK_END) < 0 ||
          !native::WriteWhole(descriptor_,
                              std::string(static_cast<std::size_t>(room - length), ' ')) ||
          _commit(descriptor_) != 0))) {
        return false;
    }
    inPlace_ = text;
    return true;
}

bool LockedFile::CommitReplacement() {
    return _lseeki64(descriptor_, 0, SEEK_SET) == 0 && native::WriteWhole(descriptor_, inPlace_) &&
           native::CutTo(descriptor_, static_cast<long long>(inPlace_.size())) &&
           _commit(descriptor_) == 0;
}

}  // namespace vek
