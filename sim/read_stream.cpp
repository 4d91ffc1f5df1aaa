// The read stream: a header with the configuration words, then 64-byte blocks, each sent
// when the host has acknowledged the one before.
#include "firmware.h"

#include <array>

#include "link/protocol.h"
#include "timing.h"

namespace vek::sim {

namespace {

constexpr int PIC16_CONFIG_WORD_INDEX = 7;  // 0x2007
constexpr int READ_BLOCK_WORDS = READ_BLOCK_BYTES / 2;

}  // namespace

// Payload: index, program words, EEPROM bytes.
void Firmware::StartReadStream() {
    read_ = ReadStream{};
    read_.programBlocks = PayloadWord(2) / READ_BLOCK_WORDS;
    read_.eepromBlocks = chip_.IsPic16() ? PayloadWord(4) / READ_BLOCK_BYTES : 0;
    read_.shortBlocks = faults_.TakeReadStreamFaults();
    mode_ = Mode::READ_STREAM;

    const int fuse = chip_.IsPic16() ? chip_.Read(CONFIG_SPACE, PIC16_CONFIG_WORD_INDEX)
                                     : chip_.Read(FUSE_SPACE, 0);
    const int fusex = chip_.IsPic16() ? 0 : chip_.Read(FUSEX_SPACE, 0);
    Reply(REPLY_READY, REPLY_BYTE_MS);
    Reply(static_cast<std::uint8_t>(fuse & 0xFF), REPLY_BYTE_MS);
    Reply(static_cast<std::uint8_t>(fuse >> 8), 0);
    Reply(static_cast<std::uint8_t>(fusex & 0xFF), 0);
    Reply(static_cast<std::uint8_t>(fusex >> 8), 0);
    Reply(REPLY_READY, REPLY_BYTE_MS);
    SendNextReadPart();
}

void Firmware::ReceiveReadAnswer(std::uint8_t byte) {
    if (byte == HOST_ACK) {
        ++read_.block;
        SendNextReadPart();
        return;
    }
    if (byte == HOST_RESEND) {
        SendReadBlock();
        return;
    }
    // The host has given up on the stream; its byte begins whatever it sends next.
    mode_ = Mode::FRAMES;
    ReceiveFrameByte(byte);
}

void Firmware::SendNextReadPart() {
    // A PIC16 sends one byte more between its program and its EEPROM blocks.
    if (read_.block == read_.programBlocks && chip_.IsPic16() && !read_.extraByteSent) {
        Reply(REPLY_READY, REPLY_BYTE_MS);
        read_.extraByteSent = true;
    }
    if (read_.block >= read_.programBlocks + read_.eepromBlocks) {
        mode_ = Mode::FRAMES;
        return;
    }
    SendReadBlock();
}

void Firmware::SendReadBlock() {
    std::array<std::uint8_t, READ_BLOCK_BYTES> bytes{};
    int length = 0;
    if (read_.block < read_.programBlocks) {
        for (int k = 0; k < READ_BLOCK_WORDS; ++k) {
            const std::uint16_t word = chip_.ProgramWord(read_.block * READ_BLOCK_WORDS + k);
            bytes[2 * k] = static_cast<std::uint8_t>(word & 0xFF);
            bytes[2 * k + 1] = static_cast<std::uint8_t>(word >> 8);
        }
        length = read_.shortBlocks.ProgramBlockLength(read_.block);
    } else {
        const int eepromBlock = read_.block - read_.programBlocks;
        for (int k = 0; k < READ_BLOCK_BYTES; ++k) {
            bytes[k] = chip_.EepromByte(eepromBlock * READ_BLOCK_BYTES + k);
        }
        length = read_.shortBlocks.EepromBlockLength(eepromBlock);
    }
    for (int i = 0; i < length; ++i) {
        Reply(bytes[i], i == 0 ? READ_BLOCK_MS : 0);
    }
}

}  // namespace vek::sim
