// Watches one folder for changes (files created, written, renamed, removed, their
// attributes), to prove that something left the disk alone.
#pragma once

#include <filesystem>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace vek::test {

#if defined(_WIN32)

class FolderChanges {
  public:
    explicit FolderChanges(const std::filesystem::path& folder)
        : handle_(FindFirstChangeNotificationW(
              folder.c_str(), FALSE,
              FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_ATTRIBUTES |
                  FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE)) {}
    ~FolderChanges() {
        if (Watching()) {
            FindCloseChangeNotification(handle_);
        }
    }
    FolderChanges(const FolderChanges&) = delete;
    FolderChanges& operator=(const FolderChanges&) = delete;

    bool Watching() const { return handle_ != INVALID_HANDLE_VALUE; }

    // Whether anything changed since the last call, 0 or 1: Windows counts no changes. The
    // report arrives a moment after the change, so a first one is waited for a little.
    int Take() {
        constexpr DWORD WAIT_MS = 500;
        if (WaitForSingleObject(handle_, WAIT_MS) != WAIT_OBJECT_0) {
            return 0;
        }
        while (FindNextChangeNotification(handle_) &&
               WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0) {
        }
        return 1;
    }

  private:
    HANDLE handle_;
};

#else

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

#endif

}  // namespace vek::test
