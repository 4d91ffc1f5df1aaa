#include "firmware.h"

#include <algorithm>
#include <csignal>

#include "link/protocol.h"
#include "timing.h"
#include "vek_sim.h"

namespace vek::sim {

void Firmware::PowerUp() {
    DropPartialState();
    inTransaction_ = false;
    powerAllowed_ = false;
    powerOn_ = false;
    busyUntil_ = 0;
}

void Firmware::DropPartialState() {
    mode_ = Mode::FRAMES;
    frame_.clear();
    block_.clear();
    busyUntil_ = std::min(busyUntil_, clock_.Now());
}

void Firmware::Receive(std::uint8_t byte) {
    switch (mode_) {
        case Mode::FRAMES:
            ReceiveFrameByte(byte);
            return;
        case Mode::PROGRAM_STREAM:
            ReceiveBlockByte(byte);
            return;
        case Mode::READ_STREAM:
            ReceiveReadAnswer(byte);
            return;
    }
}

int Firmware::PowerState() const {
    return (powerAllowed_ ? 1 : 0) | (powerOn_ ? 2 : 0);
}

void Firmware::ReceiveFrameByte(std::uint8_t byte) {
    if (frame_.empty()) {
        // No frame is that long or empty: noise between frames, not a length byte.
        if (byte == 0 || byte > MAX_PAYLOAD) {
            return;
        }
        frame_.push_back(byte);
        return;
    }
    if (frame_.size() < 1u + frame_[0]) {
        frame_.push_back(byte);
        return;
    }
    std::uint8_t check = 0;
    for (std::uint8_t frameByte : frame_) {
        check ^= frameByte;
    }
    payload_.assign(frame_.begin() + 1, frame_.end());
    frame_.clear();
    // A damaged frame gets no answer at all.
    if (byte != check) {
        return;
    }
    Execute();
}

void Firmware::Execute() {
    const std::uint8_t code = payload_[0];
    faults_.StartAnswer({code});
    Reply(REPLY_FRAME_OK, FRAME_ACK_MS);
    switch (code) {
        case CMD_BEGIN:
            inTransaction_ = true;
            Reply(REPLY_READY, BEGIN_READY_MS);
            return;
        case CMD_END:
            inTransaction_ = false;
            return;
        case CMD_ALLOW_POWER:
            powerAllowed_ = PayloadByte(1) != 0;
            // Withdrawing the permission also switches off a target that is powered.
            powerOn_ = powerOn_ && powerAllowed_;
            return;
        case CMD_POWER_ON:
            powerOn_ = powerAllowed_;
            return;
        case CMD_POWER_OFF:
            powerOn_ = false;
            return;
    }
    // Target commands need an open transaction; outside one they are only acknowledged.
    if (inTransaction_) {
        ExecuteTargetCommand(code);
    }
}

void Firmware::ExecuteTargetCommand(std::uint8_t code) {
    if (code != CMD_READ_ID) {
        socket_.NoteWork();
    }
    switch (code) {
        case CMD_READ_ID:
            ReadId();
            return;
        case CMD_BLANK_CHECK:
            BlankCheck();
            return;
        case CMD_BULK_ERASE:
            BulkErase();
            return;
        case CMD_PROGRAM_FUSEX:
            ProgramFusex();
            return;
        case CMD_PROGRAM:
            StartProgramming();
            return;
        case CMD_READ:
            StartReadStream();
            return;
    }
}

// The ID of the chip in the socket, whatever index the host names.
void Firmware::ReadId() {
    socket_.BeforeIdRead(chip_);
    const std::uint16_t id = chip_.DeviceId();
    Reply(static_cast<std::uint8_t>(id & 0xFF), REPLY_BYTE_MS);
    Reply(static_cast<std::uint8_t>(id >> 8), REPLY_BYTE_MS);
}

void Firmware::BlankCheck() {
    const int words = std::min<int>(PayloadWord(2), chip_.Size(PROGRAM_SPACE));
    Reply(REPLY_READY, REPLY_BYTE_MS);
    Reply(chip_.ProgramBlank(words) ? REPLY_OK : REPLY_FAIL, BlankCheckMs(words));
}

void Firmware::BulkErase() {
    if (chip_.IsPic16()) {
        Reply(REPLY_READY, REPLY_BYTE_MS);
        Reply(REPLY_READY, REPLY_BYTE_MS);
    }
    chip_.Erase();
    Reply(REPLY_OK, ERASE_MS);
}

// Payload: index, program words, EEPROM bytes, FUSE word, FUSEX word.
void Firmware::ProgramFusex() {
    if (!chip_.IsPic16()) {
        chip_.Write(FUSEX_SPACE, 0, PayloadWord(8));
    }
    Reply(REPLY_OK, FUSE_WRITE_MS);
}

void Firmware::StartProgramming() {
    if (!chip_.IsPic16()) {
        Reply(REPLY_READY, REPLY_BYTE_MS);
        // A FUSE result of REPLY_FAIL reports the word as not written, so it is not.
        if (Reply(REPLY_OK, FUSE_WRITE_MS) != REPLY_FAIL) {
            chip_.Write(FUSE_SPACE, 0, PayloadWord(6));
        }
    }
    mode_ = Mode::PROGRAM_STREAM;
    block_.clear();
    eepromReadySent_ = false;
}

// Fields the frame is too short to carry count as 0.
std::uint8_t Firmware::PayloadByte(std::size_t offset) const {
    return offset < payload_.size() ? payload_[offset] : 0;
}

std::uint16_t Firmware::PayloadWord(std::size_t offset) const {
    return static_cast<std::uint16_t>(PayloadByte(offset) | PayloadByte(offset + 1) << 8);
}

std::optional<std::uint8_t> Firmware::Reply(std::uint8_t byte, Millis after) {
    Millis readyAt = std::max(clock_.Now(), busyUntil_) + after;
    const std::optional<ReplyFault> fault = faults_.NextAnswerByte();
    const int action = fault ? fault->action : -1;
    if (action == VEKSIM_DELAY) {
        readyAt += static_cast<Millis>(std::max(fault->value, 0));
    }
    busyUntil_ = readyAt;
    busyMs_ += after;
    if (action == VEKSIM_DROP) {
        return std::nullopt;
    }
    if (action == VEKSIM_REPLACE) {
        byte = static_cast<std::uint8_t>(fault->value);
    }
    queue_.Push(byte, readyAt);
    if (action == VEKSIM_APPEND) {
        for (int stray = 0; stray < fault->value; ++stray) {
            queue_.Push(0x00, readyAt);
        }
    }
#if !defined(_WIN32)
    if (action == VEKSIM_STOP) {
        raise(SIGSTOP);
    }
#endif
    return byte;
}

}  // namespace vek::sim
