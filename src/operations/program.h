// Program: writes a HEX file and the configuration words into the chip.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "operations/operation_result.h"
#include "operations/requests.h"
#include "session/programmer.h"

namespace vek {

OperationResult Program(Programmer& programmer, const ProgramRequest& request);

// The checksum of what Program would write for the request (its image of the file, the
// overlay over it and the configuration words), the chip untouched: none when the file does
// not pass Program's checks or a word is absent. The data EEPROM never counts, so keeping
// it changes nothing.
std::optional<std::uint16_t> ProgramChecksum(const ProgramRequest& request);

// What Program asks before it writes a word that turns on code protection.
std::string CodeProtectionQuestion(const std::string& wordText);

}  // namespace vek
