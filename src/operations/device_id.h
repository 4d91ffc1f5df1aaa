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

// The one other row of the target's family that the chip in the socket fits, after an
// operation that stopped on its ID, and the sentence that names it: "The chip in the socket
// reports ID 9A0: a PIC16F877.". None when the ID fits no other row, or several.
struct ChipInSocket {
    const DeviceInfo* row = nullptr;
    std::string statement;
};
std::optional<ChipInSocket> ChipInSocketAfter(const OperationResult& result,
                                              const DeviceInfo& target);

}  // namespace vek
