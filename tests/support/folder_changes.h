// Counts what the kernel reports changed in one folder (files created, written, renamed,
// removed, their attributes), to prove that something left the disk alone.
#pragma once

#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>

namespace vek::test {

class FolderChanges {
  public:
    explicit FolderChanges(const std::filesystem::path& folder)
        : descriptor_(inotify_init1(IN_NONBLOCK)) {
        constexpr uint32_t CHANGES = IN_CREATE | IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE |
                                     IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE;
        watching_ =
            descriptor_ >= 0 && inotify_add_watch(descriptor_, folder.c_str(), CHANGES) >= 0;
    }
    ~FolderChanges() {
        if (descriptor_ >= 0) {
            close(descriptor_);
        }
    }
    FolderChanges(const FolderChanges&) = delete;
    FolderChanges& operator=(const FolderChanges&) = delete;

    bool Watching() const { return watching_; }

    // The changes since the last call.
    int Take() {
        int count = 0;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t length; (length = read(descriptor_, buffer, sizeof buffer)) > 0;) {
            for (const char* at = buffer; at < buffer + length; ++count) {
                at += sizeof(inotify_event) + reinterpret_cast<const inotify_event*>(at)->len;
            }
        }
        return count;
    }

  private:
    int descriptor_;
    bool watching_ = false;
};

}  // namespace vek::test
