#include "device/hex_writer.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "device/hex_text.h"

namespace vek {

namespace {

constexpr int RECORD_DATA_BYTES = 16;
constexpr int WORD_MASK = 0xFFFF;
constexpr int EEPROM_BYTE_MASK = 0xFF;

// One record: count, address, type and data, with the checksum that makes their bytes sum to 0.
std::string Record(int byteAddress, int recordType, const std::vector<std::uint8_t>& data) {
    const auto address = static_cast<unsigned>(byteAddress);
    const auto type = static_cast<unsigned>(recordType);
    unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF) + type;
    std::string line = ":" + HexDigits(static_cast<unsigned>(data.size()), 2) +
                       HexDigits(address, 4) + HexDigits(type, 2);
    for (const std::uint8_t byte : data) {
        line += HexDigits(byte, 2);
        sum += byte;
    }
    return line + HexDigits((0x100 - (sum & 0xFF)) & 0xFF, 2) + "\n";
}

void AppendWord(std::vector<std::uint8_t>& bytes, int word) {
    bytes.push_back(static_cast<std::uint8_t>(word & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((word >> 8) & 0xFF));
}

// Words from `firstWord` on, as records of at most 16 bytes.
std::string Records(int firstWord, const std::vector<int>& words) {
    std::string text;
    constexpr int wordsPerRecord = RECORD_DATA_BYTES / 2;
    for (std::size_t start = 0; start < words.size(); start += wordsPerRecord) {
        std::vector<std::uint8_t> bytes;
        const std::size_t end = std::min(words.size(), start + wordsPerRecord);
        for (std::size_t k = start; k < end; ++k) {
            AppendWord(bytes, words[k]);
        }
        text += Record(2 * (firstWord + static_cast<int>(start)), HEX_DATA_RECORD, bytes);
    }
    return text;
}

std::vector<int> Entries(const MemoryImage& image, int first, int count, int mask) {
    std::vector<int> words;
    for (int address = first; address < first + count; ++address) {
        words.push_back(image[address] & mask);
    }
    return words;
}

}  // namespace

std::string HexFileText(const MemoryImage& image, const DeviceInfo& target,
                        ConfigurationWords words) {
    std::string text = Records(0, Entries(image, 0, target.programWords, WORD_MASK));
    if (target.family == TargetFamily::SX) {
        text += Records(SX_FUSE_ADDR, {words.fuse & WORD_MASK, words.fuseX & WORD_MASK});
    } else {
        text += Records(CONFIG_WORD_ADDR, {words.fuse & WORD_MASK});
        text +=
            Records(EEPROM_ADDR, Entries(image, EEPROM_ADDR, target.eepromBytes, EEPROM_BYTE_MASK));
    }
    return text + Record(0, HEX_END_RECORD, {});
}

}  // namespace vek
