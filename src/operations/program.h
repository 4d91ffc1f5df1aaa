// Program: writes a HEX file and the configuration words into the chip.
#pragma once

#include <string>

#include "operations/operation_result.h"
#include "operations/requests.h"
#include "session/programmer.h"

namespace vek {

OperationResult Program(Programmer& programmer, const ProgramRequest& request);

// What Program asks before it writes a word that turns on code protection.
std::string CodeProtectionQuestion(const std::string& wordText);

}  // namespace vek
