#include "session/hex_file_open.h"

#include "device/hex_text.h"
#include "device/listing.h"
#include "platform/utf8_path.h"
#include "session/processor_selection.h"

namespace vek {

namespace {

// Writes the configuration words of a file's records into the fields, the shared texts and
// the settings, each change shown at once.
class ConfigWordsToFields : public ConfigRecordSink {
  public:
    explicit ConfigWordsToFields(Session& session) : session_(session) {}

    // A record without a data byte carries no word: the field keeps what it shows.
    void ApplyConfigRecord(const HexRecord& record) override {
        const std::optional<int> word = record.DataWord(0);
        if (!word) {
            return;
        }
        const int first = *word;
        if (session_.CurrentTarget.family == TargetFamily::PIC16) {
            SetFuse(WordText(first), KEY_MICROCHIP_BITS);
            return;
        }
        if (record.ByteCount() > 2) {
            SetFuseX(WordText(record.DataWord(1).value_or(0)));
        }
        SetFuse(WordText(first), KEY_FUSE_BITS);
    }

    void ApplyFuseXRecord(const HexRecord& record) override {
        if (const std::optional<int> word = record.DataWord(0)) {
            SetFuseX(WordText(*word));
        }
    }

  private:
    std::string WordText(int word) const {
        return HexDigits(static_cast<unsigned>(word), session_.CurrentTarget.WordDigits());
    }

    void SetFuse(const std::string& text, const char* key) {
        session_.fields = session_.ui.TakeFieldTexts();
        session_.fields.FuseText = text;
        session_.CurrentFuseText = text;
        session_.settings.WriteSettingText(SETTINGS_SECTION, key, text);
        session_.ui.ShowFieldTexts(session_.fields);
        session_.ui.RefreshConfigEditors();
    }
    void SetFuseX(const std::string& text) {
        session_.fields = session_.ui.TakeFieldTexts();
        session_.fields.FuseXText = text;
        session_.CurrentFuseXText = text;
        session_.settings.WriteSettingText(SETTINGS_SECTION, KEY_FUSEX_BITS_LOADER, text);
        session_.ui.ShowFieldTexts(session_.fields);
        session_.ui.RefreshConfigEditors();
    }

    Session& session_;
};

// A second line when the file's own words say it was made for the other family.
std::string OtherFamilyLine(const Session& session) {
    const TargetFamily target = session.CurrentTarget.family;
    const std::optional<TargetFamily> marked = FamilyMarkedByHexFile(session.HexFilePath);
    if (!marked || *marked == target) {
        return "";
    }
    return *marked == TargetFamily::PIC16 ? "\nThis looks like a PIC16 file."
                                          : "\nThis looks like an SX file.";
}

}  // namespace

HexScanResult ScanHexFile(Session& session, bool extractConfig, int& lineNo) {
    RefreshCurrentTarget(session);
    ConfigWordsToFields toFields(session);
    return ScanHexFile(session.HexFilePath, session.CurrentTarget,
                       extractConfig ? &toFields : nullptr, lineNo);
}

std::string HexScanMessage(const Session& session, HexScanResult result, int lineNo) {
    switch (result) {
        case HEX_OK:
            break;
        case HEX_OPEN_FAILED:
            return "Error: HEX file could not be opened.";
        case HEX_CHECKSUM_ERROR:
            return "Checksum error in HEX file (line " + std::to_string(lineNo) + ").";
        case HEX_TOO_LARGE:
            return "Selected HEX file is too large to fit into device FLASH." +
                   OtherFamilyLine(session);
        case HEX_NO_DATA:
            return NoHexDataMessage(session.HexFileName);
    }
    return "";
}

std::string NoHexDataMessage(const std::string& fileName) {
    return "The file " + fileName + " holds no HEX data.";
}

HexScanResult OpenChosenHexFile(Session& session, const std::string& path) {
    session.HexFilePath = path;
    session.HexFileName = Utf8FileName(path);
    session.settings.WriteSettingText(SETTINGS_SECTION, KEY_FILE_NAME_PATH, path);

    session.fields = session.ui.TakeFieldTexts();
    session.fields.HexFileText = session.HexFileName;
    session.ui.ShowFieldTexts(session.fields);

    int lineNo = 0;
    const HexScanResult result = ScanHexFile(session, true, lineNo);
    if (result == HEX_OK) {
        ShowFileListing(session);
        return result;
    }
    // The name stays chosen, so that Program and Verify report the same error; the listing of
    // an earlier file goes with the field's name.
    session.fields = session.ui.TakeFieldTexts();
    session.fields.HexFileText.clear();
    session.ui.ShowFieldTexts(session.fields);
    session.ui.EmptyHexDataWindow();
    session.ui.ShowMessage(HexScanMessage(session, result, lineNo));
    return result;
}

void ShowFileListing(Session& session) {
    if (session.HexFileName.size() < 2) {
        return;
    }
    session.ui.PrepareHexDataWindow();
    std::string comment;
    if (!LoadHexInto(session.HexFilePath, session.image, LoadVariant::Listing,
                     session.CurrentTarget.family, &comment)) {
        return;  // the window stays empty
    }
    session.ui.ShowHexDataLines(FileListingLines(session.image, session.CurrentTarget, comment));
}

}  // namespace vek
