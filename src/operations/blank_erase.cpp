#include "operations/blank_erase.h"

#include "link/protocol.h"
#include "operations/device_id.h"
#include "operations/operation_claim.h"
#include "session/processor_selection.h"

namespace vek {

namespace {

OperationResult ReportBlankCheck(Session& session, BlankResult result) {
    OperationResult report{Outcome::CommunicationFailed,
                           "VEK-Flash programmer is not responding to the Blank Check command."};
    if (result == BLANK_YES) {
        report = {Outcome::Done, "Device is blank"};
    } else if (result == BLANK_NO) {
        report = {Outcome::NotBlank, "Device is not blank"};
    }
    session.ui.ShowMessage(report.message);
    return report;
}

// A failure whose messages have been shown where it was found.
const OperationResult COMMUNICATION_FAILED{Outcome::CommunicationFailed, ""};

}  // namespace

BlankResult BlankCheckDevice(Session& session) {
    RefreshCurrentTarget(session);
    WaitCursor waitCursor(session.ui);
    const DeviceInfo& target = session.CurrentTarget;
    ProgrammerLink& link = session.link;
    if (!link.SendCommand({CMD_BLANK_CHECK, target.processorIndex, LowByte(target.programWords),
                           HighByte(target.programWords)})) {
        return BLANK_SEND_FAILED;
    }
    link.ReadReply();  // a byte the programmer sends first, whatever it is
    link.SetTimeouts(TIMEOUT_BLANK_RESULT_MS, TIMEOUT_BLANK_RESULT_MS);
    const Reply result = link.ReadReply();
    if (result.ReadFailed()) {
        return BLANK_NO_ANSWER;
    }
    if (result.status == Reply::Status::Missing) {
        session.ui.ShowMessage(
            "VEK-Flash programmer is not responding to the Blank Check command (E1)");
        return BLANK_NO_ANSWER;
    }
    EndTransaction(session);
    if (result.Is(REPLY_OK)) {
        return BLANK_YES;
    }
    if (result.Is(REPLY_FAIL)) {
        return BLANK_NO;
    }
    session.ui.ShowMessage(
        "VEK-Flash programmer is not responding correctly to the Blank Check command. (E2)");
    return BLANK_NO_ANSWER;
}

EraseResult BulkEraseDevice(Session& session) {
    WaitCursor waitCursor(session.ui);
    const DeviceInfo& target = session.CurrentTarget;
    ProgrammerLink& link = session.link;
    const std::string readyUnreadable = "VEK-Flash programmer is not responding to commands.(120)";
    if (BeginTransaction(session, readyUnreadable, "(4)") != TransactionStart::Ready) {
        return ERASE_NOT_STARTED;
    }
    if (CheckDeviceId(session) != 0) {
        return ERASE_NOT_STARTED;
    }
    link.Purge();
    if (!link.SendCommand({CMD_BULK_ERASE, target.processorIndex})) {
        return ERASE_SEND_FAILED;
    }
    if (target.family == TargetFamily::PIC16 && !(ExpectReady(session, readyUnreadable, "(14)") &&
                                                  ExpectReady(session, readyUnreadable, "(114)"))) {
        return ERASE_NOT_STARTED;
    }
    const Reply completion = link.ReadReply();  // any value means the erase completed
    if (completion.ReadFailed()) {
        session.ui.ShowMessage("Could not read from device. (BE1)");
        return ERASE_NO_COMPLETION;
    }
    if (completion.status == Reply::Status::Missing) {
        session.ui.ShowMessage(
            "VEK-Flash programmer is not responding correctly to Erase command. (E5)");
        link.DrainInput();
        return ERASE_NO_COMPLETION;
    }
    EndTransaction(session);
    return ERASE_DONE;
}

namespace {

OperationResult BlankCheckClaimed(Session& session) {
    if (BeginTransaction(session, "VEK-Flash programmer is not responding to commands.(129)",
                         "(1b)") != TransactionStart::Ready) {
        return COMMUNICATION_FAILED;
    }
    const OperationResult result = ReportBlankCheck(session, BlankCheckDevice(session));
    EndTransaction(session);
    return result;
}

OperationResult EraseClaimed(Session& session) {
    if (BeginTransaction(session, "VEK-Flash programmer not responding to commands.(118)",
                         "(1a)") != TransactionStart::Ready) {
        return COMMUNICATION_FAILED;
    }
    switch (CheckTargetIdentity(session)) {
        case Identity::Matches:
            break;
        case Identity::Differs:
            return {Outcome::WrongDevice, ""};
        case Identity::Unreadable:
            return COMMUNICATION_FAILED;
    }
    if (BulkEraseDevice(session) != ERASE_DONE) {
        const std::string failed = "Error: Communication with VEK Flash programmer failed. (c3)";
        session.ui.ShowMessage(failed);
        return {Outcome::CommunicationFailed, failed};
    }
    if (BeginTransaction(session, "VEK-Flash programmer is not responding to commands.(119)",
                         "(2)") != TransactionStart::Ready) {
        return COMMUNICATION_FAILED;
    }
    const OperationResult result = ReportBlankCheck(session, BlankCheckDevice(session));
    EndTransaction(session);
    return result;
}

}  // namespace

OperationResult OnBlankCheck(Session& session) {
    return RunClaimed(session, [&session] { return BlankCheckClaimed(session); });
}

OperationResult OnErase(Session& session) {
    return RunClaimed(session, [&session] { return EraseClaimed(session); });
}

}  // namespace vek
