// The serial number written into every chip of a job: where it goes, the words it becomes,
// and the file that keeps the next one.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_table.h"
#include "device/memory_image.h"
#include "platform/locked_file.h"

namespace vek {

// eeprom:LOC[:BYTES]: EEPROM locations from LOC, least significant byte first; id: the four
// PIC16 ID locations, one hexadecimal digit in the low four bits of each, most significant
// first.
struct SerialPlace {
    enum class Kind { Eeprom, Id };
    Kind kind = Kind::Eeprom;
    int location = 0;
    int bytes = 4;

    bool operator==(const SerialPlace&) const = default;
};

// The place, or nothing and in `error` what is wrong with the text.
std::optional<SerialPlace> ParseSerialPlace(std::string_view text, std::string& error);
// The place as a job and --serial-at write it: "eeprom:LOC:BYTES" or "id".
std::string SerialPlaceText(const SerialPlace& place);
// A decimal number of at most 32 bits.
std::optional<unsigned> ParseSerialNumber(std::string_view text);

// Whether the place lies on the chip: an SX has no EEPROM and no ID locations, and an EEPROM
// place must end within the chip's EEPROM, where Program writes and Verify compares it.
enum class SerialPlaceFit { Fits, NoPlaceOnSx, BeyondEeprom };
SerialPlaceFit FitOfSerialPlace(const SerialPlace& place, const DeviceInfo& target);

// The largest number the place holds.
unsigned long long LargestSerialAt(const SerialPlace& place);
// The image entries the number changes, EEPROM bytes marked for programming.
std::vector<ImageWord> SerialWords(unsigned number, const SerialPlace& place);
// Whether the HEX file gives data at any of the words, which the number would write over.
bool HexFileGivesAnyOf(const std::string& hexFile, const std::vector<ImageWord>& words);

// The file that holds the next serial number, locked from reading it until the process ends.
class SerialNumberFile {
  public:
    // The file with its number, or nothing and in `error` why it cannot be used: it must be a
    // regular file that may be written and holds a few bytes at most.
    static std::optional<SerialNumberFile> Open(const std::filesystem::path& path,
                                                std::string& error);

    unsigned Number() const { return number_; }
    // Before the chip is touched: the next number written where only Advance is left to put
    // it in the file's place. False, with the file as it was, when it cannot be.
    bool PrepareAdvance();
    // Replaces the file with the next number, whole or not at all.
    bool Advance();

    // What is said when PrepareAdvance fails, and when Advance fails after the chip took the
    // number.
    std::string NotPreparedMessage() const;
    std::string NotAdvancedMessage() const;

  private:
    SerialNumberFile(std::filesystem::path path, LockedFile lock, unsigned number)
        : path_(std::move(path)), lock_(std::move(lock)), number_(number) {}

    std::string NextText() const;

    std::filesystem::path path_;
    LockedFile lock_;
    unsigned number_;
};

}  // namespace vek
