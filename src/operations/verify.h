// Verify: reads the chip back and compares it with the HEX file and the configuration words.
#pragma once

#include "operations/operation_result.h"
#include "operations/requests.h"
#include "session/programmer.h"

namespace vek {

// Reports the first difference; the result lists every one.
OperationResult Verify(Programmer& programmer, const VerifyRequest& request);

}  // namespace vek
