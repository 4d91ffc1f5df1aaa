// Finding, opening and watching the programmer, and its control commands.
#pragma once

#include <functional>
#include <string>

#include "session/programmer.h"

namespace vek {

// What a person sees when no USB driver binds.
std::string MissingDriverMessage();

void StartupConnection(Programmer& programmer);
// Every timer tick, after the window has saved its position. The window keeps its timer
// stopped meanwhile: no second tick may run while the person reads the poll's message.
void ConnectionPoll(Programmer& programmer);
void Connect(Programmer& programmer);
// True when the programmer answered the test frame.
bool TestCommunication(Programmer& programmer);
// itemChecked: the menu item's check mark now; setItemChecked flips it before the exchange.
void AllowTargetPower(Programmer& programmer, bool itemChecked,
                      const std::function<void(bool)>& setItemChecked);
void ApplyTargetPowerNow(Programmer& programmer);

}  // namespace vek
