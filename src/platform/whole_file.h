// Files read and replaced whole.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace vek {

// The file's bytes: empty for a file that does not exist, nothing for one that exists but
// cannot be read (a folder, no permission).
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

// Replaces the file with text through a temporary file in the same folder, forced to disk and
// renamed over it, so that a crash leaves the old file or the new one and never a part. A
// symbolic link stays and the file it names is replaced; missing folders are created. False,
// with the old file kept and no temporary file left, when a step fails. A temporary file that
// a crashed writer left is removed by a later write once it is a minute old. On Windows the
// write fails, keeping the old file, while another program holds it open.
bool ReplaceWholeFile(const std::filesystem::path& path, std::string_view text);

// ReplaceWholeFile in two steps, for a file whose new text must be known to fit before the
// work it records is done: Prepare writes the temporary file and forces it to disk, Commit
// renames it over the file. A replacement that is never committed is removed.
class FileReplacement {
  public:
    static std::optional<FileReplacement> Prepare(const std::filesystem::path& path,
                                                  std::string_view text);
    bool Commit();

    FileReplacement(FileReplacement&& other) noexcept;
    FileReplacement& operator=(FileReplacement&& other) noexcept;
    FileReplacement(const FileReplacement&) = delete;
    ~FileReplacement();

  private:
    FileReplacement(std::filesystem::path target, std::filesystem::path temporary)
        : target_(std::move(target)), temporary_(std::move(temporary)) {}

    std::filesystem::path target_;
    std::filesystem::path temporary_;  // empty once committed or moved from
};

}  // namespace vek
