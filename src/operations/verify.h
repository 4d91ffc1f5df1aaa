// Verify: reads the chip back and compares it with the HEX file and the configuration words.
#pragma once

#include <string>

#include "operations/operation_result.h"
#include "operations/requests.h"
#include "session/programmer.h"

namespace vek {

// Reports the first difference; the result lists every one.
OperationResult Verify(Programmer& programmer, const VerifyRequest& request);

// What Verify compares after a Program: the same target, file and words, and the EEPROM bytes
// that Program kept under the same overlay.
VerifyRequest VerifyRequestAfter(const ProgramRequest& program, const OperationResult& programmed);

// Verify under the claim of a Program that has succeeded: the verdict is shown in one message
// after `programmed`, the message that Program would have ended with.
OperationResult VerifyJustProgrammed(Programmer& programmer, const VerifyRequest& request,
                                     const std::string& programmed);

}  // namespace vek
