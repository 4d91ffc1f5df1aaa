#include "operations/read_stream.h"

#include <array>

namespace vek {

namespace {

constexpr int READ_BLOCK_WORDS = READ_BLOCK_BYTES / 2;
constexpr int DRAIN_PAUSE_MS = 2;
constexpr const char* MSG_PROGRAM_READ_WRITE_FAILED =
    "Could not WRITE the device during program memory read.";

}  // namespace

ReadStream::ReadStream(Session& session)
    : session_(session), link_(session.link), target_(session.CurrentTarget) {}

bool ReadStream::Request() {
    return link_.SendCommand({CMD_READ, target_.processorIndex, LowByte(target_.programWords),
                              HighByte(target_.programWords), LowByte(target_.eepromBytes),
                              HighByte(target_.eepromBytes)});
}

bool ReadStream::TakeFirstByte() {
    if (link_.ReadReply().ReadFailed()) {
        return Fail("VEK-Flash programmer is not responding to commands.(1161)");
    }
    return true;
}

int ReadStream::ProgramBlocks() const {
    return target_.programWords / READ_BLOCK_WORDS;
}

int ReadStream::EepromBlocks() const {
    return target_.eepromBytes / READ_BLOCK_BYTES;
}

bool ReadStream::Fail(const std::string& message) {
    failure_ = message;
    session_.ui.ShowMessage(message);
    return false;
}

bool ReadStream::Acknowledge(const char* writeFailed) {
    std::uint32_t written = 0;
    if (link_.Write({&HOST_ACK, 1}, written) != UsbStatus::Ok) {
        return Fail(writeFailed);
    }
    return true;
}

bool ReadStream::ReadMemoryBlocks(const std::string& programBlockUnreadable) {
    const int programBlocks = ProgramBlocks();
    for (int block = 0; block < programBlocks; ++block) {
        session_.ui.SetProgress(100 * block / programBlocks);
        session_.ui.PumpOneEvent();
        if (!ReadProgramBlock(block, programBlockUnreadable)) {
            return false;
        }
    }
    // A byte the programmer puts before the EEPROM, whatever it is; left queued by a failed
    // call it would shift every EEPROM byte.
    if (target_.family == TargetFamily::PIC16 && link_.ReadReply().ReadFailed()) {
        return Fail("Could not read from device. (T9)");
    }
    for (int block = 0; block < EepromBlocks(); ++block) {
        if (!ReadEepromBlock(block)) {
            return false;
        }
    }
    return true;
}

bool ReadStream::ReadProgramBlock(int block, const std::string& unreadable) {
    std::array<std::uint8_t, READ_BLOCK_BYTES> bytes{};
    std::uint32_t received = 0;
    if (link_.Read(bytes, received) != UsbStatus::Ok) {
        return Fail(unreadable);
    }
    if (received < READ_BLOCK_BYTES && !ResendShortBlock(bytes)) {
        return false;
    }
    for (int k = 0; k < READ_BLOCK_WORDS; ++k) {
        session_.image[block * READ_BLOCK_WORDS + k] = bytes[2 * k] | (bytes[2 * k + 1] << 8);
    }
    return Acknowledge(MSG_PROGRAM_READ_WRITE_FAILED);
}

bool ReadStream::ReadEepromBlock(int block) {
    std::array<std::uint8_t, READ_BLOCK_BYTES> bytes{};
    std::uint32_t received = 0;
    if (link_.Read(bytes, received) != UsbStatus::Ok) {
        return Fail("Could not read from device. (T9)");
    }
    if (received < READ_BLOCK_BYTES) {
        return Fail("Could not read from device. (128)");  // EEPROM blocks are not resent
    }
    for (int k = 0; k < READ_BLOCK_BYTES; ++k) {
        session_.image[EEPROM_ADDR + block * READ_BLOCK_BYTES + k] = bytes[k];
    }
    return Acknowledge("Could not WRITE the programmer during EEPROM read.");
}

bool ReadStream::ResendShortBlock(std::span<std::uint8_t, READ_BLOCK_BYTES> block) {
    // The short block's bytes go with whatever follows them; the last read waits out the
    // read time-out.
    do {
        session_.ui.Pause(DRAIN_PAUSE_MS);
    } while (link_.ReadReply().status == Reply::Status::Arrived);
    std::uint32_t written = 0;
    if (link_.Write({&HOST_RESEND, 1}, written) != UsbStatus::Ok) {
        return Fail(MSG_PROGRAM_READ_WRITE_FAILED);
    }
    std::uint32_t received = 0;
    if (link_.Read(block, received) != UsbStatus::Ok) {
        return Fail("Could not read from device. (T4)");
    }
    if (received < READ_BLOCK_BYTES) {
        return Fail("Could not read from device. (64)");
    }
    return true;
}

}  // namespace vek
