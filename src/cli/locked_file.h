// A file held under an exclusive lock, so that processes sharing it take turns: the serial
// number file and the run log.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vek::cli {

class LockedFile {
  public:
    enum class Mode { UpdateExisting, AppendOrCreate };

    // Waits for the lock. A file replaced by rename while this process waited is opened
    // again, so the lock always holds the file the path names now.
    static std::optional<LockedFile> Open(const std::filesystem::path& path, Mode mode);

    LockedFile(LockedFile&& other) noexcept;
    LockedFile& operator=(LockedFile&& other) noexcept;
    LockedFile(const LockedFile&) = delete;
    ~LockedFile();

    // The whole file, or nothing when it cannot be read.
    std::optional<std::string> ReadAll();
    bool IsEmpty() const;
    // One write, so that nothing another process appends lands inside it.
    bool Append(std::string_view text);
    // The file at `path`, which this one is, replaced by `text` whole before the lock goes.
    bool Replace(const std::filesystem::path& path, std::string_view text);

  private:
    explicit LockedFile(int descriptor) : descriptor_(descriptor) {}

    int descriptor_ = -1;
};

}  // namespace vek::cli
