// Asking the programmer which chip sits in its socket.
#pragma once

#include "operations/operation_result.h"
#include "operations/requests.h"
#include "session/programmer.h"

namespace vek {

enum class Identity { Matches, Differs, Unreadable };
// Inside an open transaction: reads the ID and compares it with the target; after a difference
// or a failure the person has been warned with the table of valid IDs.
Identity CheckTargetIdentity(Programmer& programmer, const DeviceInfo& target);

// The chip's ID in a transaction of its own, for a caller that only asks which chip it is: no
// warning follows when it is not the target. The result's targetId is absent after a failure.
OperationResult ReadId(Programmer& programmer, const ReadIdRequest& request);

}  // namespace vek
