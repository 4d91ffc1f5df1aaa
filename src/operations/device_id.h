// Asking the programmer which chip sits in its socket.
#pragma once

#include <optional>

#include "operations/operation_result.h"
#include "session/session.h"

namespace vek {

// The 12-bit device ID, or 1 after a failure (1 is no valid ID).
int ReadDeviceId(Session& session);

enum class Identity { Matches, Differs, Unreadable };
// Reads the ID and compares it with the selected target; after a difference or a failure the
// person has been warned with the table of valid IDs.
Identity CheckTargetIdentity(Session& session);
// 0 when the chip fits the selected target; 1 after a warning otherwise.
int CheckDeviceId(Session& session);

// The chip's ID in a transaction of its own, for a caller that only asks which chip it is:
// no warning follows when it is not the selected target. id is absent after a failure.
struct ChipIdentification {
    OperationResult result;
    std::optional<int> id;
};
ChipIdentification IdentifyChip(Session& session);

}  // namespace vek
