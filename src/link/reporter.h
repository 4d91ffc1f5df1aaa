// The one way the core reaches the person: the window and the command line each implement it,
// tests record it.
#pragma once

#include <string>

namespace vek {

enum class MessageIcon { None, Exclamation };

class Reporter {
  public:
    virtual ~Reporter() = default;

    // A modal message with only an OK button; returns when the person has closed it.
    virtual void ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::None) = 0;
    // A modal question with Yes and No, No the default; true when the person chose Yes.
    virtual bool AskYesNo(const std::string& question) = 0;
    // Position of the progress bar, 0 to 100.
    virtual void SetProgress(int percent) = 0;
    // A wait the programmer needs.
    virtual void Pause(int milliseconds) = 0;
    // A pause that only gives the person time to take a warning in; a protocol wait it is
    // not, so a reporter without a person watching may return at once.
    virtual void PauseAfterWarning(int milliseconds) { Pause(milliseconds); }

    // What only a window shows; a reporter without one has nothing to do for them.
    // Lets the window handle what is pending (repaints, the timer, clicks) without waiting.
    virtual void PumpOneEvent() {}
    // Wait requests nest; the wait cursor shows while any is raised.
    virtual void BeginWaitCursor() {}
    virtual void EndWaitCursor() {}
    // A device operation starts or ends: meanwhile nothing may change what it works from
    // (the target, the HEX file, the configuration words).
    virtual void SetOperationRunning(bool /*running*/) {}
    // The target's ID as just read; shown at once, since a warning about it may follow.
    virtual void ShowTargetId(int /*id*/) {}
};

// Raises the wait cursor for one scope.
class WaitCursor {
  public:
    explicit WaitCursor(Reporter& reporter) : reporter_(reporter) { reporter_.BeginWaitCursor(); }
    ~WaitCursor() { reporter_.EndWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    Reporter& reporter_;
};

}  // namespace vek
