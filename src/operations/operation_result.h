// What a device operation came to, for a caller that needs more than the messages shown.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/image_compare.h"
#include "device/memory_image.h"
#include "session/workspace.h"

namespace vek {

enum class Outcome {
    Done,                 // the operation did what it was asked
    Refused,              // it did not start: another one runs, or no target is selected
    NoProgrammer,         // no programmer is open
    NoHexFile,            // no HEX file chosen
    HexFileError,         // the file cannot be opened, has a checksum error or is too large
    WrongDevice,          // the chip's ID differs from the target
    NotBlank,             // the chip is not blank (a Blank Check verdict, or Program without erase)
    Mismatch,             // the chip differs from the file or the configuration words
    CommunicationFailed,  // the programmer did not answer as it must
    NoConfiguration,      // Program: a configuration word is absent ("---")
    Declined,             // Program: the person chose not to turn on code protection
    EepromProtected,      // Program: the EEPROM to keep cannot be read from the chip
};

struct OperationResult {
    Outcome outcome = Outcome::Done;
    // Every message shown while the operation ran, in order.
    std::vector<std::string> messages = {};
    // The target's ID as last read, when one was read.
    std::optional<int> targetId = std::nullopt;
    // Read and Verify: what was read from the chip, once the whole read-back has arrived.
    std::optional<ReadContents> readBack = std::nullopt;
    // Verify: every place where the chip differs, in the order compared; the message names
    // the first.
    std::vector<ImageDifference> differences = {};
    // Program: the checksum of what was written, once the chip holds it.
    std::optional<std::uint16_t> checksum = std::nullopt;
    // Program with the EEPROM kept: the bytes written in place of the file's, as entries that
    // a Verify places over the file's.
    std::vector<ImageWord> keptEeprom = {};

    bool Succeeded() const { return outcome == Outcome::Done; }
};

}  // namespace vek
