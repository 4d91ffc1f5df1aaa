// Read: takes the chip's configuration words and its memory, for the window to show and save.
#pragma once

#include "operations/operation_result.h"
#include "operations/requests.h"
#include "session/programmer.h"

namespace vek {

// The result's readBack holds what was read once the whole stream has arrived as it must.
OperationResult Read(Programmer& programmer, const ReadRequest& request);

}  // namespace vek
