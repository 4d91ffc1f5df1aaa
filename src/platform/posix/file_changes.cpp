// inotify on the file's folder, and Ctrl+C through a pipe that the signal handler writes.
#include "platform/file_changes.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <string>

namespace vek {

namespace {

// The handler may do no more than write a byte; the pipe lives as long as the process.
int interruptPipe[2] = {-1, -1};

void OnInterrupt(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(interruptPipe[1], &byte, 1);
}

bool CatchInterrupts() {
    if (interruptPipe[0] < 0 && pipe2(interruptPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(SIGINT, &action, nullptr) == 0;
}

class InotifyChanges final : public FileChanges {
  public:
    InotifyChanges(int inotify, std::string name) : inotify_(inotify), name_(std::move(name)) {}
    ~InotifyChanges() override { close(inotify_); }

    Event Wait(int timeoutMs) override {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            int left = -1;
            if (timeoutMs >= 0) {
                left = static_cast<int>(std::max<long long>(
                    0,
                    std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count()));
            }
            pollfd waits[2] = {{interruptPipe[0], POLLIN, 0}, {inotify_, POLLIN, 0}};
            if (poll(waits, 2, left) < 0 && errno != EINTR) {
                return Event::Failed;
            }
            if (waits[0].revents != 0) {
                return Event::Interrupted;
            }
            if (waits[1].revents != 0 && TakeEvents()) {
                return Event::Changed;
            }
            if (timeoutMs >= 0 && Clock::now() >= deadline) {
                return Event::TimedOut;
            }
        }
    }

  private:
    // Reads what has come; true when any of it is about the file (or events were lost).
    bool TakeEvents() {
        alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
        bool aboutFile = false;
        for (;;) {
            const ssize_t length = read(inotify_, buffer, sizeof buffer);
            if (length <= 0) {
                return aboutFile;
            }
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                aboutFile = aboutFile || (event->mask & IN_Q_OVERFLOW) != 0 ||
                            (event->len > 0 && name_ == event->name);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

    int inotify_;
    std::string name_;
};

}  // namespace

std::unique_ptr<FileChanges> FileChanges::Watch(const std::filesystem::path& file) {
    const std::filesystem::path folder =
        file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const int inotify = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (inotify < 0) {
        return nullptr;
    }
    constexpr std::uint32_t CHANGES =
        IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE;
    if (inotify_add_watch(inotify, folder.c_str(), CHANGES) < 0 || !CatchInterrupts()) {
        close(inotify);
        return nullptr;
    }
    return std::make_unique<InotifyChanges>(inotify, file.filename().string());
}

}  // namespace vek
