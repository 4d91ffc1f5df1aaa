// Blank Check and Erase, and the two exchanges that Program reuses.
#pragma once

#include <cstdint>

#include "operations/operation_result.h"
#include "session/session.h"

namespace vek {

enum BlankResult : std::uint8_t {
    BLANK_YES = 0,
    BLANK_SEND_FAILED = 1,
    BLANK_NO_ANSWER = 2,
    BLANK_NO = 3,
};

enum EraseResult : int {
    ERASE_DONE = 0,
    ERASE_NOT_STARTED = 1,
    ERASE_SEND_FAILED = 2,
    ERASE_NO_COMPLETION = 3,
};

// Inside an open transaction; ends it with CMD_END once a result byte has arrived.
BlankResult BlankCheckDevice(Session& session);
// Opens its own transaction, checks the chip's identity, erases, and ends it.
EraseResult BulkEraseDevice(Session& session);

OperationResult OnBlankCheck(Session& session);
OperationResult OnErase(Session& session);

}  // namespace vek
