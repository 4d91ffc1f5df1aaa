// ReadDirectoryChangesW on the file's folder, and Ctrl+C through an event that the console's
// control handler sets.
#include "platform/file_changes.h"

#include <windows.h>

#include <string>

namespace vek {

namespace {

// The handler runs on a thread of its own; the event lives as long as the process.
HANDLE interruptEvent = nullptr;

BOOL WINAPI OnControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    SetEvent(interruptEvent);
    return TRUE;
}

bool CatchInterrupts() {
    if (interruptEvent == nullptr) {
        interruptEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    return interruptEvent != nullptr && SetConsoleCtrlHandler(OnControl, TRUE);
}

class DirectoryChanges final : public FileChanges {
  public:
    DirectoryChanges(HANDLE folder, HANDLE done, std::wstring name)
        : folder_(folder), name_(std::move(name)) {
        overlapped_.hEvent = done;
    }
    ~DirectoryChanges() override {
        CancelIo(folder_);
        CloseHandle(folder_);
        CloseHandle(overlapped_.hEvent);
    }

    bool Ask() {
        ResetEvent(overlapped_.hEvent);
        constexpr DWORD CHANGES =
            FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;
        return ReadDirectoryChangesW(folder_, buffer_, sizeof buffer_, FALSE, CHANGES, nullptr,
                                     &overlapped_, nullptr) != 0;
    }

    Event Wait(int timeoutMs) override {
        const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
        for (;;) {
            DWORD left = INFINITE;
            if (timeoutMs >= 0) {
                const ULONGLONG now = GetTickCount64();
                left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
            }
            const HANDLE waits[2] = {interruptEvent, overlapped_.hEvent};
            const DWORD ready = WaitForMultipleObjects(2, waits, FALSE, left);
            if (ready == WAIT_OBJECT_0) {
                return Event::Interrupted;
            }
            if (ready == WAIT_TIMEOUT) {
                return Event::TimedOut;
            }
            DWORD length = 0;
            if (ready != WAIT_OBJECT_0 + 1 ||
                !GetOverlappedResult(folder_, &overlapped_, &length, FALSE)) {
                return Event::Failed;
            }
            const bool aboutFile = IsAboutFile(length);
            if (!Ask()) {
                return Event::Failed;
            }
            if (aboutFile) {
                return Event::Changed;
            }
            if (timeoutMs >= 0 && GetTickCount64() >= deadline) {
                return Event::TimedOut;
            }
        }
    }

  private:
    // An empty answer means the changes did not fit the buffer: the file may be among them.
    bool IsAboutFile(DWORD length) const {
        if (length == 0) {
            return true;
        }
        for (DWORD at = 0;;) {
            const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer_ + at);
            const int characters = static_cast<int>(change->FileNameLength / sizeof(WCHAR));
            if (CompareStringOrdinal(change->FileName, characters, name_.c_str(),
                                     static_cast<int>(name_.size()), TRUE) == CSTR_EQUAL) {
                return true;
            }
            if (change->NextEntryOffset == 0) {
                return false;
            }
            at += change->NextEntryOffset;
        }
    }

    HANDLE folder_;
    std::wstring name_;
    OVERLAPPED overlapped_ = {};
    alignas(DWORD) BYTE buffer_[16384];
};

}  // namespace

std::unique_ptr<FileChanges> FileChanges::Watch(const std::filesystem::path& file) {
    const std::filesystem::path folder =
        file.has_parent_path() ? file.parent_path() : std::filesystem::path(L".");
    const HANDLE handle = CreateFileW(
        folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    const HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (done == nullptr) {
        CloseHandle(handle);
        return nullptr;
    }
    auto changes = std::make_unique<DirectoryChanges>(handle, done, file.filename().wstring());
    if (!changes->Ask() || !CatchInterrupts()) {
        return nullptr;
    }
    return changes;
}

}  // namespace vek
