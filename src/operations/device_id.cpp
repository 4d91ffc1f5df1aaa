#include "operations/device_id.h"

#include "device/hex_text.h"
#include "link/protocol.h"
#include "operations/operation_claim.h"

namespace vek {

namespace {

// After the warning, so the person notices that the operation stopped.
constexpr int WARNING_PAUSE_MS = 4000;

// "16F84A: 560\t\t16F870: D00\n...": the table's rows two to a line, the IDs aligned where
// the names are short.
std::string ValidIds() {
    std::string text;
    for (int row = 0; row < DEVICE_COUNT; ++row) {
        if (row > 0) {
            text += row % 2 == 0 ? "\n" : "\t\t";
        }
        const DeviceInfo& device = DeviceTable[row];
        text += Printf("%-6s %s", (std::string(device.name) + ":").c_str(),
                       IdText(device.deviceId).c_str());
    }
    return text;
}

std::string WrongTargetWarning(std::string_view selectedName, int shownId) {
    return "Warning: The processor selected (" + std::string(selectedName) +
           ") may be different from the target\nthat is currently connected to the "
           "programmer.\nThe programmer detected an ID of " +
           IdText(shownId) + ". \n\nValid IDs:\n" + ValidIds() +
           " \n\n Power may need to be enabled from the Setup menu.";
}

// The ID, or nothing after a failure that has been reported.
std::optional<int> ReadTargetId(Programmer& programmer, const DeviceInfo& target) {
    if (!programmer.link.SendCommand({CMD_READ_ID, target.processorIndex})) {
        programmer.reporter.ShowMessage(
            "VEK-Flash programmer is not responding correctly to read processor type command.");
        return std::nullopt;
    }
    std::uint8_t idBytes[2] = {0, 0};
    std::uint32_t received = 0;
    if (programmer.link.Read(idBytes, received) != UsbStatus::Ok) {
        programmer.reporter.ShowMessage(
            "VEK-Flash programmer is not responding to read processor type command.");
        return std::nullopt;
    }
    const int id = ((idBytes[1] & 0x0F) << 8) | idBytes[0];
    programmer.reporter.ShowTargetId(id);
    return id;
}

}  // namespace

Identity CheckTargetIdentity(Programmer& programmer, const DeviceInfo& target) {
    const std::optional<int> read = ReadTargetId(programmer, target);
    // A failed read is warned about as the ID 1, which no target has.
    const int id = read.value_or(1);
    if (IdFits(target, id)) {
        return Identity::Matches;
    }
    // The warning shows what was compared.
    programmer.reporter.ShowMessage(WrongTargetWarning(target.name, id & target.IdMask()));
    programmer.reporter.PauseAfterWarning(WARNING_PAUSE_MS);
    return read ? Identity::Differs : Identity::Unreadable;
}

std::optional<ChipInSocket> ChipInSocketAfter(const OperationResult& result,
                                              const DeviceInfo& target) {
    if (result.outcome != Outcome::WrongDevice || !result.targetId) {
        return std::nullopt;
    }
    const std::vector<const DeviceInfo*> rows = RowsFittingId(*result.targetId, target.family);
    if (rows.size() != 1) {
        return std::nullopt;
    }
    const DeviceInfo& row = *rows.front();
    const std::string called =
        (row.family == TargetFamily::PIC16 ? "a PIC" : "an ") + std::string(row.name);
    return ChipInSocket{&row, "The chip in the socket reports ID " +
                                  IdText(*result.targetId & row.IdMask()) + ": " + called + "."};
}

OperationResult ReadId(Programmer& programmer, const ReadIdRequest& request) {
    const DeviceInfo& target = request.target;
    return RunClaimed(programmer, target, [&]() -> OperationResult {
        // Failures have been reported where they were found.
        if (BeginTransaction(programmer, target,
                             "VEK-Flash programmer is not responding to commands.(170)",
                             "(17)") != TransactionStart::Ready ||
            !ReadTargetId(programmer, target)) {
            return {Outcome::CommunicationFailed};
        }
        EndTransaction(programmer, target);
        return {Outcome::Done};
    });
}

}  // namespace vek
