#include "cli/terminal_ui.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace vek::cli {

namespace {

constexpr int BAR_BLOCKS = 40;

}  // namespace

TerminalUserInterface::TerminalUserInterface(std::FILE* messages, int deviceRow, bool quiet,
                                             ProgressStyle progress)
    : messages_(messages),
      deviceRow_(deviceRow),
      quiet_(quiet),
      // A bar drawn into a file or a pipe would only fill it with carriage returns.
      progressBar_(!quiet && progress == ProgressStyle::Automatic && isatty(fileno(messages)) == 1),
      progressLines_(!quiet && progress == ProgressStyle::Plain) {}

void TerminalUserInterface::ShowMessage(const std::string& text, MessageIcon) {
    messagesOfRun_.push_back(text);
    if (quiet_) {
        held_.push_back(text);
        return;
    }
    EndProgressLine();
    std::fprintf(messages_, "%s\n", text.c_str());
    std::fflush(messages_);
}

void TerminalUserInterface::ReportHeldMessages() {
    for (const std::string& text : held_) {
        std::fprintf(messages_, "%s\n", text.c_str());
    }
    held_.clear();
    std::fflush(messages_);
}

void TerminalUserInterface::WriteProgressLines(int percent) {
    for (const int reached = std::clamp(percent, 0, 100) / 10; tenthsWritten_ < reached;) {
        ++tenthsWritten_;
        std::fprintf(messages_, "%s %d%%\n", progressLabel_.c_str(), tenthsWritten_ * 10);
    }
    std::fflush(messages_);
}

void TerminalUserInterface::SetProgress(int percent) {
    if (progressLines_) {
        WriteProgressLines(percent);
    }
    // Redrawn only when it moves: a terminal on a slow line would fall behind.
    if (progressBar_ && !(progressShown_ && percent == shownPercent_)) {
        DrawProgress(percent);
    }
}

void TerminalUserInterface::DrawProgress(int percent) {
    percent = std::clamp(percent, 0, 100);
    const int filled = percent * BAR_BLOCKS / 100;
    const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(BAR_BLOCKS - filled), '.');
    std::fprintf(messages_, "\r%s [%s] %3d%%", progressLabel_.c_str(), bar.c_str(), percent);
    std::fflush(messages_);
    progressShown_ = true;
    shownPercent_ = percent;
}

void TerminalUserInterface::FinishProgress(bool completed) {
    if (progressShown_ && completed) {
        DrawProgress(100);
    }
    // The lines start again with the next operation's label.
    if (progressLines_ && completed && tenthsWritten_ > 0) {
        WriteProgressLines(100);
    }
    tenthsWritten_ = 0;
    EndProgressLine();
}

void TerminalUserInterface::EndProgressLine() {
    if (progressShown_) {
        std::fputc('\n', messages_);
        progressShown_ = false;
    }
}

void TerminalUserInterface::Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace vek::cli
