// A HEX file pinned by its SHA-256, as a production job pins its firmware: what is said when
// the file is another.
#pragma once

#include <string>

namespace vek {

// Why the HEX file is not the one the job pins: the file's SHA-256 (empty: it cannot be read)
// and the job's, both named.
std::string NotTheJobsFile(const std::string& hexFile, const std::string& hash,
                           const std::string& jobFile, const std::string& pinned);

}  // namespace vek
