// Files read and replaced whole.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

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

}  // namespace vek
