// The programming stream: 66-byte blocks of an address word and 32 data words.
#include "firmware.h"

#include <algorithm>

#include "device/memory_image.h"
#include "link/protocol.h"
#include "timing.h"
#include "vek_sim.h"

namespace vek::sim {

namespace {

constexpr std::size_t BLOCK_BYTES = 2 * (1 + BLOCK_WORDS);
constexpr int CONFIG_BLOCK_WORDS = 8;  // 0x2000..0x2007; the rest of the block is ignored

}  // namespace

void Firmware::ReceiveBlockByte(std::uint8_t byte) {
    block_.push_back(byte);
    if (block_.size() == BLOCK_BYTES) {
        ExecuteBlock();
    }
}

void Firmware::ExecuteBlock() {
    const int address = block_[0] | block_[1] << 8;
    std::vector<std::uint16_t> words;
    for (int k = 0; k < BLOCK_WORDS; ++k) {
        words.push_back(static_cast<std::uint16_t>(block_[2 + 2 * k] | block_[3 + 2 * k] << 8));
    }
    block_.clear();

    const bool programBlock = address < chip_.Size(PROGRAM_SPACE);
    if (programBlock) {
        faults_.StartAnswer({VEKSIM_ANCHOR_BLOCK | address, VEKSIM_ANCHOR_ANY_PROGRAM_BLOCK});
        WriteProgramBlock(address, words);
        return;
    }
    faults_.StartAnswer({VEKSIM_ANCHOR_BLOCK | address});
    const int eepromOffset = address - BLOCK_EEPROM;
    if (address == BLOCK_END) {
        Reply(REPLY_OK, REPLY_BYTE_MS);
        mode_ = Mode::FRAMES;
    } else if (chip_.IsPic16() && address == BLOCK_CONFIG) {
        WriteConfigBlock(words);
    } else if (chip_.IsPic16() && eepromOffset >= 0 && eepromOffset < chip_.Size(EEPROM_SPACE)) {
        WriteEepromBlock(eepromOffset, words);
    } else {
        // Not a block this chip has: refused, and the stream goes on.
        Reply(REPLY_FAIL, REPLY_BYTE_MS);
    }
}

void Firmware::WriteProgramBlock(int address, const std::vector<std::uint16_t>& words) {
    Millis writeTime = 0;
    for (int k = 0; k < BLOCK_WORDS; ++k) {
        if (chip_.Write(PROGRAM_SPACE, address + k, words[k])) {
            writeTime += PROGRAM_WORD_MS;
        }
    }
    Reply(REPLY_OK, writeTime);
}

// Every configuration block is announced: the host checks for it on the second one too.
void Firmware::WriteConfigBlock(const std::vector<std::uint16_t>& words) {
    Reply(REPLY_READY, REPLY_BYTE_MS);
    for (int k = 0; k < CONFIG_BLOCK_WORDS; ++k) {
        chip_.Write(CONFIG_SPACE, k, words[k]);
    }
    Reply(REPLY_OK, CONFIG_BLOCK_WORDS * PROGRAM_WORD_MS);
}

// Only the bytes marked present are written; the others keep what the chip holds.
void Firmware::WriteEepromBlock(int offset, const std::vector<std::uint16_t>& words) {
    if (!eepromReadySent_) {
        Reply(REPLY_READY, REPLY_BYTE_MS);
        eepromReadySent_ = true;
    }
    Millis writeTime = REPLY_BYTE_MS;
    for (int k = 0; k < BLOCK_WORDS; ++k) {
        if ((words[k] & EEPROM_PRESENT) != 0 &&
            chip_.Write(EEPROM_SPACE, offset + k, words[k] & 0xFF)) {
            writeTime += EEPROM_BYTE_MS;
        }
    }
    Reply(REPLY_OK, writeTime);
}

}  // namespace vek::sim
