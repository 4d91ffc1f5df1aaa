#include "operations/read_stream.h"

#include <array>

namespace vek {

namespace {

constexpr int READ_BLOCK_WORDS = READ_BLOCK_BYTES / 2;
constexpr int CONFIGURATION_BYTES = 4;
constexpr int DRAIN_PAUSE_MS = 2;
// A byte left over reaches the host one latency period after the stream's last bytes at the
// latest, and a few USB frames later.
constexpr std::uint32_t LEFTOVER_MARGIN_MS = 4;
constexpr const char* MSG_PROGRAM_READ_WRITE_FAILED =
    "Could not WRITE the device during program memory read.";
constexpr const char* MSG_WORD_TOO_WIDE =
    "Error: Communication with VEK Flash programmer failed. A word read was wider than the "
    "chip's words. (T23)";

int Word(std::uint8_t low, std::uint8_t high) {
    return low | (high << 8);
}

}  // namespace

ReadStream::ReadStream(Programmer& programmer, const DeviceInfo& target, MemoryImage& image)
    : reporter_(programmer.reporter), link_(programmer.link), target_(target), image_(image) {}

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

bool ReadStream::TakeConfiguration(const std::string& unreadable, ConfigurationWords& words) {
    std::array<std::uint8_t, CONFIGURATION_BYTES> bytes{};
    std::uint32_t received = 0;
    if (link_.Read(bytes, received) != UsbStatus::Ok) {
        return Fail(unreadable);
    }
    if (received < CONFIGURATION_BYTES) {
        return Fail("Error: Could not read from device. (T4)");
    }
    words = {Word(bytes[0], bytes[1]), Word(bytes[2], bytes[3])};
    const bool sx = target_.family == TargetFamily::SX;
    if (!FitsTargetWord(words.fuse) || (sx && !FitsTargetWord(words.fuseX))) {
        return Fail(MSG_WORD_TOO_WIDE);
    }
    return true;
}

bool ReadStream::FitsTargetWord(int word) const {
    return (word & ~target_.WordMask()) == 0;
}

int ReadStream::ProgramBlocks() const {
    return target_.programWords / READ_BLOCK_WORDS;
}

int ReadStream::EepromBlocks() const {
    return target_.eepromBytes / READ_BLOCK_BYTES;
}

bool ReadStream::Fail(const std::string& message) {
    reporter_.ShowMessage(message);
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
        reporter_.SetProgress(100 * block / programBlocks);
        reporter_.PumpOneEvent();
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
    return CheckNothingLeftOver();
}

// A byte after the stream means that one came twice or crept in, and every block after it
// was taken a byte off.
bool ReadStream::CheckNothingLeftOver() {
    link_.SetTimeouts(link_.LatencyTimerMs() + LEFTOVER_MARGIN_MS, TIMEOUT_NORMAL_MS);
    std::uint8_t byte = 0;
    std::uint32_t received = 0;
    const UsbStatus status = link_.Read({&byte, 1}, received);
    link_.SetTimeouts(TIMEOUT_NORMAL_MS, TIMEOUT_NORMAL_MS);
    if (status != UsbStatus::Ok) {
        return Fail("Could not read from device. (T21)");
    }
    if (received > 0) {
        return Fail(
            "Error: Communication with VEK Flash programmer failed. Bytes were left over after "
            "the read. (T22)");
    }
    return true;
}

bool ReadStream::ReadProgramBlock(int block, const std::string& unreadable) {
    std::array<std::uint8_t, READ_BLOCK_BYTES> bytes{};
    std::uint32_t received = 0;
    if (link_.Read(bytes, received) != UsbStatus::Ok) {
        return Fail(unreadable);
    }
    if (received < READ_BLOCK_BYTES) {
        // The header comes before the first block without an answer of ours, and has no
        // resend: a byte it lost would make this block short as well.
        if (block == 0) {
            return Fail(
                "Error: Communication with VEK Flash programmer failed. The first block of the "
                "read arrived short. (T24)");
        }
        if (!ResendShortBlock(bytes)) {
            return false;
        }
    }
    for (int k = 0; k < READ_BLOCK_WORDS; ++k) {
        const int word = Word(bytes[2 * k], bytes[2 * k + 1]);
        if (!FitsTargetWord(word)) {
            return Fail(MSG_WORD_TOO_WIDE);
        }
        image_[block * READ_BLOCK_WORDS + k] = word;
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
        image_[EEPROM_ADDR + block * READ_BLOCK_BYTES + k] = bytes[k];
    }
    return Acknowledge("Could not WRITE the programmer during EEPROM read.");
}

bool ReadStream::ResendShortBlock(std::span<std::uint8_t, READ_BLOCK_BYTES> block) {
    // The short block's bytes go with whatever follows them; the last read waits out the
    // read time-out.
    do {
        reporter_.Pause(DRAIN_PAUSE_MS);
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
