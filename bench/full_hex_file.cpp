#include "full_hex_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "device/memory_image.h"

namespace vek::bench {

namespace {

constexpr int BYTES_PER_RECORD = 16;
constexpr int PIC16_WORD_MASK = 0x3FFF;
constexpr int SX_WORD_MASK = 0x0FFF;
// Bit 8 set: the data EEPROM stays writable, so the configuration block goes once.
constexpr int PIC16_CONFIG_WORD = 0x3F72;
constexpr int SX_FUSE_WORD = 0x7F3;
constexpr int SX_FUSEX_WORD = 0xF40;

// Data records of 16 bytes from the byte address on, each with its checksum.
std::string DataRecords(int byteAddress, const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::size_t first = 0; first < bytes.size(); first += BYTES_PER_RECORD) {
        const std::size_t count = std::min<std::size_t>(BYTES_PER_RECORD, bytes.size() - first);
        const int address = byteAddress + static_cast<int>(first);
        char field[16];
        std::snprintf(field, sizeof field, ":%02X%04X00", static_cast<unsigned>(count),
                      static_cast<unsigned>(address));
        text += field;
        unsigned sum = static_cast<unsigned>(count) + (address >> 8) + (address & 0xFF);
        for (std::size_t k = first; k < first + count; ++k) {
            std::snprintf(field, sizeof field, "%02X", bytes[k]);
            text += field;
            sum += bytes[k];
        }
        std::snprintf(field, sizeof field, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
        text += field;
    }
    return text;
}

// Words low byte first, as a HEX file carries them.
void AppendWord(std::vector<std::uint8_t>& bytes, int word) {
    bytes.push_back(static_cast<std::uint8_t>(word & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(word >> 8 & 0xFF));
}

}  // namespace

std::string FullHexFileText(const DeviceInfo& target) {
    const bool pic16 = target.family == TargetFamily::PIC16;
    std::vector<std::uint8_t> program;
    for (int address = 0; address < target.programWords; ++address) {
        AppendWord(program, (address * 0x9E5 + 0x3C1) & (pic16 ? PIC16_WORD_MASK : SX_WORD_MASK));
    }
    std::string text = DataRecords(0, program);

    std::vector<std::uint8_t> configuration;
    if (pic16) {
        AppendWord(configuration, PIC16_CONFIG_WORD);
        text += DataRecords(2 * CONFIG_WORD_ADDR, configuration);
        std::vector<std::uint8_t> eeprom;
        for (int location = 0; location < target.eepromBytes; ++location) {
            AppendWord(eeprom, (location * 37 + 11) & 0xFF);
        }
        text += DataRecords(2 * EEPROM_ADDR, eeprom);
    } else {
        AppendWord(configuration, SX_FUSE_WORD);
        AppendWord(configuration, SX_FUSEX_WORD);
        text += DataRecords(2 * SX_FUSE_ADDR, configuration);
    }
    return text + ":00000001FF\n";
}

}  // namespace vek::bench
