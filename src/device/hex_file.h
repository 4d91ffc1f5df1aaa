// Intel HEX files: reading their lines, checking them against a target, and loading their
// data records into a memory image. The file is held whole only to be hashed; every user reads
// it anew.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "device/device_table.h"
#include "device/memory_image.h"

namespace vek {

// One line that begins with ':' (the line end removed). Fields are read from the characters
// the line has; a field that would lie past its end, or is not hex digits, is absent.
class HexRecord {
  public:
    explicit HexRecord(std::string_view text) : text_(text) {}

    int ByteCount() const;
    // The byte address, or -1 when it is not four hex digits.
    int Address() const;
    int WordAddress() const { return Address() < 0 ? -1 : Address() / 2; }
    bool IsData() const;
    // The end-of-file record, which carries no data.
    bool IsEnd() const;
    // (byte count + 1) / 2 words, or 0 for a count that is not a byte.
    int WordCount() const;
    // Data word k, high byte from the second byte of the pair; the last word of an odd count
    // is its data byte alone. Absent when its characters lie past the line.
    std::optional<int> DataWord(int k) const;
    // The checksum byte after the data makes the record's bytes sum to 0. A record too short
    // for its byte count cannot be checked and fails.
    bool ChecksumOk() const;

  private:
    std::optional<int> Byte(std::size_t position) const;

    std::string_view text_;
};

enum class HexScanResult {
    Ok,
    OpenFailed,
    ChecksumError,
    TooLarge,
    NoData,  // not one data byte: a text file, an empty file, only an end record
};

// Takes the configuration words out of the records that carry them.
class ConfigRecordSink {
  public:
    virtual ~ConfigRecordSink() = default;
    // PIC16: the record at the configuration word; SX: the record at the FUSE word, which may
    // carry the FUSEX word after it.
    virtual void ApplyConfigRecord(const HexRecord& record) = 0;
    // SX: the record at the FUSEX word.
    virtual void ApplyFuseXRecord(const HexRecord& record) = 0;
};

// Checks every record's checksum, that the file gives at least one data byte and that its
// words fit the target: for a PIC16 no record starts past program memory (below the
// configuration area); for an SX no word lies past program memory but the FUSE and FUSEX
// words. With a sink, hands it the configuration records. lineNo receives the number of the
// line read last (every line counts).
HexScanResult ScanHexFile(const std::string& path, const DeviceInfo& target, ConfigRecordSink* sink,
                          int& lineNo);

// HexScanResult::NoData unless the file gives at least one data byte at an address (checksums
// unchecked), HexScanResult::OpenFailed when it cannot be read.
HexScanResult FindHexData(const std::string& path);

// Whether the file's last record is an intact end-of-file record: a file that is still being
// written, or was left half written, has none at its end. False when it cannot be read.
bool EndsWithEndRecord(const std::string& path);

// The family whose own words the file's data records give: PIC16 for the configuration word
// or the data EEPROM, SX for the FUSE or FUSEX word. Nothing for neither or both, or for a file
// that cannot be read.
std::optional<TargetFamily> FamilyMarkedByHexFile(const std::string& path);

// Who loads, deciding the blank values filled first and the mark on every stored entry.
enum class LoadVariant { Listing, Program, Verify };

void ResetImage(MemoryImage& image, LoadVariant variant, TargetFamily family);
// Fills the blank values, then stores the data records' words. lastComment, when given,
// receives the last line that begins with ';' (empty without one). No checksum is checked
// unless damagedLine is given: then a record that fails its checksum ends the load, false, with
// its line number there (the file has changed since it was scanned). False, with damagedLine
// 0, when the file cannot be read. sha256, when given, receives the SHA-256 of exactly the
// bytes this load read, as 64 lower-case hex digits (empty when it could not be computed), so
// that a pinned file is checked in the very reading that fills the image; a load that ends
// early leaves it empty.
bool LoadHexInto(const std::string& path, MemoryImage& image, LoadVariant variant,
                 TargetFamily family, std::string* lastComment = nullptr,
                 int* damagedLine = nullptr, std::string* sha256 = nullptr);

}  // namespace vek
