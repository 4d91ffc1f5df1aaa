#include "device/hex_file.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "device/hex_text.h"
#include "platform/files.h"
#include "platform/sha256.h"
#include "platform/utf8_path.h"

namespace vek {

namespace {

// The longest valid record: colon, count, address, type, 255 data bytes and the checksum.
// Longer lines are cut there; what is cut off is never read.
constexpr std::size_t HEX_LINE_LIMIT = 1 + 2 + 4 + 2 + 2 * 255 + 2;
// No HEX file for these targets comes near this; a larger one is refused before reading, so
// that a huge or endless file cannot hold the window.
constexpr std::uintmax_t MAX_HEX_FILE_BYTES = 32u << 20;

constexpr std::size_t COUNT_POSITION = 1;
constexpr std::size_t ADDRESS_POSITION = 3;
constexpr std::size_t TYPE_POSITION = 7;
constexpr std::size_t DATA_POSITION = 9;

// Physical lines of a regular file, without their line ends, each cut at HEX_LINE_LIMIT.
class HexLineReader {
  public:
    // Only regular files: a FIFO or a device would block or never end.
    bool Open(const std::string& path) {
        const std::filesystem::path file = PathFromUtf8(path);
        std::error_code error;
        if (!std::filesystem::is_regular_file(file, error)) {
            return false;
        }
        file_.reset(OpenForReading(file));
        return file_ != nullptr;
    }
    bool TooLarge(const std::string& path) const {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(PathFromUtf8(path), error);
        return !error && size > MAX_HEX_FILE_BYTES;
    }

    // Every byte read from here on is appended to `bytes` as well, so that what was parsed
    // can be hashed without reading the file a second time.
    void KeepBytes(std::string& bytes) { kept_ = &bytes; }

