// Read: takes the chip's configuration words and its memory, for the window to show and save.
#pragma once

#include <cstdint>
#include <optional>

#include "operations/operation_result.h"
#include "operations/requests.h"
#include "session/programmer.h"

namespace vek {

// The result's readBack holds what was read once the whole stream has arrived as it must.
OperationResult Read(Programmer& programmer, const ReadRequest& request);

// Inside an open transaction whose chip has been identified: CMD_READ and its whole stream,
// with Read's messages, then the transaction's end however far the stream got (none after a
// CMD_READ frame that failed). Nothing after a failure, which has been reported.
std::optional<ReadContents> ReadInTransaction(Programmer& programmer, const DeviceInfo& target);

// The checksum of what was read; none for a PIC16 whose code protection hides program words,
// since the sum then counts the ID locations, which the read stream does not carry.
std::optional<std::uint16_t> ChecksumOfRead(const ReadContents& read);

}  // namespace vek
