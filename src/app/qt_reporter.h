// The core's way to the person, on the Qt main window.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "link/reporter.h"

class QMessageBox;
class QWidget;

namespace vek {

// What the reporter shows on the window besides its message boxes and the wait cursor.
struct WindowHooks {
    std::function<void(int percent)> setProgress;
    std::function<void(bool running)> setOperationRunning;
    std::function<void(int id)> showTargetId;
};

// Blocks the thread for the given time; tests put a recorder in its place.
using PauseFunction = std::function<void(int milliseconds)>;
void SleepPause(int milliseconds);

class QtReporter : public Reporter {
  public:
    // window: the message boxes' parent; it may be created after this object.
    QtReporter(QWidget* window, WindowHooks hooks, PauseFunction pause);
    ~QtReporter() override;

    // While set, messages go here instead of into boxes, and questions are answered with
    // `answer` (the job's consent) unasked: the production window shows each chip's result
    // itself, and a box per chip would stop the line.
    void DivertMessages(std::function<void(const std::string&)> to, bool answer = false) {
        divertTo_ = std::move(to);
        divertedAnswer_ = answer;
    }

    // While held, messages wait and are shown in boxes once released, and questions are
    // answered with `answer` (the job's consent) unasked: no box may stay open while a job's
    // counter file is locked, for another station may be waiting for it.
    void HoldMessages(bool answer) {
        holding_ = true;
        heldAnswer_ = answer;
    }
    void ReleaseMessages();

    void ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::None) override;
    bool AskYesNo(const std::string& question) override;
    void SetProgress(int percent) override;
    void Pause(int milliseconds) override;
    void PauseAfterWarning(int milliseconds) override;
    void PumpOneEvent() override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void SetOperationRunning(bool running) override;
    void ShowTargetId(int id) override;

  private:
    // The wait cursor shows while a wait is requested and no message box is open.
    void UpdateWaitCursor();
    int ExecMessageBox(QMessageBox& box);

    QWidget* window_;
    WindowHooks hooks_;
    PauseFunction pause_;
    std::function<void(const std::string&)> divertTo_;
    bool divertedAnswer_ = false;
    bool holding_ = false;
    bool heldAnswer_ = false;
    std::vector<std::pair<std::string, MessageIcon>> held_;
    int waitRequests_ = 0;
    int openMessageBoxes_ = 0;
    bool waitCursorShown_ = false;
};

}  // namespace vek
