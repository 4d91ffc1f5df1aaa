#include "operations/operation_claim.h"

#include "link/link_messages.h"
#include "link/protocol.h"

namespace vek {

namespace {

// Shown when no row of the Device list is selected and so no size is known.
constexpr const char* MSG_SELECT_DEVICE = "First select a device to be programmed.";

}  // namespace

OperationClaim::OperationClaim(Session& session) : session_(session) {
    if (session_.BusyFlag) {
        return;
    }
    // Set before any refusal, so that a second press during its message is turned away.
    session_.BusyFlag = true;
    if (!session_.Connected) {
        Refuse(Outcome::NoProgrammer, MSG_NO_PROGRAMMER);
        return;
    }
    if (session_.LinkInUse) {
        Refuse(Outcome::Refused, MSG_PROGRAMMER_BUSY);
        return;
    }
    if (session_.CurrentTarget.programWords <= 0) {
        Refuse(Outcome::Refused, MSG_SELECT_DEVICE);
        return;
    }
    session_.LinkInUse = true;
    claimed_ = true;
    session_.ui.SetOperationRunning(true);
    // Every operation starts its progress afresh, whether or not it moves it.
    session_.ui.SetProgress(0);
    waitCursor_.emplace(session_.ui);
}

void OperationClaim::Refuse(Outcome outcome, const char* message) {
    refusal_ = {outcome, message};
    session_.ui.ShowMessage(message);
    session_.BusyFlag = false;
}

OperationClaim::~OperationClaim() {
    if (claimed_) {
        waitCursor_.reset();
        session_.LinkInUse = false;
        session_.BusyFlag = false;
        session_.ui.SetOperationRunning(false);
    }
}

bool ExpectReady(Session& session, const std::string& readFailedMessage,
                 const std::string& fatalCode) {
    const Reply reply = session.link.ReadReply();
    if (reply.ReadFailed()) {
        session.ui.ShowMessage(readFailedMessage);
        return false;
    }
    if (!reply.Is(REPLY_READY)) {
        session.ui.ShowMessage(FatalMessage(fatalCode));
        session.link.FatalLinkShutdown();
        return false;
    }
    return true;
}

TransactionStart BeginTransaction(Session& session, const std::string& readFailedMessage,
                                  const std::string& fatalCode) {
    if (!session.link.SendCommand({CMD_BEGIN, session.CurrentTarget.processorIndex})) {
        return TransactionStart::SendFailed;
    }
    return ExpectReady(session, readFailedMessage, fatalCode) ? TransactionStart::Ready
                                                              : TransactionStart::Failed;
}

void EndTransaction(Session& session) {
    session.link.SendCommand({CMD_END, session.CurrentTarget.processorIndex});
}

}  // namespace vek
