// The programmer board as every command shares it: the link to it, which board it is, and the
// flags that say who may use it.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/programmer_link.h"
#include "link/reporter.h"

namespace vek {

// Passes everything on to the person's reporter. While an operation runs it also keeps the
// messages shown and the target's ID, which make the operation's result.
class ReportKeeper final : public Reporter {
  public:
    struct Kept {
        std::vector<std::string> messages;
        std::optional<int> targetId;
    };

    explicit ReportKeeper(Reporter& person) : person_(person) {}

    // Keeps from now on, afresh.
    void Keep() {
        kept_ = {};
        keeping_ = true;
    }
    // What was kept, and stops keeping.
    Kept Take() {
        keeping_ = false;
        return std::exchange(kept_, {});
    }

    void ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::None) override {
        if (keeping_) {
            kept_.messages.push_back(text);
        }
        person_.ShowMessage(text, icon);
    }
    void ShowTargetId(int id) override {
        if (keeping_) {
            kept_.targetId = id;
        }
        person_.ShowTargetId(id);
    }
    bool AskYesNo(const std::string& question) override { return person_.AskYesNo(question); }
    void SetProgress(int percent) override { person_.SetProgress(percent); }
    void Pause(int milliseconds) override { person_.Pause(milliseconds); }
    void PauseAfterWarning(int milliseconds) override { person_.PauseAfterWarning(milliseconds); }
    void PumpOneEvent() override { person_.PumpOneEvent(); }
    void BeginWaitCursor() override { person_.BeginWaitCursor(); }
    void EndWaitCursor() override { person_.EndWaitCursor(); }
    void SetOperationRunning(bool running) override { person_.SetOperationRunning(running); }

  private:
    Reporter& person_;
    Kept kept_;
    bool keeping_ = false;
};

struct Programmer {
    explicit Programmer(Reporter& person, const UsbSetup& usb = {})
        : reporter(person), link(reporter, usb) {}
    Programmer(const Programmer&) = delete;
    Programmer& operator=(const Programmer&) = delete;

    // Everything the link and the commands tell the person goes through it.
    ReportKeeper reporter;
    ProgrammerLink link;

    // The USB serial number of the board to open; empty: the first with the description.
    std::string BoardSerial;

    bool Connected = false;     // the link's channel holds the open programmer
    bool LinkInUse = false;     // someone is exchanging bytes with the programmer
    bool PowerAllowed = false;  // the programmer last confirmed that target power is allowed
    bool BusyFlag = false;      // a device operation runs
};

}  // namespace vek
