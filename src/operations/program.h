// Program: writes the chosen HEX file and the configuration fields into the chip.
#pragma once

#include "operations/operation_result.h"
#include "session/session.h"

namespace vek {

OperationResult OnProgram(Session& session);

// What Program asks before it writes a word that turns on code protection.
std::string CodeProtectionQuestion(const std::string& wordText);

}  // namespace vek
