// Read: copies the chip's configuration words into the fields and its memory into the image,
// and lists what it read in the Hex Data window.
#pragma once

#include "operations/operation_result.h"
#include "session/session.h"

namespace vek {

OperationResult ReadTarget(Session& session);

}  // namespace vek
