#include "link/connection.h"

#include "link/link_messages.h"
#include "link/protocol.h"

namespace vek {

namespace {

enum class OpenResult { Opened, NoDevice, OpenFailed };

// Any attached D2XX device may be ours; the driver picks the one with our description.
OpenResult OpenByDescription(ProgrammerLink& link) {
    std::int32_t deviceCount = 0;
    if (link.ListDevices(&deviceCount, nullptr, FT_LIST_NUMBER_ONLY) != FT_OK || deviceCount < 1) {
        return OpenResult::NoDevice;
    }
    if (link.OpenEx(PROGRAMMER_DESCRIPTION, FT_OPEN_BY_DESCRIPTION) != FT_OK) {
        return OpenResult::OpenFailed;
    }
    return OpenResult::Opened;
}

const char* OpenFailureMessage(OpenResult result) {
    return result == OpenResult::NoDevice ? MSG_UNABLE_TO_DETECT : MSG_COULD_NOT_OPEN;
}

// Control commands must not interleave their bytes with a running operation's exchange.
bool RefuseWhileLinkInUse(Session& session) {
    if (!session.LinkInUse) {
        return false;
    }
    session.ui.ShowMessage(MSG_PROGRAMMER_BUSY);
    return true;
}

bool SendAllowPower(Session& session, bool allow) {
    return session.link.SendCommand({CMD_ALLOW_POWER, static_cast<std::uint8_t>(allow ? 1 : 0)});
}

std::string MissingDriverMessage() {
    return std::string(
               "Error: DLL drivers not found. \n\nDownload the drivers for the VEK-FLASH "
               "programmer \nfrom ") +
           MAKER_WEB_ADDRESS +
           " or select Internet|Download Drivers \nif currently connected to the internet.";
}

// Opens the programmer and tells it that target power is not allowed.
void OpenAtStartup(Session& session) {
    ProgrammerLink& link = session.link;
    if (link.Bind() != 0) {
        session.ui.ShowMessage(MissingDriverMessage());
        session.Connected = false;
        return;
    }
    const OpenResult opened = OpenByDescription(link);
    if (opened != OpenResult::Opened) {
        session.ui.ShowMessage(OpenFailureMessage(opened));
        session.Connected = false;
        return;
    }
    session.Connected = true;
    link.ResetDevice();
    link.Purge(FT_PURGE_RX);

    session.ui.Pause(50);
    if (!SendAllowPower(session, false)) {
        session.ui.Pause(50);
        // After a wrong acknowledgement the application is ending and has said so.
        if (!SendAllowPower(session, false) && !link.IsShutDown()) {
            session.ui.ShowMessage(
                "Error: Unable to enable programming power on Flash programmer.");
        }
    }
    link.SetTimeouts(TIMEOUT_NORMAL_MS, TIMEOUT_NORMAL_MS);
}

}  // namespace

void StartupConnection(Session& session) {
    session.BusyFlag = false;
    session.LinkInUse = true;
    OpenAtStartup(session);
    session.LinkInUse = false;
}

void ConnectionPoll(Session& session) {
    if (session.LinkInUse) {
        return;
    }
    ProgrammerLink& link = session.link;
    if (!session.Connected) {
        // Without a complete binding every attempt would only pile up wrapper messages.
        if (!link.IsBound()) {
            return;
        }
        link.Close();
        link.ResetDevice();
        if (OpenByDescription(link) != OpenResult::Opened) {
            return;
        }
        // No second tick may run while the person reads this.
        session.ui.SetPollTimerRunning(false);
        session.ui.ShowMessage(MSG_PROGRAMMER_READY);
        session.ui.SetPollTimerRunning(true);
        session.Connected = true;
        return;
    }
    std::uint32_t waiting = 0;
    if (link.GetQueueStatus(&waiting) != FT_OK) {
        link.FatalLinkShutdown();  // the programmer is gone
    }
}

void Connect(Session& session) {
    if (RefuseWhileLinkInUse(session)) {
        return;
    }
    if (!session.Connected) {
        session.ui.ShowMessage(MSG_NO_PROGRAMMER);
        return;
    }
    session.link.Close();
    const OpenResult opened = OpenByDescription(session.link);
    if (opened != OpenResult::Opened) {
        // Cleared before the message, so a tick meanwhile reconnects instead of ending us.
        session.Connected = false;
        session.ui.ShowMessage(OpenFailureMessage(opened));
        return;
    }
    session.ui.ShowMessage(MSG_PROGRAMMER_READY);
    session.Connected = true;
}

void TestCommunication(Session& session) {
    if (RefuseWhileLinkInUse(session)) {
        return;
    }
    if (!session.Connected) {
        session.ui.ShowMessage(MSG_NO_PROGRAMMER);
        return;
    }
    if (session.link.SendCommand({CMD_TEST, TEST_PATTERN[0], TEST_PATTERN[1], TEST_PATTERN[2]})) {
        session.ui.ShowMessage(MSG_PROGRAMMER_READY);
    }
}

void AllowTargetPower(Session& session, bool itemChecked,
                      const std::function<void(bool)>& setItemChecked) {
    if (RefuseWhileLinkInUse(session)) {
        return;
    }
    session.PowerAllowed = itemChecked;
    session.LinkInUse = true;
    const bool allow = !itemChecked;
    setItemChecked(allow);
    if (SendAllowPower(session, allow)) {
        session.PowerAllowed = allow;
    } else if (!session.link.IsShutDown()) {
        // A wrong acknowledgement has already said this and ended the link.
        session.ui.ShowMessage(FatalMessage("(1f)"));
        session.link.FatalLinkShutdown();
    }
    session.LinkInUse = false;
}

void ApplyTargetPowerNow(Session& session) {
    if (RefuseWhileLinkInUse(session)) {
        return;
    }
    if (!session.PowerAllowed) {
        session.ui.ShowMessage(
            "You must first allow target power from the VEK Flash programmer via the Setup "
            "menu.");
        return;
    }
    if (!session.link.SendCommand({CMD_POWER_ON})) {
        return;
    }
    session.ui.ShowMessage("Click OK to turn target power off.");
    session.link.SendCommand({CMD_POWER_OFF});
}

}  // namespace vek
