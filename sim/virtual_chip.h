// The chip in the programmer's socket: its type and its memory spaces.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vek::sim {

enum class Family { PIC16, SX };

// The simulator's own table of the targets, kept apart from the host's on purpose.
struct ChipModel {
    std::string_view name;
    Family family;
    std::uint16_t deviceId;
    int programWords;
    int eepromBytes;
};

const ChipModel* FindChipModel(std::string_view name);
const ChipModel& DefaultChipModel();

// Memory spaces, numbered as in vek_sim.h.
enum Space { PROGRAM_SPACE, EEPROM_SPACE, CONFIG_SPACE, FUSE_SPACE, FUSEX_SPACE, SPACE_COUNT };

class VirtualChip {
  public:
    VirtualChip() { Insert(DefaultChipModel()); }

    // A fresh, blank chip of this type, answering its own device ID.
    void Insert(const ChipModel& model);
    const ChipModel& Model() const { return *model_; }
    bool IsPic16() const { return model_->family == Family::PIC16; }

    std::uint16_t DeviceId() const { return deviceId_; }
    void SetDeviceId(unsigned raw) { deviceId_ = static_cast<std::uint16_t>(raw); }
    // A program word that will not program: writes leave its erased value, until the next chip.
    void SetStuckProgramWord(int address) { stuckProgramWord_ = address; }

    int Size(int space) const;
    // -1 when the space or index does not exist on this chip.
    int Read(int space, int index) const;
    // Masked to the space's width; false when the space or index does not exist.
    bool Write(int space, int index, int value);

    // A program word as the chip delivers it; addresses past the memory read blank.
    std::uint16_t ProgramWord(int address) const;
    // An EEPROM byte as the chip delivers it; locations past the memory read erased.
    std::uint8_t EepromByte(int location) const;
    std::uint16_t BlankWord(int space) const;
    bool ProgramBlank(int words) const;
    void Erase();

    // Counts every change of the memory, so that the owner knows when to save it.
    unsigned Revision() const { return revision_; }

  private:
    bool Exists(int space, int index) const;

    const ChipModel* model_ = nullptr;
    std::uint16_t deviceId_ = 0;
    int stuckProgramWord_ = -1;
    std::array<std::vector<std::uint16_t>, SPACE_COUNT> spaces_;
    unsigned revision_ = 0;
};

}  // namespace vek::sim
