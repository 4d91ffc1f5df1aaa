#include "session/pinned_file.h"

namespace vek {

std::string NotTheJobsFile(const std::string& hexFile, const std::string& hash,
                           const std::string& jobFile, const std::string& pinned) {
    return "Error: " + hexFile + " has the SHA-256 " + (hash.empty() ? "of no file" : hash) +
           ", but the job " + jobFile + " programs the one with " + pinned + ".";
}

}  // namespace vek
