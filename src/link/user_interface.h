// The one way the core reaches the person: the Qt window implements it, tests record it.
#pragma once

#include <string>
#include <vector>

namespace vek {

enum class MessageIcon { None, Exclamation };

// The texts of the main window's fields, exchanged with the controls on demand.
struct FieldTexts {
    std::string HexFileText = "Click here to select a hex file";
    std::string FuseText = "FFF";
    std::string FuseXText = "FFF";
    std::string DevWordText = "0000";

    bool operator==(const FieldTexts&) const = default;
};

class UserInterface {
  public:
    virtual ~UserInterface() = default;

    // A modal message with only an OK button; returns when the person has closed it.
    virtual void ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::None) = 0;
    // A modal question with Yes and No, No the default; true when the person chose Yes.
    virtual bool AskYesNo(const std::string& question) = 0;
    // Position of the progress bar, 0 to 100.
    virtual void SetProgress(int percent) = 0;
    // Lets the window handle what is pending (repaints, the timer, clicks) without waiting.
    virtual void PumpOneEvent() = 0;
    // Wait requests nest; the wait cursor shows while any is raised.
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
    virtual void Pause(int milliseconds) = 0;
    // A pause that only gives the person time to take a warning in; a protocol wait it is
    // not, so an interface without a person watching may return at once.
    virtual void PauseAfterWarning(int milliseconds) { Pause(milliseconds); }
    // The current texts of the window's fields, and showing new ones (with a repaint).
    virtual FieldTexts TakeFieldTexts() = 0;
    virtual void ShowFieldTexts(const FieldTexts& texts) = 0;
    // Selected row of the Device list, or -1 when nothing is selected.
    virtual int SelectedDeviceRow() = 0;
    // A device operation starts or ends: meanwhile nothing may change what it works from
    // (the target, the HEX file, the configuration words).
    virtual void SetOperationRunning(bool running) = 0;
    // The open configuration editors re-read the shared configuration texts.
    virtual void RefreshConfigEditors() = 0;
    // The Hex Data window: emptied, or created empty when there is none.
    virtual void PrepareHexDataWindow() = 0;
    // Replaces what the Hex Data window lists, creating it when there is none.
    virtual void ShowHexDataLines(const std::vector<std::string>& lines) = 0;
    // Empties the Hex Data window when there is one.
    virtual void EmptyHexDataWindow() = 0;
};

// Raises the wait cursor for one scope.
class WaitCursor {
  public:
    explicit WaitCursor(UserInterface& ui) : ui_(ui) { ui_.BeginWaitCursor(); }
    ~WaitCursor() { ui_.EndWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    UserInterface& ui_;
};

}  // namespace vek
