// How a run on a chip ended, in the numbers vekflash-cli exits with and the names its log and
// JSON give them; the window logs its chips in the same terms.
#pragma once

#include "operations/operation_result.h"

namespace vek {

// The exit statuses, as --help documents them.
enum ExitStatus {
    EXIT_OK = 0,
    EXIT_DIFFERS = 1,
    EXIT_USAGE = 2,
    EXIT_HEX_FILE = 3,
    EXIT_PROGRAMMER = 4,
    EXIT_WRONG_DEVICE = 5,
};

// The outcome's name: "success", "difference", "usage", "file", "programmer", "wrong-device".
const char* OutcomeName(ExitStatus status);

ExitStatus StatusOf(const OperationResult& result);

}  // namespace vek
