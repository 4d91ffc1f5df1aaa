// The start and end that every device operation shares.
#pragma once

#include <optional>
#include <string>

#include "device/device_table.h"
#include "operations/operation_result.h"
#include "session/programmer.h"

namespace vek {

// Whether an operation on the target would start now, rather than be turned away.
bool WouldStart(const Programmer& programmer, const DeviceInfo& target);

// Claims the programmer for one device operation: BusyFlag and LinkInUse stay set, and the
// wait cursor shows, until the claim goes out of scope; the progress bar starts at 0. A second
// operation is turned away quietly; a missing programmer, a link held by a control command, or a
// target without program memory are reported. From the claim on, what is reported is kept for
// the result.
class OperationClaim {
  public:
    OperationClaim(Programmer& programmer, const DeviceInfo& target);
    ~OperationClaim();
    OperationClaim(const OperationClaim&) = delete;
    OperationClaim& operator=(const OperationClaim&) = delete;

    explicit operator bool() const { return claimed_; }
    // Why the claim failed, when it did.
    OperationResult Refusal() const { return {refusal_}; }
    // The result with what was reported since the claim.
    OperationResult Conclude(OperationResult result);

  private:
    Programmer& programmer_;
    bool keeping_ = false;
    bool claimed_ = false;
    Outcome refusal_ = Outcome::Refused;
    std::optional<WaitCursor> waitCursor_;
};

// Claims the programmer for the target and runs `operation` under the claim.
template <typename Operation>
OperationResult RunClaimed(Programmer& programmer, const DeviceInfo& target,
                           Operation&& operation) {
    OperationClaim claim(programmer, target);
    return claim.Conclude(claim ? operation() : claim.Refusal());
}

// Sends CMD_BEGIN and takes its REPLY_READY. A frame that fails has been reported by
// SendCommand; an unreadable reply shows readFailedMessage; a wrong or missing one shows the
// fatal message with fatalCode and shuts the link down.
enum class TransactionStart { Ready, SendFailed, Failed };
TransactionStart BeginTransaction(Programmer& programmer, const DeviceInfo& target,
                                  const std::string& readFailedMessage,
                                  const std::string& fatalCode);

// Takes one REPLY_READY with the same reporting as BeginTransaction.
bool ExpectReady(Programmer& programmer, const std::string& readFailedMessage,
                 const std::string& fatalCode);

void EndTransaction(Programmer& programmer, const DeviceInfo& target);

}  // namespace vek
