// Finding, opening and watching the programmer, and its control commands.
#pragma once

#include <functional>
#include <string>

#include "link/programmer_link.h"
#include "link/user_interface.h"

namespace vek {

// The USB description string by which the programmer is opened.
inline constexpr const char* PROGRAMMER_DESCRIPTION = "VEK Flash";

// The link with the flags that say who may use it.
struct ProgrammerConnection {
    explicit ProgrammerConnection(UserInterface& userInterface, const UsbSetup& usb = {})
        : ui(userInterface), link(userInterface, usb) {}

    UserInterface& ui;
    ProgrammerLink link;

    // The USB serial number of the board to open; empty: the first with the description.
    std::string BoardSerial;

    bool Connected = false;     // the link's channel holds the open programmer
    bool LinkInUse = false;     // someone is exchanging bytes with the programmer
    bool PowerAllowed = false;  // the programmer last confirmed that target power is allowed
};

// What a person sees when no USB driver binds.
std::string MissingDriverMessage();

void StartupConnection(ProgrammerConnection& connection);
// Every timer tick, after the window has saved its position. The window keeps its timer
// stopped meanwhile: no second tick may run while the person reads the poll's message.
void ConnectionPoll(ProgrammerConnection& connection);
void Connect(ProgrammerConnection& connection);
// True when the programmer answered the test frame.
bool TestCommunication(ProgrammerConnection& connection);
// itemChecked: the menu item's check mark now; setItemChecked flips it before the exchange.
void AllowTargetPower(ProgrammerConnection& connection, bool itemChecked,
                      const std::function<void(bool)>& setItemChecked);
void ApplyTargetPowerNow(ProgrammerConnection& connection);

}  // namespace vek
