#include "session/connection.h"

#include "link/attached_boards.h"
#include "link/link_messages.h"
#include "link/protocol.h"
#include "link/web_addresses.h"

namespace vek {

namespace {

enum class OpenResult { Opened, NoDevice, OpenFailed };

// Any board the driver counts may be ours; the driver picks the one with our description, or
// the one with the chosen serial number.
OpenResult OpenProgrammer(Programmer& programmer) {
    ProgrammerLink& link = programmer.link;
    std::int32_t deviceCount = 0;
    if (link.CountBoards(PROGRAMMER_DESCRIPTION, deviceCount) != UsbStatus::Ok || deviceCount < 1) {
        return OpenResult::NoDevice;
    }
    const BoardSelector board = programmer.BoardSerial.empty()
                                    ? BoardWithDescription(PROGRAMMER_DESCRIPTION)
                                    : BoardWithSerial(programmer.BoardSerial);
    if (link.Open(board) != UsbStatus::Ok) {
        return OpenResult::OpenFailed;
    }
    link.ShortenLatencyTimer();  // the driver starts every open at its default
    return OpenResult::Opened;
}

const char* OpenFailureMessage(OpenResult result) {
    return result == OpenResult::NoDevice ? MSG_UNABLE_TO_DETECT : MSG_COULD_NOT_OPEN;
}

// Control commands must not interleave their bytes with a running operation's exchange.
bool RefuseWhileLinkInUse(Programmer& programmer) {
    if (!programmer.LinkInUse) {
        return false;
    }
    programmer.reporter.ShowMessage(MSG_PROGRAMMER_BUSY);
    return true;
}

bool SendAllowPower(Programmer& programmer, bool allow) {
    return programmer.link.SendCommand({CMD_ALLOW_POWER, static_cast<std::uint8_t>(allow ? 1 : 0)});
}

// Opens the programmer and tells it that target power is not allowed.
void OpenAtStartup(Programmer& programmer) {
    ProgrammerLink& link = programmer.link;
    if (!link.Bind()) {
        programmer.reporter.ShowMessage(MissingDriverMessage());
        programmer.Connected = false;
        return;
    }
    const OpenResult opened = OpenProgrammer(programmer);
    if (opened != OpenResult::Opened) {
        programmer.reporter.ShowMessage(OpenFailureMessage(opened));
        programmer.Connected = false;
        return;
    }
    programmer.Connected = true;
    link.Reset();
    link.Purge();

    programmer.reporter.Pause(50);
    if (!SendAllowPower(programmer, false)) {
        programmer.reporter.Pause(50);
        // After a wrong acknowledgement the application is ending and has said so.
        if (!SendAllowPower(programmer, false) && !link.IsShutDown()) {
            programmer.reporter.ShowMessage(
                "Error: Unable to enable programming power on Flash programmer.");
        }
    }
    link.SetTimeouts(TIMEOUT_NORMAL_MS, TIMEOUT_NORMAL_MS);
}

}  // namespace

std::string MissingDriverMessage() {
    return std::string(
               "Error: DLL drivers not found. \n\nDownload the drivers for the VEK-FLASH "
               "programmer \nfrom ") +
           MAKER_WEB_ADDRESS +
           " or select Internet|Download Drivers \nif currently connected to the internet.";
}

void StartupConnection(Programmer& programmer) {
    programmer.LinkInUse = true;
    OpenAtStartup(programmer);
    programmer.LinkInUse = false;
}

void ConnectionPoll(Programmer& programmer) {
    if (programmer.LinkInUse) {
        return;
    }
    ProgrammerLink& link = programmer.link;
    if (!programmer.Connected) {
        // Without a complete binding every attempt would only pile up wrapper messages.
        if (!link.IsBound()) {
            return;
        }
        link.Close();
        link.Reset();
        if (OpenProgrammer(programmer) != OpenResult::Opened) {
            return;
        }
        programmer.reporter.ShowMessage(MSG_PROGRAMMER_READY);
        programmer.Connected = true;
        return;
    }
    std::uint32_t waiting = 0;
    if (link.Queued(waiting) != UsbStatus::Ok) {
        link.FatalLinkShutdown();  // the programmer is gone
    }
}

void Connect(Programmer& programmer) {
    if (RefuseWhileLinkInUse(programmer)) {
        return;
    }
    if (!programmer.Connected) {
        programmer.reporter.ShowMessage(MSG_NO_PROGRAMMER);
        return;
    }
    programmer.link.Close();
    const OpenResult opened = OpenProgrammer(programmer);
    if (opened != OpenResult::Opened) {
        // Cleared before the message, so a tick meanwhile reconnects instead of ending us.
        programmer.Connected = false;
        programmer.reporter.ShowMessage(OpenFailureMessage(opened));
        return;
    }
    programmer.reporter.ShowMessage(MSG_PROGRAMMER_READY);
    programmer.Connected = true;
}

bool TestCommunication(Programmer& programmer) {
    if (RefuseWhileLinkInUse(programmer)) {
        return false;
    }
    if (!programmer.Connected) {
        programmer.reporter.ShowMessage(MSG_NO_PROGRAMMER);
        return false;
    }
    if (!programmer.link.SendCommand(
            {CMD_TEST, TEST_PATTERN[0], TEST_PATTERN[1], TEST_PATTERN[2]})) {
        return false;
    }
    programmer.reporter.ShowMessage(MSG_PROGRAMMER_READY);
    return true;
}

void AllowTargetPower(Programmer& programmer, bool itemChecked,
                      const std::function<void(bool)>& setItemChecked) {
    if (RefuseWhileLinkInUse(programmer)) {
        return;
    }
    programmer.PowerAllowed = itemChecked;
    programmer.LinkInUse = true;
    const bool allow = !itemChecked;
    setItemChecked(allow);
    if (SendAllowPower(programmer, allow)) {
        programmer.PowerAllowed = allow;
    } else if (!programmer.link.IsShutDown()) {
        // A wrong acknowledgement has already said this and ended the link.
        programmer.reporter.ShowMessage(FatalMessage("(1f)"));
        programmer.link.FatalLinkShutdown();
    }
    programmer.LinkInUse = false;
}

void ApplyTargetPowerNow(Programmer& programmer) {
    if (RefuseWhileLinkInUse(programmer)) {
        return;
    }
    if (!programmer.PowerAllowed) {
        programmer.reporter.ShowMessage(
            "You must first allow target power from the VEK Flash programmer via the Setup "
            "menu.");
        return;
    }
    if (!programmer.link.SendCommand({CMD_POWER_ON})) {
        return;
    }
    programmer.reporter.ShowMessage("Click OK to turn target power off.");
    programmer.link.SendCommand({CMD_POWER_OFF});
}

}  // namespace vek
