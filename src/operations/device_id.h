// Asking the programmer which chip sits in its socket.
#pragma once

#include "session/session.h"

namespace vek {

// The 12-bit device ID, or 1 after a failure (1 is no valid ID).
int ReadDeviceId(Session& session);
// 0 when the chip fits the selected target; 1 after a warning otherwise.
int CheckDeviceId(Session& session);

}  // namespace vek
