#include "session/hex_file_open.h"

#include "device/listing.h"
#include "platform/utf8_path.h"

namespace vek {

namespace {

// Takes the configuration words out of a file's records, a later record's over an earlier's.
class WordsOfRecords : public ConfigRecordSink {
  public:
    explicit WordsOfRecords(const DeviceInfo& target) : target_(target) {}

    // A record without a data byte carries no word.
    void ApplyConfigRecord(const HexRecord& record) override {
        const std::optional<int> word = record.DataWord(0);
        if (!word) {
            return;
        }
        if (target_.family == TargetFamily::SX && record.ByteCount() > 2) {
            words_.fuseX = record.DataWord(1).value_or(0);
        }
        words_.fuse = *word;
    }

    void ApplyFuseXRecord(const HexRecord& record) override {
        if (const std::optional<int> word = record.DataWord(0)) {
            words_.fuseX = *word;
        }
    }

    const GivenWords& Words() const { return words_; }

  private:
    const DeviceInfo& target_;
    GivenWords words_;
};

// The words are kept per family: all PIC16 rows share one, both SX rows share two.
void SaveWords(SettingsStore& settings, const DeviceInfo& target, const GivenWords& words) {
    if (words.fuse) {
        settings.WriteSettingText(
            SETTINGS_SECTION,
            target.family == TargetFamily::PIC16 ? KEY_MICROCHIP_BITS : KEY_FUSE_BITS,
            WordText(target, *words.fuse));
    }
    if (words.fuseX) {
        settings.WriteSettingText(SETTINGS_SECTION, KEY_FUSEX_BITS_LOADER,
                                  WordText(target, *words.fuseX));
    }
}

// A second line when the file's own words say it was made for the other family.
std::string OtherFamilyLine(const DeviceInfo& target, const std::string& path) {
    const std::optional<TargetFamily> marked = FamilyMarkedByHexFile(path);
    if (!marked || *marked == target.family) {
        return "";
    }
    return *marked == TargetFamily::PIC16 ? "\nThis looks like a PIC16 file."
                                          : "\nThis looks like an SX file.";
}

// What the Hex Data window lists for the file; nothing for a name too short to be a file's.
std::optional<std::vector<std::string>> FileListing(const DeviceInfo& target,
                                                    const ChosenHexFile& file) {
    if (file.name.size() < 2) {
        return std::nullopt;
    }
    MemoryImage image;
    std::string comment;
    if (!LoadHexInto(file.path, image, LoadVariant::Listing, target.family, &comment)) {
        return std::vector<std::string>{};
    }
    return FileListingLines(image, target, comment);
}

}  // namespace

HexFileScan ScanWithWords(const DeviceInfo& target, const std::string& path) {
    WordsOfRecords records(target);
    HexFileScan scan;
    scan.result = ScanHexFile(path, target, &records, scan.lineNo);
    scan.words = records.Words();
    return scan;
}

std::string HexScanMessage(const DeviceInfo& target, const ChosenHexFile& file,
                           HexScanResult result, int lineNo) {
    switch (result) {
        case HexScanResult::Ok:
            break;
        case HexScanResult::OpenFailed:
            return "Error: HEX file could not be opened.";
        case HexScanResult::ChecksumError:
            return "Checksum error in HEX file (line " + std::to_string(lineNo) + ").";
        case HexScanResult::TooLarge:
            return "Selected HEX file is too large to fit into device FLASH." +
                   OtherFamilyLine(target, file.path);
        case HexScanResult::NoData:
            return NoHexDataMessage(file.name);
    }
    return "";
}

std::string NoHexDataMessage(const std::string& fileName) {
    return "The file " + fileName + " holds no HEX data.";
}

OpenedHexFile OpenChosenHexFile(SettingsStore& settings, const DeviceInfo& target,
                                const std::string& path) {
    OpenedHexFile opened{.file = {path, Utf8FileName(path)}};
    settings.WriteSettingText(SETTINGS_SECTION, KEY_FILE_NAME_PATH, path);
    opened.scan = ScanWithWords(target, path);
    SaveWords(settings, target, opened.scan.words);
    if (opened.scan.result == HexScanResult::Ok) {
        opened.listing = FileListing(target, opened.file);
    } else {
        opened.failure =
            HexScanMessage(target, opened.file, opened.scan.result, opened.scan.lineNo);
    }
    return opened;
}

}  // namespace vek
