#include "operations/blank_erase.h"

#include "link/protocol.h"
#include "operations/device_id.h"
#include "operations/operation_claim.h"

namespace vek {

namespace {

OperationResult ReportBlankCheck(Programmer& programmer, BlankResult result) {
    switch (result) {
        case BlankResult::Blank:
            programmer.reporter.ShowMessage("Device is blank");
            return {Outcome::Done};
        case BlankResult::NotBlank:
            programmer.reporter.ShowMessage("Device is not blank");
            return {Outcome::NotBlank};
        case BlankResult::SendFailed:
        case BlankResult::NoAnswer:
            break;
    }
    programmer.reporter.ShowMessage(
        "VEK-Flash programmer is not responding to the Blank Check command.");
    return {Outcome::CommunicationFailed};
}

}  // namespace

BlankResult BlankCheckTarget(Programmer& programmer, const DeviceInfo& target) {
    WaitCursor waitCursor(programmer.reporter);
    ProgrammerLink& link = programmer.link;
    if (!link.SendCommand({CMD_BLANK_CHECK, target.processorIndex, LowByte(target.programWords),
                           HighByte(target.programWords)})) {
        return BlankResult::SendFailed;
    }
    link.ReadReply();  // a byte the programmer sends first, whatever it is
    link.SetTimeouts(TIMEOUT_BLANK_RESULT_MS, TIMEOUT_BLANK_RESULT_MS);
    const Reply result = link.ReadReply();
    if (result.ReadFailed()) {
        return BlankResult::NoAnswer;
    }
    if (result.status == Reply::Status::Missing) {
        programmer.reporter.ShowMessage(
            "VEK-Flash programmer is not responding to the Blank Check command (E1)");
        return BlankResult::NoAnswer;
    }
    EndTransaction(programmer, target);
    if (result.Is(REPLY_OK)) {
        return BlankResult::Blank;
    }
    if (result.Is(REPLY_FAIL)) {
        return BlankResult::NotBlank;
    }
    programmer.reporter.ShowMessage(
        "VEK-Flash programmer is not responding correctly to the Blank Check command. (E2)");
    return BlankResult::NoAnswer;
}

EraseResult BulkEraseTarget(Programmer& programmer, const DeviceInfo& target) {
    WaitCursor waitCursor(programmer.reporter);
    ProgrammerLink& link = programmer.link;
    const std::string readyUnreadable = "VEK-Flash programmer is not responding to commands.(120)";
    if (BeginTransaction(programmer, target, readyUnreadable, "(4)") != TransactionStart::Ready) {
        return EraseResult::NotStarted;
    }
    if (CheckTargetIdentity(programmer, target) != Identity::Matches) {
        return EraseResult::NotStarted;
    }
    link.Purge();
    if (!link.SendCommand({CMD_BULK_ERASE, target.processorIndex})) {
        return EraseResult::SendFailed;
    }
    if (target.family == TargetFamily::PIC16 &&
        !(ExpectReady(programmer, readyUnreadable, "(14)") &&
          ExpectReady(programmer, readyUnreadable, "(114)"))) {
        return EraseResult::NotStarted;
    }
    const Reply completion = link.ReadReply();  // any value means the erase completed
    if (completion.ReadFailed()) {
        programmer.reporter.ShowMessage("Could not read from device. (BE1)");
        return EraseResult::NoCompletion;
    }
    if (completion.status == Reply::Status::Missing) {
        programmer.reporter.ShowMessage(
            "VEK-Flash programmer is not responding correctly to Erase command. (E5)");
        link.DrainInput();
        return EraseResult::NoCompletion;
    }
    EndTransaction(programmer, target);
    return EraseResult::Done;
}

namespace {

// A failure whose messages have been shown where it was found.
const OperationResult COMMUNICATION_FAILED{Outcome::CommunicationFailed};

// A transaction of its own for the check and its verdict.
OperationResult CheckBlank(Programmer& programmer, const DeviceInfo& target,
                           const std::string& readFailedMessage, const std::string& fatalCode) {
    if (BeginTransaction(programmer, target, readFailedMessage, fatalCode) !=
        TransactionStart::Ready) {
        return COMMUNICATION_FAILED;
    }
    const OperationResult result =
        ReportBlankCheck(programmer, BlankCheckTarget(programmer, target));
    EndTransaction(programmer, target);
    return result;
}

OperationResult EraseClaimed(Programmer& programmer, const DeviceInfo& target) {
    if (BeginTransaction(programmer, target,
                         "VEK-Flash programmer not responding to commands.(118)",
                         "(1a)") != TransactionStart::Ready) {
        return COMMUNICATION_FAILED;
    }
    switch (CheckTargetIdentity(programmer, target)) {
        case Identity::Matches:
            break;
        case Identity::Differs:
            return {Outcome::WrongDevice};
        case Identity::Unreadable:
            return COMMUNICATION_FAILED;
    }
    if (BulkEraseTarget(programmer, target) != EraseResult::Done) {
        programmer.reporter.ShowMessage(
            "Error: Communication with VEK Flash programmer failed. (c3)");
        return COMMUNICATION_FAILED;
    }
    return CheckBlank(programmer, target,
                      "VEK-Flash programmer is not responding to commands.(119)", "(2)");
}

}  // namespace

OperationResult BlankCheck(Programmer& programmer, const BlankCheckRequest& request) {
    return RunClaimed(programmer, request.target, [&] {
        return CheckBlank(programmer, request.target,
                          "VEK-Flash programmer is not responding to commands.(129)", "(1b)");
    });
}

OperationResult Erase(Programmer& programmer, const EraseRequest& request) {
    return RunClaimed(programmer, request.target,
                      [&] { return EraseClaimed(programmer, request.target); });
}

}  // namespace vek
