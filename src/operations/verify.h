// Verify: reads the chip back and compares it with the HEX file and the configuration fields.
#pragma once

#include "operations/operation_result.h"
#include "session/session.h"

namespace vek {

// Reports the first difference; the result lists every one.
OperationResult VerifyTarget(Session& session);

}  // namespace vek
