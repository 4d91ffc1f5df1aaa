#include "operations/operation_claim.h"

#include <utility>

#include "link/link_messages.h"
#include "link/protocol.h"

namespace vek {

namespace {

// Shown when no row of the Device list is selected and so no size is known.
constexpr const char* MSG_SELECT_DEVICE = "First select a device to be programmed.";

struct RefusalReason {
    Outcome outcome;
    const char* message;
};

// Why an operation on the target may not start, in the order asked; none when it may. A
// running operation is not among them: it turns the next away without a word.
std::optional<RefusalReason> RefusalOf(const Programmer& programmer, const DeviceInfo& target) {
    if (!programmer.Connected) {
        return RefusalReason{Outcome::NoProgrammer, MSG_NO_PROGRAMMER};
    }
    if (programmer.LinkInUse) {
        return RefusalReason{Outcome::Refused, MSG_PROGRAMMER_BUSY};
    }
    if (target.programWords <= 0) {
        return RefusalReason{Outcome::Refused, MSG_SELECT_DEVICE};
    }
    return std::nullopt;
}

}  // namespace

bool WouldStart(const Programmer& programmer, const DeviceInfo& target) {
    return !programmer.BusyFlag && !RefusalOf(programmer, target);
}

OperationClaim::OperationClaim(Programmer& programmer, const DeviceInfo& target)
    : programmer_(programmer) {
    if (programmer_.BusyFlag) {
        return;  // the running operation keeps what is reported
    }
    programmer_.reporter.Keep();
    keeping_ = true;
    if (const std::optional<RefusalReason> refusal = RefusalOf(programmer_, target)) {
        refusal_ = refusal->outcome;
        // Set during the message, so that a second press meanwhile is turned away.
        programmer_.BusyFlag = true;
        programmer_.reporter.ShowMessage(refusal->message);
        programmer_.BusyFlag = false;
        return;
    }
    programmer_.BusyFlag = true;
    programmer_.LinkInUse = true;
    claimed_ = true;
    programmer_.reporter.SetOperationRunning(true);
    // Every operation starts its progress afresh, whether or not it moves it.
    programmer_.reporter.SetProgress(0);
    waitCursor_.emplace(programmer_.reporter);
}

OperationClaim::~OperationClaim() {
    if (claimed_) {
        waitCursor_.reset();
        programmer_.LinkInUse = false;
        programmer_.BusyFlag = false;
        programmer_.reporter.SetOperationRunning(false);
    }
}

OperationResult OperationClaim::Conclude(OperationResult result) {
    if (keeping_) {
        ReportKeeper::Kept kept = programmer_.reporter.Take();
        result.messages = std::move(kept.messages);
        result.targetId = kept.targetId;
    }
    return result;
}

bool ExpectReady(Programmer& programmer, const std::string& readFailedMessage,
                 const std::string& fatalCode) {
    const Reply reply = programmer.link.ReadReply();
    if (reply.ReadFailed()) {
        programmer.reporter.ShowMessage(readFailedMessage);
        return false;
    }
    if (!reply.Is(REPLY_READY)) {
        programmer.reporter.ShowMessage(FatalMessage(fatalCode));
        programmer.link.FatalLinkShutdown();
        return false;
    }
    return true;
}

TransactionStart BeginTransaction(Programmer& programmer, const DeviceInfo& target,
                                  const std::string& readFailedMessage,
                                  const std::string& fatalCode) {
    if (!programmer.link.SendCommand({CMD_BEGIN, target.processorIndex})) {
        return TransactionStart::SendFailed;
    }
    return ExpectReady(programmer, readFailedMessage, fatalCode) ? TransactionStart::Ready
                                                                 : TransactionStart::Failed;
}

void EndTransaction(Programmer& programmer, const DeviceInfo& target) {
    programmer.link.SendCommand({CMD_END, target.processorIndex});
}

}  // namespace vek
