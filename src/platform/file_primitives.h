// The system calls beneath the whole and the locked files, in the system's own words: each
// system's files.cpp defines them. Only the files of this folder use them.
#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>

namespace vek::native {

// A new file, opened for binary writing; none when the file exists already.
std::FILE* CreateNewFile(const std::filesystem::path& path);
// The bytes the C library has handed on for the file (fflush), forced to the disk.
bool SyncToDisk(std::FILE* file);
// Puts the temporary file in the target's place in one step: a reader meets the old file or
// the new one. Done only once the move is on the disk, where the system can say so.
bool MoveOver(const std::filesystem::path& temporary, const std::filesystem::path& target);
// Makes a rename in the folder durable where folders can be synchronised; a failure only loses
// durability.
void SyncFolder(const std::filesystem::path& folder);

// What a locked file is opened for. A FIFO never holds the open until its other end comes.
enum class Access {
    ReadWrite,       // an existing file
    AppendOrCreate,  // writes at the end, the file created when missing
};
// A descriptor of the open file, or -1.
int OpenDescriptor(const std::filesystem::path& path, Access access);
void CloseDescriptor(int descriptor);  // also releases its lock

// What the checks of a locked file read from the system.
struct FileFacts {
    bool regular = false;
    bool mayBeWritten = false;  // by its permissions, which the owner can change
    long long size = 0;
};
std::optional<FileFacts> FactsOf(int descriptor);
std::optional<FileFacts> FactsOf(const std::filesystem::path& path);
// Whether the open file is still the one the path names, and not one renamed over it.
bool StillNamedBy(int descriptor, const std::filesystem::path& path);

// An exclusive lock on the whole file, waited for.
bool LockWhole(int descriptor);
void UnlockWhole(int descriptor);

// Bytes read into buffer: 0 at the end of the file, negative on a failure.
long long ReadSome(int descriptor, char* buffer, std::size_t size);
// The text in one write, so that nothing another process appends lands inside it.
bool WriteWhole(int descriptor, std::string_view text);
bool CutTo(int descriptor, long long length);

}  // namespace vek::native
