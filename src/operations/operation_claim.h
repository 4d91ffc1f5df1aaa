// The start and end that every device operation shares.
#pragma once

#include <optional>
#include <string>

#include "operations/operation_result.h"
#include "session/processor_selection.h"
#include "session/session.h"

namespace vek {

// Claims the programmer for one device operation: BusyFlag and LinkInUse stay set, and the
// wait cursor shows, until the claim goes out of scope; the progress bar starts at 0. A second
// operation is turned away quietly; a missing programmer, a link held by a control command, or a
// target without program memory are reported.
class OperationClaim {
  public:
    explicit OperationClaim(Session& session);
    ~OperationClaim();
    OperationClaim(const OperationClaim&) = delete;
    OperationClaim& operator=(const OperationClaim&) = delete;

    explicit operator bool() const { return claimed_; }
    // Why the claim failed, when it did.
    const OperationResult& Refusal() const { return refusal_; }

  private:
    void Refuse(Outcome outcome, const char* message);

    Session& session_;
    bool claimed_ = false;
    OperationResult refusal_{Outcome::Refused, ""};
    std::optional<WaitCursor> waitCursor_;
};

// Takes the target from the Device list, claims the programmer and runs `operation` under the
// claim. The target is taken first: while an operation runs the list is not read.
template <typename Operation>
OperationResult RunClaimed(Session& session, Operation&& operation) {
    RefreshCurrentTarget(session);
    OperationClaim claim(session);
    if (!claim) {
        return claim.Refusal();
    }
    return operation();
}

// Sends CMD_BEGIN and takes its REPLY_READY. A frame that fails has been reported by
// SendCommand; an unreadable reply shows readFailedMessage; a wrong or missing one shows the
// fatal message with fatalCode and shuts the link down.
enum class TransactionStart { Ready, SendFailed, Failed };
TransactionStart BeginTransaction(Session& session, const std::string& readFailedMessage,
                                  const std::string& fatalCode);

// Takes one REPLY_READY with the same reporting as BeginTransaction.
bool ExpectReady(Session& session, const std::string& readFailedMessage,
                 const std::string& fatalCode);

void EndTransaction(Session& session);

}  // namespace vek
