#include "link/connection.h"

#include "link/link_messages.h"
#include "link/protocol.h"
#include "link/web_addresses.h"

namespace vek {

namespace {

enum class OpenResult { Opened, NoDevice, OpenFailed };

// Any board the driver counts may be ours; the driver picks the one with our description, or
// the one with the chosen serial number.
OpenResult OpenProgrammer(ProgrammerConnection& connection) {
    ProgrammerLink& link = connection.link;
    std::int32_t deviceCount = 0;
    if (link.CountBoards(PROGRAMMER_DESCRIPTION, deviceCount) != UsbStatus::Ok || deviceCount < 1) {
        return OpenResult::NoDevice;
    }
    const BoardSelector board = connection.BoardSerial.empty()
                                    ? BoardWithDescription(PROGRAMMER_DESCRIPTION)
                                    : BoardWithSerial(connection.BoardSerial);
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
bool RefuseWhileLinkInUse(ProgrammerConnection& connection) {
    if (!connection.LinkInUse) {
        return false;
    }
    connection.ui.ShowMessage(MSG_PROGRAMMER_BUSY);
    return true;
}

bool SendAllowPower(ProgrammerConnection& connection, bool allow) {
    return connection.link.SendCommand({CMD_ALLOW_POWER, static_cast<std::uint8_t>(allow ? 1 : 0)});
}

// Opens the programmer and tells it that target power is not allowed.
void OpenAtStartup(ProgrammerConnection& connection) {
    ProgrammerLink& link = connection.link;
    if (link.Bind() != 0) {
        connection.ui.ShowMessage(MissingDriverMessage());
        connection.Connected = false;
        return;
    }
    const OpenResult opened = OpenProgrammer(connection);
    if (opened != OpenResult::Opened) {
        connection.ui.ShowMessage(OpenFailureMessage(opened));
        connection.Connected = false;
        return;
    }
    connection.Connected = true;
    link.Reset();
    link.Purge();

    connection.ui.Pause(50);
    if (!SendAllowPower(connection, false)) {
        connection.ui.Pause(50);
        // After a wrong acknowledgement the application is ending and has said so.
        if (!SendAllowPower(connection, false) && !link.IsShutDown()) {
            connection.ui.ShowMessage(
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

void StartupConnection(ProgrammerConnection& connection) {
    connection.LinkInUse = true;
    OpenAtStartup(connection);
    connection.LinkInUse = false;
}

void ConnectionPoll(ProgrammerConnection& connection) {
    if (connection.LinkInUse) {
        return;
    }
    ProgrammerLink& link = connection.link;
    if (!connection.Connected) {
        // Without a complete binding every attempt would only pile up wrapper messages.
        if (!link.IsBound()) {
            return;
        }
        link.Close();
        link.Reset();
        if (OpenProgrammer(connection) != OpenResult::Opened) {
            return;
        }
        connection.ui.ShowMessage(MSG_PROGRAMMER_READY);
        connection.Connected = true;
        return;
    }
    std::uint32_t waiting = 0;
    if (link.Queued(waiting) != UsbStatus::Ok) {
        link.FatalLinkShutdown();  // the programmer is gone
    }
}

void Connect(ProgrammerConnection& connection) {
    if (RefuseWhileLinkInUse(connection)) {
        return;
    }
    if (!connection.Connected) {
        connection.ui.ShowMessage(MSG_NO_PROGRAMMER);
        return;
    }
    connection.link.Close();
    const OpenResult opened = OpenProgrammer(connection);
    if (opened != OpenResult::Opened) {
        // Cleared before the message, so a tick meanwhile reconnects instead of ending us.
        connection.Connected = false;
        connection.ui.ShowMessage(OpenFailureMessage(opened));
        return;
    }
    connection.ui.ShowMessage(MSG_PROGRAMMER_READY);
    connection.Connected = true;
}

bool TestCommunication(ProgrammerConnection& connection) {
    if (RefuseWhileLinkInUse(connection)) {
        return false;
    }
    if (!connection.Connected) {
        connection.ui.ShowMessage(MSG_NO_PROGRAMMER);
        return false;
    }
    if (!connection.link.SendCommand(
            {CMD_TEST, TEST_PATTERN[0], TEST_PATTERN[1], TEST_PATTERN[2]})) {
        return false;
    }
    connection.ui.ShowMessage(MSG_PROGRAMMER_READY);
    return true;
}

void AllowTargetPower(ProgrammerConnection& connection, bool itemChecked,
                      const std::function<void(bool)>& setItemChecked) {
    if (RefuseWhileLinkInUse(connection)) {
        return;
    }
    connection.PowerAllowed = itemChecked;
    connection.LinkInUse = true;
    const bool allow = !itemChecked;
    setItemChecked(allow);
    if (SendAllowPower(connection, allow)) {
        connection.PowerAllowed = allow;
    } else if (!connection.link.IsShutDown()) {
        // A wrong acknowledgement has already said this and ended the link.
        connection.ui.ShowMessage(FatalMessage("(1f)"));
        connection.link.FatalLinkShutdown();
    }
    connection.LinkInUse = false;
}

void ApplyTargetPowerNow(ProgrammerConnection& connection) {
    if (RefuseWhileLinkInUse(connection)) {
        return;
    }
    if (!connection.PowerAllowed) {
        connection.ui.ShowMessage(
            "You must first allow target power from the VEK Flash programmer via the Setup "
            "menu.");
        return;
    }
    if (!connection.link.SendCommand({CMD_POWER_ON})) {
        return;
    }
    connection.ui.ShowMessage("Click OK to turn target power off.");
    connection.link.SendCommand({CMD_POWER_OFF});
}

}  // namespace vek
