// What a device operation came to, for a caller that needs more than the messages shown.
#pragma once

#include <string>
#include <vector>

#include "device/image_compare.h"

namespace vek {

enum class Outcome {
    Done,                 // the operation did what it was asked
    Refused,              // it did not start: another one runs, or no target is selected
    NoProgrammer,         // no programmer is open
    NoHexFile,            // no HEX file chosen
    HexFileError,         // the file cannot be opened, has a checksum error or is too large
    WrongDevice,          // the chip's ID differs from the selected target
    NotBlank,             // the chip is not blank (a Blank Check verdict, or Program without erase)
    Mismatch,             // the chip differs from the file or the fields
    CommunicationFailed,  // the programmer did not answer as it must
    NoConfiguration,      // Program: a configuration field holds no word ("---")
    Declined,             // Program: the person chose not to turn on code protection
};

struct OperationResult {
    Outcome outcome = Outcome::Done;
    // The message that ended the operation: its verdict or its failure.
    std::string message;
    // Verify: every place where the chip differs, in the order compared; the message names
    // the first.
    std::vector<ImageDifference> differences = {};

    bool Succeeded() const { return outcome == Outcome::Done; }
};

}  // namespace vek
