// The table of target words that loading, listing, Program, Verify and Read work on, indexed by
// target word address (the HEX byte address divided by 2).
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace vek {

inline constexpr int IMAGE_WORDS = 9000;

// Where things stand in the image.
inline constexpr int SX_FUSE_ADDR = 0x1010;
inline constexpr int SX_FUSEX_ADDR = 0x1011;
inline constexpr int CONFIG_AREA_ADDR = 0x2000;  // PIC16 ID locations, then the config word
inline constexpr int CONFIG_WORD_ADDR = 0x2007;
inline constexpr int EEPROM_ADDR = 0x2100;  // PIC16 data EEPROM, one byte per entry
inline constexpr int EEPROM_AREA_END = EEPROM_ADDR + 0x100;  // past the largest data EEPROM
// Program memory lies below the configuration area on every target.
inline constexpr int PROGRAM_AREA_END = CONFIG_AREA_ADDR;

// Blank values.
inline constexpr std::int32_t BLANK_PIC_WORD = 0x3FFF;
inline constexpr std::int32_t BLANK_SX_WORD = 0x0FFF;
inline constexpr std::int32_t BLANK_ID_WORD = 0x3F80;

// Marks kept above an entry's data bits. LOADED_MARK: the HEX file gave this entry (the
// listing's load); it sits above all 16 bits a file word has, so that a word such as 0xFFFF
// is still listed as it stands. EEPROM_PRESENT: the file gave this EEPROM byte, so that a 0x00 from
// the file differs from the blank 0; the programmer reads the same bit in an EEPROM block word.
inline constexpr std::int32_t LOADED_MARK = 0x10000;
inline constexpr std::int32_t EEPROM_PRESENT = 0x100;

// An entry changed in the bits of mask only, as a serial number overlays the file's words.
struct ImageWord {
    int address = 0;
    std::int32_t mask = 0;
    std::int32_t value = 0;

    bool operator==(const ImageWord&) const = default;
};

class MemoryImage {
  public:
    MemoryImage() : entries_(IMAGE_WORDS, 0) {}

    std::int32_t& operator[](int address) { return entries_[static_cast<std::size_t>(address)]; }
    std::int32_t operator[](int address) const {
        return entries_[static_cast<std::size_t>(address)];
    }
    static constexpr bool Contains(int address) { return address >= 0 && address < IMAGE_WORDS; }

    // The 32 entries from `first` on, as a programming block carries them.
    std::span<const std::int32_t, 32> Block(int first) const {
        return std::span<const std::int32_t, 32>(entries_.data() + first, 32);
    }
    // Sets the entries from `first` up to, not including, `end`.
    void Fill(int first, int end, std::int32_t value) {
        std::fill(entries_.begin() + first, entries_.begin() + end, value);
    }
    void Place(const std::vector<ImageWord>& words) {
        for (const ImageWord& word : words) {
            (*this)[word.address] = ((*this)[word.address] & ~word.mask) | (word.value & word.mask);
        }
    }

  private:
    std::vector<std::int32_t> entries_;
};

}  // namespace vek
