#include "full_hex_file.h"

#include "device/hex_writer.h"
#include "device/memory_image.h"

namespace vek::bench {

namespace {

constexpr int PIC16_WORD_MASK = 0x3FFF;
constexpr int SX_WORD_MASK = 0x0FFF;
// Bit 8 set: the data EEPROM stays writable, so the configuration block goes once.
constexpr int PIC16_CONFIG_WORD = 0x3F72;
constexpr int SX_FUSE_WORD = 0x7FB;  // code protection off, so that it reads back
constexpr int SX_FUSEX_WORD = 0xF40;

}  // namespace

std::string FullHexFileText(const DeviceInfo& target) {
    const bool pic16 = target.family == TargetFamily::PIC16;
    MemoryImage image;
    for (int address = 0; address < target.programWords; ++address) {
        image[address] = (address * 0x9E5 + 0x3C1) & (pic16 ? PIC16_WORD_MASK : SX_WORD_MASK);
    }
    for (int location = 0; location < target.eepromBytes; ++location) {
        image[EEPROM_ADDR + location] = (location * 37 + 11) & 0xFF;
    }
    const ConfigurationWords words = pic16 ? ConfigurationWords{PIC16_CONFIG_WORD, 0}
                                           : ConfigurationWords{SX_FUSE_WORD, SX_FUSEX_WORD};
    return HexFileText(image, target, words);
}

}  // namespace vek::bench
