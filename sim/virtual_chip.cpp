#include "virtual_chip.h"

#include <algorithm>

namespace vek::sim {

namespace {

constexpr std::array<ChipModel, 10> CHIP_MODELS = {{
    {"16F84A", Family::PIC16, 0x560, 1024, 64},
    {"16F870", Family::PIC16, 0xD00, 2048, 64},
    {"16F871", Family::PIC16, 0xD20, 2048, 64},
    {"16F872", Family::PIC16, 0x8E0, 2048, 64},
    {"16F873", Family::PIC16, 0x960, 4096, 128},
    {"16F874", Family::PIC16, 0x920, 4096, 128},
    {"16F876", Family::PIC16, 0x9E0, 8192, 256},
    {"16F877", Family::PIC16, 0x9A0, 8192, 256},
    {"SX28", Family::SX, 0xFCE, 2048, 0},
    {"SX48", Family::SX, 0x002, 4096, 0},
}};

// The configuration area of a PIC16: IDs at 0x2000..0x2003 up to the word at 0x2007.
constexpr int PIC16_CONFIG_WORDS = 8;
constexpr std::uint16_t PIC16_WORD_MASK = 0x3FFF;
constexpr std::uint16_t SX_WORD_MASK = 0x0FFF;
constexpr std::uint16_t EEPROM_MASK = 0xFF;

}  // namespace

const ChipModel* FindChipModel(std::string_view name) {
    auto found = std::find_if(CHIP_MODELS.begin(), CHIP_MODELS.end(),
                              [name](const ChipModel& model) { return model.name == name; });
    return found == CHIP_MODELS.end() ? nullptr : &*found;
}

const ChipModel& DefaultChipModel() {
    return CHIP_MODELS[0];
}

void VirtualChip::Insert(const ChipModel& model) {
    model_ = &model;
    deviceId_ = model.deviceId;
    stuckProgramWord_ = -1;
    const bool pic16 = model.family == Family::PIC16;
    spaces_[PROGRAM_SPACE].resize(model.programWords);
    spaces_[EEPROM_SPACE].resize(model.eepromBytes);
    spaces_[CONFIG_SPACE].resize(pic16 ? PIC16_CONFIG_WORDS : 0);
    spaces_[FUSE_SPACE].resize(pic16 ? 0 : 1);
    spaces_[FUSEX_SPACE].resize(pic16 ? 0 : 1);
    Erase();
}

int VirtualChip::Size(int space) const {
    if (space < 0 || space >= SPACE_COUNT) {
        return 0;
    }
    return static_cast<int>(spaces_[space].size());
}

bool VirtualChip::Exists(int space, int index) const {
    return index >= 0 && index < Size(space);
}

int VirtualChip::Read(int space, int index) const {
    if (!Exists(space, index)) {
        return -1;
    }
    return spaces_[space][index];
}

bool VirtualChip::Write(int space, int index, int value) {
    if (!Exists(space, index)) {
        return false;
    }
    if (space == PROGRAM_SPACE && index == stuckProgramWord_) {
        value = BlankWord(space);
    }
    // The blank word is also the space's mask: all implemented bits set.
    spaces_[space][index] = static_cast<std::uint16_t>(value) & BlankWord(space);
    ++revision_;
    return true;
}

std::uint16_t VirtualChip::ProgramWord(int address) const {
    return Exists(PROGRAM_SPACE, address) ? spaces_[PROGRAM_SPACE][address]
                                          : BlankWord(PROGRAM_SPACE);
}

std::uint8_t VirtualChip::EepromByte(int location) const {
    return static_cast<std::uint8_t>(
        Exists(EEPROM_SPACE, location) ? spaces_[EEPROM_SPACE][location] : BlankWord(EEPROM_SPACE));
}

std::uint16_t VirtualChip::BlankWord(int space) const {
    if (space == EEPROM_SPACE) {
        return EEPROM_MASK;
    }
    return IsPic16() ? PIC16_WORD_MASK : SX_WORD_MASK;
}

bool VirtualChip::ProgramBlank(int words) const {
    const auto& program = spaces_[PROGRAM_SPACE];
    const auto end = program.begin() + std::clamp(words, 0, Size(PROGRAM_SPACE));
    const std::uint16_t blank = BlankWord(PROGRAM_SPACE);
    return std::all_of(program.begin(), end, [blank](std::uint16_t word) { return word == blank; });
}

void VirtualChip::Erase() {
    for (int space = 0; space < SPACE_COUNT; ++space) {
        std::fill(spaces_[space].begin(), spaces_[space].end(), BlankWord(space));
    }
    ++revision_;
}

}  // namespace vek::sim
