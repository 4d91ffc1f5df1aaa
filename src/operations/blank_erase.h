// Blank Check and Erase, and the two exchanges that Program reuses.
#pragma once

#include "operations/operation_result.h"
#include "operations/requests.h"
#include "session/programmer.h"

namespace vek {

enum class BlankResult { Blank, SendFailed, NoAnswer, NotBlank };
enum class EraseResult { Done, NotStarted, SendFailed, NoCompletion };

// Inside an open transaction; ends it with CMD_END once a result byte has arrived.
BlankResult BlankCheckTarget(Programmer& programmer, const DeviceInfo& target);
// Opens its own transaction, checks the chip's identity, erases, and ends it.
EraseResult BulkEraseTarget(Programmer& programmer, const DeviceInfo& target);

OperationResult BlankCheck(Programmer& programmer, const BlankCheckRequest& request);
OperationResult Erase(Programmer& programmer, const EraseRequest& request);

}  // namespace vek
