// The system's notification of changes to one file (inotify on Linux, ReadDirectoryChangesW on
// Windows), and the person's Ctrl+C while a program waits for them.
#pragma once

#include <filesystem>
#include <memory>

namespace vek {

class FileChanges {
  public:
    enum class Event { Changed, TimedOut, Interrupted, Failed };

    // Watches the folder that holds the file, so that a file replaced by a new one (as many
    // linkers write theirs) is followed; nullptr when the folder cannot be watched. From then
    // on Ctrl+C no longer ends the program: it ends the next wait, or the one running.
    static std::unique_ptr<FileChanges> Watch(const std::filesystem::path& file);

    virtual ~FileChanges() = default;
    // Waits for the file to be written, created, replaced or removed, up to timeoutMs (a
    // negative one waits without end). A Ctrl+C that came before the wait ends it at once.
    virtual Event Wait(int timeoutMs) = 0;
};

}  // namespace vek
