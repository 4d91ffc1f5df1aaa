#include "operations/verify.h"

#include <array>

#include "device/hex_file.h"
#include "device/hex_text.h"
#include "device/image_compare.h"
#include "operations/device_id.h"
#include "operations/operation_claim.h"
#include "operations/read_stream.h"
#include "session/hex_file_open.h"
#include "session/processor_selection.h"

namespace vek {

namespace {

constexpr int CONFIGURATION_BYTES = 4;

std::string MismatchMessage(const ImageDifference& difference) {
    switch (difference.kind) {
        case DifferenceKind::ProgramWord:
            // Without a closing parenthesis, as the person has always seen it.
            return Printf("Program ROM verify failed at word %d. (expected 0x%4.4X, read 0x%4.4X",
                          difference.address, static_cast<unsigned>(difference.expected),
                          static_cast<unsigned>(difference.read));
        case DifferenceKind::FuseXWord:
            return Printf("Verify FuseX failed. Read %3.3X, expected %3.3X",
                          static_cast<unsigned>(difference.read),
                          static_cast<unsigned>(difference.expected));
        case DifferenceKind::FuseWord:
            return Printf("Verify Fuse failed. Read %4.4X, expected %4.4X",
                          static_cast<unsigned>(difference.read),
                          static_cast<unsigned>(difference.expected));
        case DifferenceKind::EepromByte:
            return Printf("EE Data Verify failed at %Xh (EE location %d)", difference.address,
                          difference.address - EEPROM_ADDR);
    }
    return "";
}

class Verification {
  public:
    explicit Verification(Session& session)
        : session_(session),
          link_(session.link),
          target_(session.CurrentTarget),
          stream_(session) {}

    OperationResult Run() {
        if (session_.HexFileName.empty()) {
            return Conclude(Outcome::NoHexFile, "Error: You must first load a HEX file.");
        }
        // A file without a data byte would pass against any chip.
        if (FindHexData(session_.HexFilePath) == HEX_NO_DATA) {
            return Conclude(Outcome::HexFileError, NoHexDataMessage(session_.HexFileName));
        }
        if (!link_.SendCommand({CMD_BEGIN, target_.processorIndex})) {
            return {Outcome::CommunicationFailed, ""};
        }
        // Whatever the reply says, the read-back goes on; only a failed read stops it.
        if (link_.ReadReply().ReadFailed()) {
            return Conclude(Outcome::CommunicationFailed,
                            "VEK-Flash programmer is not responding to commands.(134)");
        }
        switch (CheckTargetIdentity(session_)) {
            case Identity::Matches:
                break;
            case Identity::Differs:
                return {Outcome::WrongDevice, ""};
            case Identity::Unreadable:
                return {Outcome::CommunicationFailed, ""};
        }
        if (!ReadBackForVerify()) {
            return result_;
        }
        return Compare();
    }

  private:
    TargetFamily Family() const { return target_.family; }

    // Shows the message that ends the operation and keeps it as the result.
    OperationResult Conclude(Outcome outcome, const std::string& message) {
        session_.ui.ShowMessage(message);
        result_ = {outcome, message};
        return result_;
    }
    bool FailReading(const std::string& message) {
        Conclude(Outcome::CommunicationFailed, message);
        return false;
    }

    // The whole chip into the session's image and its configuration words into readFuse and
    // readFuseX; the transaction is ended when all has arrived.
    bool ReadBackForVerify() {
        if (!stream_.Request()) {
            result_ = {Outcome::CommunicationFailed, ""};
            return false;
        }
        if (!stream_.TakeFirstByte()) {
            result_ = {Outcome::CommunicationFailed, stream_.Failure()};
            return false;
        }
        std::array<std::uint8_t, CONFIGURATION_BYTES> configuration{};
        std::uint32_t received = 0;
        if (link_.Read(configuration, received) != UsbStatus::Ok) {
            return FailReading("Could not read from device. (T15)");
        }
        session_.readFuse = static_cast<std::uint16_t>(configuration[0] | (configuration[1] << 8));
        session_.readFuseX = static_cast<std::uint16_t>(configuration[2] | (configuration[3] << 8));
        if (link_.ReadReply().ReadFailed()) {
            return FailReading("VEK-Flash programmer not responding to commands.(1161)");
        }
        if (!stream_.ReadMemoryBlocks("Could not read from device. (T19)")) {
            result_ = {Outcome::CommunicationFailed, stream_.Failure()};
            return false;
        }
        EndTransaction(session_);
        return true;
    }

    // The file as it stands on disk now, against what the chip holds and the fields show.
    OperationResult Compare() {
        MemoryImage fileImage;
        if (!LoadHexInto(session_.HexFilePath, fileImage, LoadVariant::Verify, Family())) {
            return Conclude(Outcome::HexFileError,
                            "The hex file " + session_.HexFileName + " could not be opened.");
        }
        fileImage.Place(session_.fileOverlay);
        // The words last written into the fields count.
        session_.fields = session_.ui.TakeFieldTexts();
        const ConfigurationWords expected{HexToInt(session_.fields.FuseText),
                                          HexToInt(session_.fields.FuseXText)};
        const std::vector<ImageDifference> differences = CompareWithFile(
            fileImage, session_.image, target_, expected, {session_.readFuse, session_.readFuseX});
        if (!differences.empty()) {
            Conclude(Outcome::Mismatch, MismatchMessage(differences.front()));
            result_.differences = differences;
            return result_;
        }
        EndTransaction(session_);
        return Conclude(Outcome::Done, "Verify passed");
    }

    Session& session_;
    ProgrammerLink& link_;
    const DeviceInfo& target_;
    ReadStream stream_;
    OperationResult result_;
};

}  // namespace

OperationResult VerifyTarget(Session& session) {
    return RunClaimed(session, [&session] { return Verification(session).Run(); });
}

}  // namespace vek