    bool Next(std::string& line) {
        line.clear();
        bool any = false;
        for (;;) {
            if (position_ == filled_ && !Refill()) {
                break;
            }
            any = true;
            const char c = buffer_[position_++];
            if (c == '\n') {
                break;
            }
            if (line.size() < HEX_LINE_LIMIT) {
                line.push_back(c);
            }
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        return any;
    }

  private:
    bool Refill() {
        if (file_ == nullptr || consumed_ >= MAX_HEX_FILE_BYTES) {
            return false;  // a file that grew past the limit since it was checked ends here
        }
        filled_ = std::fread(buffer_, 1, sizeof buffer_, file_.get());
        position_ = 0;
        consumed_ += filled_;
        if (kept_ != nullptr) {
            kept_->append(buffer_, filled_);
        }
        return filled_ > 0;
    }

    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    char buffer_[1 << 16];
    std::size_t filled_ = 0;
    std::size_t position_ = 0;
    std::uintmax_t consumed_ = 0;
    std::string* kept_ = nullptr;
};

bool IsHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

bool IsRecord(const std::string& line) {
    return line.size() > 1 && line[0] == ':';
}

bool GivesData(const HexRecord& record) {
    return record.IsData() && record.WordAddress() >= 0 && record.ByteCount() > 0;
}

// An SX file carries its FUSE and FUSEX words above program memory; any other word there
// would be cut off, or taken for one of them.
bool FitsSx(const HexRecord& record, const DeviceInfo& target) {
    for (int k = 0; k < record.WordCount(); ++k) {
        const int word = record.WordAddress() + k;
        if (word >= target.programWords && word != SX_FUSE_ADDR && word != SX_FUSEX_ADDR) {
            return false;
        }
    }
    return true;
}

}  // namespace

// Two hex digits; anything else is no byte, so that a damaged record can never pass its
// checksum by accident and put an arbitrary word into the image or a field.
std::optional<int> HexRecord::Byte(std::size_t position) const {
    if (position + 2 > text_.size() || !IsHexDigit(text_[position]) ||
        !IsHexDigit(text_[position + 1])) {
        return std::nullopt;
    }
    return HexToInt(text_.substr(position, 2));
}

int HexRecord::ByteCount() const {
    return Byte(COUNT_POSITION).value_or(0);
}

int HexRecord::Address() const {
    const std::optional<int> high = Byte(ADDRESS_POSITION);
    const std::optional<int> low = Byte(ADDRESS_POSITION + 2);
    return high && low ? (*high << 8) | *low : -1;
}

bool HexRecord::IsData() const {
    return Byte(TYPE_POSITION) == HEX_DATA_RECORD;
}

bool HexRecord::IsEnd() const {
    return Byte(TYPE_POSITION) == HEX_END_RECORD && ByteCount() == 0;
}

int HexRecord::WordCount() const {
    const int count = ByteCount();
    return count >= 0 && count <= 0xFF ? (count + 1) / 2 : 0;
}

std::optional<int> HexRecord::DataWord(int k) const {
    if (k < 0 || k >= WordCount()) {
        return std::nullopt;
    }
    const std::size_t lowPosition = DATA_POSITION + 4 * static_cast<std::size_t>(k);
    const std::optional<int> low = Byte(lowPosition);
    if (!low) {
        return std::nullopt;
    }
    if (2 * k + 1 == ByteCount()) {
        return *low;  // the odd last byte stands alone: after it come the checksum digits
    }
    const std::optional<int> high = Byte(lowPosition + 2);
    if (!high) {
        return std::nullopt;
    }
    return (*high << 8) | *low;
}

bool HexRecord::ChecksumOk() const {
    const int count = ByteCount();
    if (!Byte(COUNT_POSITION) || count < 0 || count > 0xFF) {
        return false;
    }
    int sum = 0;
    // Count, two address bytes, type, the data, then the checksum itself.
    for (int i = 0; i < count + 5; ++i) {
        const std::optional<int> byte = Byte(COUNT_POSITION + 2 * static_cast<std::size_t>(i));
        if (!byte) {
            return false;
        }
        sum += *byte;
    }
    return (sum & 0xFF) == 0;
}

HexScanResult ScanHexFile(const std::string& path, const DeviceInfo& target, ConfigRecordSink* sink,
                          int& lineNo) {
    lineNo = 0;
    auto reader = std::make_unique<HexLineReader>();
    if (!reader->Open(path)) {
        return HexScanResult::OpenFailed;
    }
    if (reader->TooLarge(path)) {
        return HexScanResult::TooLarge;
    }
    bool tooLarge = false;
    bool anyData = false;
    std::string line;
    while (reader->Next(line)) {
        ++lineNo;
        if (!IsRecord(line)) {
            continue;
        }
        const HexRecord record(line);
        if (!record.ChecksumOk()) {
            return HexScanResult::ChecksumError;
        }
        if (!record.IsData()) {
            continue;  // extended addresses and the end record place no words
        }
        anyData = anyData || GivesData(record);
        const int word = record.WordAddress();
        if (target.family == TargetFamily::SX) {
            tooLarge = tooLarge || !FitsSx(record, target);
            if (sink != nullptr && word == SX_FUSE_ADDR) {
                sink->ApplyConfigRecord(record);
            } else if (sink != nullptr && word == SX_FUSEX_ADDR) {
                sink->ApplyFuseXRecord(record);
            }
            continue;
        }
        if (word < PROGRAM_AREA_END && word >= target.programWords) {
            tooLarge = true;
        }
        if (sink != nullptr && word == CONFIG_WORD_ADDR) {
            sink->ApplyConfigRecord(record);
        }
    }
    if (tooLarge) {
        return HexScanResult::TooLarge;
    }
    return anyData ? HexScanResult::Ok : HexScanResult::NoData;
}

HexScanResult FindHexData(const std::string& path) {
    auto reader = std::make_unique<HexLineReader>();
    if (!reader->Open(path)) {
        return HexScanResult::OpenFailed;
    }
    std::string line;
    while (reader->Next(line)) {
        if (IsRecord(line) && GivesData(HexRecord(line))) {
            return HexScanResult::Ok;
        }
    }
    return HexScanResult::NoData;
}

bool EndsWithEndRecord(const std::string& path) {
    auto reader = std::make_unique<HexLineReader>();
    if (!reader->Open(path)) {
        return false;
    }
    std::string line;
    std::string lastRecord;
    while (reader->Next(line)) {
        if (IsRecord(line)) {
            lastRecord = line;
        }
    }
    const HexRecord record(lastRecord);
    return record.IsEnd() && record.ChecksumOk();
}

std::optional<TargetFamily> FamilyMarkedByHexFile(const std::string& path) {
    auto reader = std::make_unique<HexLineReader>();
    if (!reader->Open(path)) {
        return std::nullopt;
    }
    bool pic16 = false;
    bool sx = false;
    std::string line;
    while (reader->Next(line)) {
        const HexRecord record(line);
        if (!IsRecord(line) || !GivesData(record)) {
            continue;
        }
        for (int k = 0; k < record.WordCount(); ++k) {
            const int word = record.WordAddress() + k;
            pic16 = pic16 || word == CONFIG_WORD_ADDR ||
                    (word >= EEPROM_ADDR && word < EEPROM_AREA_END);
            sx = sx || word == SX_FUSE_ADDR || word == SX_FUSEX_ADDR;
        }
    }
    if (pic16 == sx) {
        return std::nullopt;
    }
    return pic16 ? TargetFamily::PIC16 : TargetFamily::SX;
}

void ResetImage(MemoryImage& image, LoadVariant variant, TargetFamily family) {
    switch (variant) {
        case LoadVariant::Listing:
            image.Fill(0, IMAGE_WORDS, BLANK_PIC_WORD);
            return;
        case LoadVariant::Program:
            image.Fill(0, IMAGE_WORDS, BLANK_PIC_WORD);
            image.Fill(CONFIG_AREA_ADDR, CONFIG_WORD_ADDR, BLANK_ID_WORD);
            image.Fill(EEPROM_ADDR, EEPROM_AREA_END, 0);
            return;
        case LoadVariant::Verify:
            image.Fill(0, EEPROM_ADDR, family == TargetFamily::SX ? BLANK_SX_WORD : BLANK_PIC_WORD);
            image.Fill(EEPROM_ADDR, IMAGE_WORDS, 0);
            return;
    }
}

bool LoadHexInto(const std::string& path, MemoryImage& image, LoadVariant variant,
                 TargetFamily family, std::string* lastComment, int* damagedLine,
                 std::string* sha256) {
    ResetImage(image, variant, family);
    if (lastComment != nullptr) {
        lastComment->clear();
    }
    if (damagedLine != nullptr) {
        *damagedLine = 0;
    }
    if (sha256 != nullptr) {
        sha256->clear();
    }
    int lineNo = 0;
    auto reader = std::make_unique<HexLineReader>();
    if (!reader->Open(path)) {
        return false;
    }
    std::string bytes;
    if (sha256 != nullptr) {
        reader->KeepBytes(bytes);
    }
    const bool marksEeprom = variant != LoadVariant::Listing && family == TargetFamily::PIC16;
    std::string line;
    while (reader->Next(line)) {
        ++lineNo;
        if (lastComment != nullptr && !line.empty() && line[0] == ';') {
            *lastComment = line;
        }
        if (!IsRecord(line)) {
            continue;
        }
        const HexRecord record(line);
        if (damagedLine != nullptr && !record.ChecksumOk()) {
            *damagedLine = lineNo;
            return false;
        }
        if (!record.IsData() || record.WordAddress() < 0) {
            continue;  // without its address a record's words have no place
        }
        for (int k = 0; k < record.WordCount(); ++k) {
            const int address = record.WordAddress() + k;
            const std::optional<int> word = record.DataWord(k);
            if (!word || !MemoryImage::Contains(address)) {
                continue;  // past the line or past the table: nothing to store
            }
            std::int32_t entry = *word;
            if (variant == LoadVariant::Listing) {
                entry |= LOADED_MARK;
            } else if (marksEeprom && address >= EEPROM_ADDR) {
                entry |= EEPROM_PRESENT;
            }
            image[address] = entry;
        }
    }
    if (sha256 != nullptr) {
        const std::optional<Sha256Digest> digest = Sha256(bytes);
        *sha256 = digest ? Sha256Text(*digest) : "";
    }
    return true;
}

}  // namespace vek
