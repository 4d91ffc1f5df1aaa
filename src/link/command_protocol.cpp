// Framing of commands and data words on the programmer's byte stream.
#include <algorithm>
#include <array>

#include "link/link_messages.h"
#include "link/programmer_link.h"
#include "link/protocol.h"

namespace vek {

namespace {

// A word or block the driver would not take; the block's acknowledgement decides.
constexpr const char* MSG_WRITE_FAILED_T16 = "Error: Could not write to VEK Flash programmer.(T16)";

// The low 16 bits of value, low byte first.
void PutWord(std::uint8_t* bytes, int value) {
    bytes[0] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

}  // namespace

std::string FatalMessage(const std::string& code) {
    return "VEK Flash programmer is not responding to commands." + code +
           "\nDisconnect the programmer from the USB cable, check\nthe processor type and try "
           "again.\n\nThis application will now terminate!";
}

bool ProgrammerLink::SendCommand(const std::uint8_t* payload, std::size_t length) {
    if (shutDown_) {
        return false;  // the application is ending; its message has been shown
    }
    if (length == 0 || length > MAX_PAYLOAD) {
        return false;  // no command of ours is framed so; never overrun the frame
    }
    Purge();  // stale bytes must never count as this frame's acknowledgement
    SetTimeouts(TIMEOUT_NORMAL_MS, TIMEOUT_NORMAL_MS);

    std::array<std::uint8_t, MAX_PAYLOAD + 2> frame{};
    frame[0] = static_cast<std::uint8_t>(length);
    std::uint8_t check = frame[0];
    for (std::size_t i = 0; i < length; ++i) {
        frame[1 + i] = payload[i];
        check ^= payload[i];
    }
    frame[1 + length] = check;

    std::uint32_t written = 0;
    if (Write({frame.data(), length + 2}, written) != UsbStatus::Ok) {
        reporter_.ShowMessage("Driver error writing to VEK Flash. ");
        return false;
    }
    const Reply ack = ReadReply();
    if (ack.ReadFailed()) {
        reporter_.ShowMessage("VEK-Flash programmer not responding to commands.(139)");
        return false;
    }
    if (ack.Is(REPLY_FRAME_OK)) {
        return true;
    }
    reporter_.ShowMessage(FatalMessage("(1f)"));
    FatalLinkShutdown();
    return false;
}

bool ProgrammerLink::SendCommand(std::initializer_list<std::uint8_t> payload) {
    return SendCommand(payload.begin(), payload.size());
}

bool ProgrammerLink::SendWord(int value) {
    if (shutDown_) {
        return false;
    }
    std::uint8_t bytes[2];
    PutWord(bytes, value);
    std::uint32_t written = 0;
    if (Write(bytes, written) != UsbStatus::Ok) {
        reporter_.ShowMessage(MSG_WRITE_FAILED_T16);
        return false;
    }
    return true;
}

void ProgrammerLink::SendBlock(int address, std::span<const std::int32_t, BLOCK_WORDS> words) {
    if (shutDown_) {
        return;
    }
    if (!fastTransfers_) {
        SendWord(address);
        for (std::int32_t word : words) {
            SendWord(word);
        }
        return;
    }
    // The same bytes as word by word, in one write: the board cannot tell the difference.
    std::array<std::uint8_t, 2 * (1 + BLOCK_WORDS)> bytes{};
    PutWord(&bytes[0], address);
    for (std::size_t k = 0; k < words.size(); ++k) {
        PutWord(&bytes[2 + 2 * k], words[k]);
    }
    std::uint32_t written = 0;
    if (Write(bytes, written) != UsbStatus::Ok) {
        reporter_.ShowMessage(MSG_WRITE_FAILED_T16);
    }
}

void ProgrammerLink::DrainInput() {
    std::array<std::uint8_t, 256> discard{};
    std::uint32_t waiting = 0;
    do {
        reporter_.Pause(2);
        waiting = 0;
        if (Queued(waiting) != UsbStatus::Ok) {
            return;  // a gone device has nothing left to drain
        }
        std::uint32_t left = waiting;
        while (left > 0) {
            const std::uint32_t chunk = std::min<std::uint32_t>(left, discard.size());
            std::uint32_t received = 0;
            if (Read({discard.data(), chunk}, received) != UsbStatus::Ok || received == 0) {
                return;
            }
            left -= received;
        }
    } while (waiting != 0);
}

Reply ProgrammerLink::ReadReply() {
    Reply reply;
    std::uint32_t received = 0;
    if (Read({&reply.byte, 1}, received) != UsbStatus::Ok) {
        reply.status = Reply::Status::ReadFailed;
    } else {
        reply.status = received == 1 ? Reply::Status::Arrived : Reply::Status::Missing;
    }
    return reply;
}

void ProgrammerLink::FatalLinkShutdown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    Close();
}

}  // namespace vek
