#include "session/serial_number.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "device/hex_file.h"
#include "platform/utf8_path.h"

namespace vek {

namespace {

constexpr int ID_DIGITS = 4;
constexpr int MAX_SERIAL_BYTES = 4;
// The largest data EEPROM of the targets has 256 bytes.
constexpr unsigned long long LAST_EEPROM_LOCATION = 0xFF;
// A number of ten digits, with room for blanks and line ends around it; a larger file is
// not one of ours, and is not read to its end.
constexpr std::size_t MAX_FILE_BYTES = 32;
constexpr const char* BLANKS = " \t\r\n";

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(BLANKS);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(BLANKS) - first + 1);
}

// A whole decimal number, or 0x and hexadecimal digits.
std::optional<unsigned long long> ParseWhole(std::string_view text) {
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    unsigned long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<SerialPlace> ParseSerialPlace(std::string_view text, std::string& error) {
    if (text == "id") {
        return SerialPlace{SerialPlace::Kind::Id, 0, 0};
    }
    error = "eeprom:LOC[:BYTES] with BYTES 1 to 4, or id";
    if (!text.starts_with("eeprom:")) {
        return std::nullopt;
    }
    text.remove_prefix(7);
    const std::size_t colon = text.find(':');
    const std::optional<unsigned long long> location = ParseWhole(text.substr(0, colon));
    const std::optional<unsigned long long> bytes =
        colon == std::string_view::npos ? MAX_SERIAL_BYTES : ParseWhole(text.substr(colon + 1));
    if (!location || !bytes || *bytes < 1 || *bytes > MAX_SERIAL_BYTES) {
        return std::nullopt;
    }
    if (*location > LAST_EEPROM_LOCATION) {
        error = "the EEPROM location " + std::to_string(*location) + " is out of range: 0 to " +
                std::to_string(LAST_EEPROM_LOCATION);
        return std::nullopt;
    }
    error.clear();
    return SerialPlace{SerialPlace::Kind::Eeprom, static_cast<int>(*location),
                       static_cast<int>(*bytes)};
}

std::string SerialPlaceText(const SerialPlace& place) {
    if (place.kind == SerialPlace::Kind::Id) {
        return "id";
    }
    return "eeprom:" + std::to_string(place.location) + ":" + std::to_string(place.bytes);
}

std::optional<unsigned> ParseSerialNumber(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

SerialPlaceFit FitOfSerialPlace(const SerialPlace& place, const DeviceInfo& target) {
    if (target.family == TargetFamily::SX) {
        return SerialPlaceFit::NoPlaceOnSx;
    }
    if (place.kind == SerialPlace::Kind::Eeprom &&
        place.location + place.bytes > target.eepromBytes) {
        return SerialPlaceFit::BeyondEeprom;
    }
    return SerialPlaceFit::Fits;
}

unsigned long long LargestSerialAt(const SerialPlace& place) {
    const int bits = place.kind == SerialPlace::Kind::Id ? 4 * ID_DIGITS : 8 * place.bytes;
    return (1ULL << bits) - 1;
}

std::vector<ImageWord> SerialWords(unsigned number, const SerialPlace& place) {
    std::vector<ImageWord> words;
    if (place.kind == SerialPlace::Kind::Id) {
        for (int digit = 0; digit < ID_DIGITS; ++digit) {
            const int shift = 4 * (ID_DIGITS - 1 - digit);
            words.push_back({CONFIG_AREA_ADDR + digit, 0xF,
                             static_cast<std::int32_t>((number >> shift) & 0xF)});
        }
        return words;
    }
    for (int byte = 0; byte < place.bytes; ++byte) {
        words.push_back(
            {EEPROM_ADDR + place.location + byte, 0xFF | EEPROM_PRESENT,
             static_cast<std::int32_t>((number >> (8 * byte)) & 0xFF) | EEPROM_PRESENT});
    }
    return words;
}

bool HexFileGivesAnyOf(const std::string& hexFile, const std::vector<ImageWord>& words) {
    MemoryImage given;
    LoadHexInto(hexFile, given, LoadVariant::Listing, TargetFamily::PIC16);
    return std::any_of(words.begin(), words.end(), [&](const ImageWord& word) {
        return (given[word.address] & LOADED_MARK) != 0;
    });
}

std::optional<SerialNumberFile> SerialNumberFile::Open(const std::filesystem::path& path,
                                                       std::string& error) {
    LockedFile::Problem problem = LockedFile::Problem::None;
    std::optional<LockedFile> lock =
        LockedFile::Open(path, LockedFile::Mode::UpdateExisting, problem);
    const std::string name = Utf8FromPath(path);
    switch (problem) {
        case LockedFile::Problem::None:
            break;
        case LockedFile::Problem::NotRegular:
            error = "Error: the serial number file " + name +
                    " could not be read: it is not a regular file.";
            return std::nullopt;
        case LockedFile::Problem::ReadOnly:
            error =
                "Error: the serial number file " + name + " could not be written: it is read-only.";
            return std::nullopt;
        case LockedFile::Problem::CannotOpen:
            error = "Error: the serial number file " + name + " could not be read.";
            return std::nullopt;
    }
    const std::optional<std::string> text = lock->ReadAll(MAX_FILE_BYTES);
    const std::string_view number = text ? Trimmed(*text) : std::string_view();
    const std::optional<unsigned> value = number.empty() ? std::nullopt : ParseSerialNumber(number);
    if (!value || *value == std::numeric_limits<unsigned>::max()) {
        error = "Error: " + name + " holds no serial number: a decimal number below 4294967295.";
        return std::nullopt;
    }
    return SerialNumberFile(path, std::move(*lock), *value);
}

bool SerialNumberFile::PrepareAdvance() {
    return lock_.PrepareReplacement(path_, NextText());
}

bool SerialNumberFile::Advance() {
    return lock_.CommitReplacement();
}

std::string SerialNumberFile::NotPreparedMessage() const {
    return "Error: the serial number file " + Utf8FromPath(path_) +
           " could not take the next number, " + std::to_string(number_ + 1) +
           "; the chip was not touched.";
}

std::string SerialNumberFile::NotAdvancedMessage() const {
    return "Error: " + Utf8FromPath(path_) +
           " could not be written; the chip holds serial number " + std::to_string(number_) + ".";
}

std::string SerialNumberFile::NextText() const {
    return std::to_string(number_ + 1) + "\n";
}

}  // namespace vek
