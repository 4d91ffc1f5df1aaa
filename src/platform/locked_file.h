// A file that processes share and take turns on through an exclusive lock: the serial number
// file, locked from reading it until the run ends, and the run log, locked for each append.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/whole_file.h"

namespace vek {

class LockedFile {
  public:
    enum class Mode { UpdateExisting, AppendOrCreate };
    // Why a file cannot be used.
    enum class Problem { None, CannotOpen, NotRegular, ReadOnly };

    // UpdateExisting: an existing regular file that may be written, locked until this object
    // goes; the lock is waited for, and a file replaced by rename meanwhile is opened again,
    // so that the lock always holds the file the path names now. AppendOrCreate: a regular
    // file, created when missing, locked by each Append. Neither waits for a FIFO's other end.
    static std::optional<LockedFile> Open(const std::filesystem::path& path, Mode mode,
                                          Problem& problem);

    LockedFile(LockedFile&& other) noexcept;
    LockedFile& operator=(LockedFile&& other) noexcept;
    LockedFile(const LockedFile&) = delete;
    ~LockedFile();

    // The whole file, or nothing when it cannot be read or holds more than `limit` bytes.
    std::optional<std::string> ReadAll(std::size_t limit);
    // Under the lock, in one write so that nothing another process appends lands inside it:
    // text at the file's end, with header before it when the file is empty. A write that
    // fails is cut off again, so the file stays as it was.
    bool Append(std::string_view header, std::string_view text);
    // Replacing the file at `path`, which this one is, by `text` in two steps: Prepare before
    // the work that the text records, so that only Commit remains after it. Each system's
    // files.cpp says how.
    bool PrepareReplacement(const std::filesystem::path& path, std::string_view text);
    bool CommitReplacement();

  private:
    explicit LockedFile(int descriptor) : descriptor_(descriptor) {}

    int descriptor_ = -1;
    // What PrepareReplacement leaves for CommitReplacement: where a file can be renamed over
    // one that is open, the new file written beside it; where it cannot, the text to write in
    // place.
    std::optional<FileReplacement> renamedOver_;
    std::string inPlace_;
};

}  // namespace vek
