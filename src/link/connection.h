// Finding, opening and watching the programmer, and its control commands.
#pragma once

#include <functional>

#include "link/session.h"

namespace vek {

// The USB description string by which the programmer is opened.
inline constexpr const char* PROGRAMMER_DESCRIPTION = "VEK Flash";

void StartupConnection(Session& session);
// Every timer tick, after the window has saved its position.
void ConnectionPoll(Session& session);
void Connect(Session& session);
void TestCommunication(Session& session);
// itemChecked: the menu item's check mark now; setItemChecked flips it before the exchange.
void AllowTargetPower(Session& session, bool itemChecked,
                      const std::function<void(bool)>& setItemChecked);
void ApplyTargetPowerNow(Session& session);

}  // namespace vek
