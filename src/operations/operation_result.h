// What a device operation came to, for a caller that needs more than the messages shown.
#pragma once

#include <optional>
#include <string>

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
};

struct OperationResult {
    Outcome outcome = Outcome::Done;
    // The message that ended the operation: its verdict or its failure.
    std::string message;
    // Verify: the first place where the chip differs, when it does.
    std::optional<ImageDifference> mismatch = std::nullopt;

    bool Succeeded() const { return outcome == Outcome::Done; }
};

}  // namespace vek
