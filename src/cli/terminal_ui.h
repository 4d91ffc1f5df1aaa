// The core's way to the person on a terminal: messages on stderr, and a progress bar there
// when it is a terminal.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "link/reporter.h"

namespace vek::cli {

// A text that came from a board, as a terminal may show it: a control character, which could
// move the cursor or colour what follows, as \xHH (also the C1 controls of UTF-8), and the
// backslash as \\ so that the escapes are the text's own.
std::string Escaped(std::string_view text);

class TerminalReporter : public Reporter {
  public:
    // quiet: messages are held back until ReportHeldMessages, and there is no progress.
    // driver: the choice of --driver, which the advice for a missing driver names.
    TerminalReporter(std::FILE* messages, bool quiet,
                     ProgressStyle progress = ProgressStyle::Automatic,
                     UsbDriverChoice driver = AUTO_USB_DRIVER);

    // What the progress bar is labelled with, for the operation about to run; only such an
    // operation shows its progress.
    void SetProgressLabel(std::string label) { progressLabel_ = std::move(label); }
    // Ends the progress bar's line, at 100 % when the operation succeeded, and then shows what
    // the operation said: its result comes after its last step.
    void FinishProgress(bool completed);
    // A quiet run that failed shows what the operation said after all.
    void ReportHeldMessages();
    // Every message of the run, shown or held, in order.
    const std::vector<std::string>& Messages() const { return messagesOfRun_; }
    // The next chip of a loop is a run of its own.
    void ForgetMessages() {
        messagesOfRun_.clear();
        held_.clear();
    }

    void ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::None) override;
    // Nobody is there to answer: the command line gave the answer beforehand.
    bool AskYesNo(const std::string&) override { return answerYes_; }
    void SetAnswerYes(bool yes) { answerYes_ = yes; }
    void SetProgress(int percent) override;
    void Pause(int milliseconds) override;
    // Nobody watches a script; the pause after the wrong-target warning would only hold it up.
    void PauseAfterWarning(int) override {}

  private:
    void Print(const std::string& text);
    void DrawProgress(int percent);
    void EndProgressLine();
    // "program 40%" for every tenth reached since the last line.
    void WriteProgressLines(int percent);

    std::FILE* messages_;
    bool quiet_;
    UsbDriverChoice driver_;
    bool progressBar_;
    bool progressLines_;
    int tenthsWritten_ = 0;
    bool progressShown_ = false;
    bool answerYes_ = false;
    int shownPercent_ = 0;
    std::string progressLabel_;
    std::vector<std::string> held_;
    std::vector<std::string> duringProgress_;  // shown once the progress has ended
    std::vector<std::string> messagesOfRun_;
};

}  // namespace vek::cli
