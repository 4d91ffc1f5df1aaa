#include "operations/read.h"

#include <array>

#include "device/hex_text.h"
#include "device/listing.h"
#include "operations/device_id.h"
#include "operations/operation_claim.h"
#include "operations/read_stream.h"
#include "session/processor_selection.h"

namespace vek {

namespace {

constexpr int PAUSE_BEFORE_BEGIN_MS = 100;
constexpr int CONFIGURATION_BYTES = 4;

unsigned Word(int low, int high) {
    return static_cast<unsigned>(low | (high << 8));
}

class Reading {
  public:
    explicit Reading(Session& session)
        : session_(session),
          link_(session.link),
          target_(session.CurrentTarget),
          stream_(session) {}

    OperationResult Run() {
        session_.lastRead.reset();
        session_.ui.PrepareHexDataWindow();
        session_.ui.Pause(PAUSE_BEFORE_BEGIN_MS);
        if (!Begin()) {
            return result_;
        }
        if (!stream_.Request()) {
            return {Outcome::CommunicationFailed, ""};
        }
        if (stream_.TakeFirstByte()) {
            ReadTargetData();
        } else {
            Failed(stream_.Failure());
        }
        // The stream is left for the transaction's end however far it got.
        EndTransaction(session_);
        return result_;
    }

  private:
    bool IsPic16() const { return target_.family == TargetFamily::PIC16; }

    bool Fail(const std::string& message) {
        session_.ui.ShowMessage(message);
        return Failed(message);
    }
    // A failure whose message has been shown.
    bool Failed(std::string message = "") {
        result_ = {Outcome::CommunicationFailed, std::move(message)};
        return false;
    }

    // CMD_BEGIN, its REPLY_READY and the chip's identity.
    bool Begin() {
        switch (BeginTransaction(
            session_, "VEK-Flash programmer is not responding to commands.(126)", "(6)")) {
            case TransactionStart::Ready:
                break;
            case TransactionStart::SendFailed:
                return Fail("VEK-Flash programmer is not responding to commands.(125)");
            case TransactionStart::Failed:
                return Failed();
        }
        switch (CheckTargetIdentity(session_)) {
            case Identity::Matches:
                return true;
            case Identity::Differs:
                result_ = {Outcome::WrongDevice, ""};
                return false;
            case Identity::Unreadable:
                return Failed();
        }
        return false;
    }

    // The data phase, once CMD_READ has been accepted and its first byte taken.
    bool ReadTargetData() {
        std::array<std::uint8_t, CONFIGURATION_BYTES> configuration{};
        std::uint32_t received = 0;
        if (link_.Read(configuration, received) != UsbStatus::Ok) {
            return Fail("Could not read from device. (T3)");
        }
        if (received < CONFIGURATION_BYTES) {
            // Shown, and the words are taken from what did arrive.
            session_.ui.ShowMessage("Error: Could not read from device. (T4)");
        }
        ShowConfiguration(configuration);

        const Reply afterConfiguration = link_.ReadReply();
        if (afterConfiguration.ReadFailed()) {
            return Fail("Could not read from device. (T119)");
        }
        if (afterConfiguration.status == Reply::Status::Missing) {
            session_.ui.ShowMessage("Could not read from device. (T120)");
        }
        if (!stream_.ReadMemoryBlocks("Could not read from device. (T13)")) {
            return Failed(stream_.Failure());
        }
        session_.ui.ShowHexDataLines(
            DeviceListingLines(session_.image, stream_.ProgramBlocks(), stream_.EepromBlocks()));
        session_.lastRead = ReadContents{target_, session_.image, words_};
        return true;
    }

    // The chip's words into the fields and the editors' shared texts.
    void ShowConfiguration(const std::array<std::uint8_t, CONFIGURATION_BYTES>& bytes) {
        session_.fields = session_.ui.TakeFieldTexts();
        if (IsPic16()) {
            words_ = {static_cast<int>(Word(bytes[0], bytes[1])), 0};
            const std::string config = HexDigits(Word(bytes[0], bytes[1]), target_.WordDigits());
            session_.fields.FuseText = config;
            session_.fields.FuseXText = "---";
            session_.CurrentFuseText = config;
        } else {
            // The programmer's high bytes may carry more than the words' bits.
            const unsigned fuseWord = Word(bytes[0], bytes[1]) & target_.WordMask();
            const unsigned fuseXWord = Word(bytes[2], bytes[3]) & target_.WordMask();
            words_ = {static_cast<int>(fuseWord), static_cast<int>(fuseXWord)};
            const std::string fuse = HexDigits(fuseWord, target_.WordDigits());
            const std::string fuseX = HexDigits(fuseXWord, target_.WordDigits());
            session_.fields.FuseText = fuse;
            session_.fields.FuseXText = fuseX;
            session_.CurrentFuseText = fuse;
            session_.CurrentFuseXText = fuseX;
        }
        session_.ui.ShowFieldTexts(session_.fields);
        session_.ui.RefreshConfigEditors();
    }

    Session& session_;
    ProgrammerLink& link_;
    const DeviceInfo& target_;
    ReadStream stream_;
    OperationResult result_;
    ConfigurationWords words_;
};

}  // namespace

OperationResult ReadTarget(Session& session) {
    return RunClaimed(session, [&session] { return Reading(session).Run(); });
}

}  // namespace vek
