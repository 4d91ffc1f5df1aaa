#include "cli/terminal_ui.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "cli/cli_texts.h"
#include "platform/console.h"

namespace vek::cli {

namespace {

constexpr int BAR_BLOCKS = 40;
// " [" and "] 100%" beside the label and the blocks, and the last column, where some terminals
// wrap.
constexpr int BAR_FRAME = 2 + 2 + 4 + 1;

void AppendHexEscape(std::string& text, unsigned char byte) {
    constexpr char DIGITS[] = "0123456789ABCDEF";
    text += "\\x";
    text += DIGITS[byte >> 4];
    text += DIGITS[byte & 0x0F];
}

}  // namespace

std::string Escaped(std::string_view text) {
    constexpr unsigned char UTF8_C1_LEAD = 0xC2;
    std::string escaped;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (byte == UTF8_C1_LEAD && next >= 0x80 && next <= 0x9F) {
            AppendHexEscape(escaped, byte);
            AppendHexEscape(escaped, next);
            ++i;
        } else if (byte < 0x20 || byte == 0x7F) {
            AppendHexEscape(escaped, byte);
        } else if (byte == '\\') {
            escaped += "\\\\";
        } else {
            escaped += static_cast<char>(byte);
        }
    }
    return escaped;
}

TerminalReporter::TerminalReporter(std::FILE* messages, bool quiet, ProgressStyle progress,
                                   UsbDriverChoice driver)
    : messages_(messages),
      quiet_(quiet),
      driver_(driver),
      // A bar drawn into a file or a pipe would only fill it with carriage returns.
      progressBar_(!quiet && progress == ProgressStyle::Automatic && IsTerminal(messages)),
      progressLines_(!quiet && progress == ProgressStyle::Plain) {}

void TerminalReporter::ShowMessage(const std::string& windowText, MessageIcon) {
    const std::string text = InCliWords(windowText, driver_);
    messagesOfRun_.push_back(text);
    if (quiet_) {
        held_.push_back(text);
    } else if (!progressLabel_.empty()) {
        duringProgress_.push_back(text);
    } else {
        Print(text);
    }
}

void TerminalReporter::Print(const std::string& text) {
    std::fprintf(messages_, "%s\n", text.c_str());
    std::fflush(messages_);
}

void TerminalReporter::ReportHeldMessages() {
    for (const std::string& text : held_) {
        std::fprintf(messages_, "%s\n", text.c_str());
    }
    held_.clear();
    std::fflush(messages_);
}

void TerminalReporter::WriteProgressLines(int percent) {
    for (const int reached = std::clamp(percent, 0, 100) / 10; tenthsWritten_ < reached;) {
        ++tenthsWritten_;
        std::fprintf(messages_, "%s %d%%\n", progressLabel_.c_str(), tenthsWritten_ * 10);
    }
    std::fflush(messages_);
}

void TerminalReporter::SetProgress(int percent) {
    if (progressLabel_.empty()) {
        return;
    }
    if (progressLines_) {
        WriteProgressLines(percent);
    }
    // Redrawn only when it moves: a terminal on a slow line would fall behind.
    if (progressBar_ && !(progressShown_ && percent == shownPercent_)) {
        DrawProgress(percent);
    }
}

// The bar fits the terminal's width, which may change while it runs: a line that wrapped
// could no longer be drawn over in place.
void TerminalReporter::DrawProgress(int percent) {
    percent = std::clamp(percent, 0, 100);
    const int columns = TerminalColumns(messages_);
    const int room = columns - BAR_FRAME - static_cast<int>(progressLabel_.size());
    const int blocks = columns == 0 ? BAR_BLOCKS : std::min(BAR_BLOCKS, room);
    if (blocks < 1) {
        std::fprintf(messages_, "\r%3d%%", percent);
    } else {
        const int filled = percent * blocks / 100;
        const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                                std::string(static_cast<std::size_t>(blocks - filled), '.');
        std::fprintf(messages_, "\r%s [%s] %3d%%", progressLabel_.c_str(), bar.c_str(), percent);
    }
    std::fflush(messages_);
    progressShown_ = true;
    shownPercent_ = percent;
}

void TerminalReporter::FinishProgress(bool completed) {
    if (progressShown_ && completed) {
        DrawProgress(100);
    }
    // The lines start again with the next operation's label.
    if (progressLines_ && completed && tenthsWritten_ > 0) {
        WriteProgressLines(100);
    }
    tenthsWritten_ = 0;
    EndProgressLine();
    progressLabel_.clear();
    for (const std::string& text : duringProgress_) {
        Print(text);
    }
    duringProgress_.clear();
}

void TerminalReporter::EndProgressLine() {
    if (progressShown_) {
        std::fputc('\n', messages_);
        progressShown_ = false;
    }
}

void TerminalReporter::Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace vek::cli
