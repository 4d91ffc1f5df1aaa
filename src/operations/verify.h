// Verify: reads the chip back and compares it with the HEX file and the configuration fields.
#pragma once

#include "operations/operation_result.h"
#include "session/session.h"

namespace vek {

// Stops at the first difference, which the result names (mismatch) besides the message.
OperationResult VerifyTarget(Session& session);

}  // namespace vek
