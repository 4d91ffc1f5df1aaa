#include "operations/device_id.h"

#include "device/hex_text.h"
#include "link/protocol.h"
#include "operations/operation_claim.h"
#include "session/processor_selection.h"

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
                       HexDigits(device.deviceId, 3).c_str());
    }
    return text;
}

std::string WrongTargetWarning(std::string_view selectedName, int shownId) {
    return "Warning: The processor selected (" + std::string(selectedName) +
           ") may be different from the target\nthat is currently connected to the "
           "programmer.\nThe programmer detected an ID of " +
           HexDigits(static_cast<unsigned>(shownId), 3) + ". \n\nValid IDs:\n" + ValidIds() +
           " \n\n Power may need to be enabled from the Setup menu.";
}

// The ID, or nothing after a failure that has been reported.
std::optional<int> ReadId(Session& session) {
    const std::uint8_t index = session.CurrentTarget.processorIndex;
    if (!session.link.SendCommand({CMD_READ_ID, index})) {
        session.ui.ShowMessage(
            "VEK-Flash programmer is not responding correctly to read processor type command.");
        return std::nullopt;
    }
    std::uint8_t idBytes[2] = {0, 0};
    std::uint32_t received = 0;
    if (session.link.Read(idBytes, received) != UsbStatus::Ok) {
        session.ui.ShowMessage(
            "VEK-Flash programmer is not responding to read processor type command.");
        return std::nullopt;
    }
    const int id = ((idBytes[1] & 0x0F) << 8) | idBytes[0];

    session.fields = session.ui.TakeFieldTexts();
    session.fields.DevWordText = HexDigits(static_cast<unsigned>(id), 3);
    session.ui.ShowFieldTexts(session.fields);
    return id;
}

}  // namespace

int ReadDeviceId(Session& session) {
    return ReadId(session).value_or(1);
}

Identity CheckTargetIdentity(Session& session) {
    const std::optional<int> read = ReadId(session);
    // A failed read is warned about as the ID 1, which no target has.
    const int id = read.value_or(1);
    const DeviceInfo& target = session.CurrentTarget;
    if (IdFits(target, id)) {
        return Identity::Matches;
    }
    // The warning shows what was compared.
    session.ui.ShowMessage(WrongTargetWarning(target.name, id & target.IdMask()));
    session.ui.PauseAfterWarning(WARNING_PAUSE_MS);
    return read ? Identity::Differs : Identity::Unreadable;
}

int CheckDeviceId(Session& session) {
    return CheckTargetIdentity(session) == Identity::Matches ? 0 : 1;
}

ChipIdentification IdentifyChip(Session& session) {
    // The target is taken before the claim: while an operation runs the list is not read.
    RefreshCurrentTarget(session);
    OperationClaim claim(session);
    if (!claim) {
        return {claim.Refusal(), std::nullopt};
    }
    // Failures have been reported where they were found.
    const OperationResult failed{Outcome::CommunicationFailed, ""};
    if (BeginTransaction(session, "VEK-Flash programmer is not responding to commands.(170)",
                         "(17)") != TransactionStart::Ready) {
        return {failed, std::nullopt};
    }
    const std::optional<int> id = ReadId(session);
    if (!id) {
        return {failed, std::nullopt};
    }
    EndTransaction(session);
    return {{Outcome::Done, ""}, id};
}

}  // namespace vek
