// HEX files as the loader reads them: the scan's verdicts, what each load stores and the hash
// of what it read, files that are not HEX files at all, the listing of a loaded file, the file
// written from a chip, and a file chosen to be used.
#include "device/hex_file.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>

#include "unprivileged.h"
#endif

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "config/code_protection.h"
#include "device/hex_text.h"
#include "device/hex_writer.h"
#include "device/image_compare.h"
#include "device/listing.h"
#include "memory_settings.h"
#include "platform/utf8_path.h"
#include "session/hex_file_open.h"
#include "session/job_file.h"
#include "session/window_state.h"
#include "temp_folder.h"

namespace vek::test {
namespace {

namespace fs = std::filesystem;

// The configuration records a scan hands over, by their first two words.
struct SinkRecorder : ConfigRecordSink {
    void ApplyConfigRecord(const HexRecord& record) override { Add("config", record); }
    void ApplyFuseXRecord(const HexRecord& record) override { Add("fusex", record); }
    void Add(const char* kind, const HexRecord& record) {
        calls += (calls.empty() ? "" : "; ") + std::string(kind);
        for (int k = 0; k < record.WordCount() && k < 2; ++k) {
            calls += " " + HexDigits(static_cast<unsigned>(*record.DataWord(k)), 4);
        }
    }
    std::string calls;
};

TEST(HexToInt, ConvertsWithoutValidating) {
    const std::pair<std::string, int> cases[] = {
        {"3FF2", 0x3FF2}, {"3d3a", 0x3D3A}, {"F", 0xF},
        {"0000", 0},      {"---", -3},      {"", 0},
        {"12345", 0},     {"g", 16},        {"4E9h", 0x4E9 << 4 | ('h' - 'a' + 10)}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(HexToInt(text), value) << text;
    }
}

class HexFiles : public ::testing::Test {
  protected:
    HexScanResult Scan(const std::string& text, std::string_view target = "16F84A") {
        return ScanPath(folder.Write("file.hex", text), target);
    }
    HexScanResult ScanPath(const std::string& path, std::string_view target = "16F84A") {
        sink.calls.clear();
        return ScanHexFile(path, *DeviceNamed(target), &sink, lineNo);
    }
    TempFolder folder;
    SinkRecorder sink;
    int lineNo = -1;
};

TEST_F(HexFiles, ScanVerdictsAndTheLineTheyName) {
    struct Case {
        const char* target;
        std::string text;
        HexScanResult result;
        int lineNo;
        std::string configCalls = "";
    };
    const std::string bad = ":0400000005280000CE\n";  // checksum off by one
    const Case cases[] = {
        {"16F84A", ":02400E00F23F7F\n:00000001FF\n", HexScanResult::Ok, 2, "config 3FF2"},
        {"16F84A", ":02400E00F23F7F\r\n:00000001FF\r\n", HexScanResult::Ok, 2, "config 3FF2"},
        // Comments and blank lines count.
        {"16F84A", "; first\n\n:020000000528D1\n;\n\n:02000200FF3FBE\n" + bad,
         HexScanResult::ChecksumError, 7},
        // The last word of a 16F84A, one past it, and ID, configuration and EEPROM above.
        {"16F84A", ":0207FE00FF3FBB\n", HexScanResult::Ok, 1},
        {"16F84A", ":02080000FF3FB8\n", HexScanResult::TooLarge, 1},
        {"16F84A", ":0440000001000200B9\n:02420000AA0012\n", HexScanResult::Ok, 2},
        // A checksum error wins over a size error.
        {"16F84A", ":02080000FF3FB8\n" + bad, HexScanResult::ChecksumError, 2},
        // SX: FUSE and FUSEX in one record, either alone, and no size check.
        {"SX28", ":042020009B0FFE0F05\n", HexScanResult::Ok, 1, "config 0F9B 0FFE"},
        {"SX28", ":022020009B0F14\n", HexScanResult::Ok, 1, "config 0F9B"},
        {"SX48", ":02202200FE0FAF\n", HexScanResult::Ok, 1, "fusex 0FFE"},
        // An SX file fits up to the last program word, with FUSE and FUSEX above: any other
        // word there is too large, a 16F877's file for example.
        {"SX28", ":020FFE00FF0FE3\n", HexScanResult::Ok, 1},
        {"SX28", ":02100000FF0FE0\n", HexScanResult::TooLarge, 1},
        {"SX48", ":021FFE00FF0FD3\n:02100000FF0FE0\n", HexScanResult::Ok, 2},
        {"SX48", ":02200000FF0FD0\n", HexScanResult::TooLarge, 1},
        {"SX28", ":046000000102030492\n", HexScanResult::TooLarge, 1},
        {"SX28", ":062020009B0FFE0F000003\n", HexScanResult::TooLarge, 1, "config 0F9B 0FFE"},
        // Not one data byte: an empty file, text, only an end record, a record without bytes.
        {"16F84A", "", HexScanResult::NoData, 0},
        {"16F84A", "no records here\n\n", HexScanResult::NoData, 2},
        {"16F84A", ":00000001FF\n", HexScanResult::NoData, 1},
        {"SX28", ":00202000C0\n:00000001FF\n", HexScanResult::NoData, 2, "config"},
        // An extended address record is no data.
        {"16F84A", ":020000040000FA\n:02400E00F23F7F\n", HexScanResult::Ok, 2, "config 3FF2"},
        // Damaged records: shorter than their count, a wrong checksum, and "Fi", which adds up
        // to F2 by the digit arithmetic but is still no byte.
        {"16F84A", ":10000000FF3F\n", HexScanResult::ChecksumError, 1},
        // Cut short where the bytes so far happen to sum to 0.
        {"16F84A", ":10000000F0\n", HexScanResult::ChecksumError, 1},
        {"16F84A", ":02400E00F23F7E\n", HexScanResult::ChecksumError, 1},
        {"16F84A", ":02400E00Fi3F7F\n", HexScanResult::ChecksumError, 1},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(Scan(test.text, test.target), test.result) << test.text;
        EXPECT_EQ(lineNo, test.lineNo) << test.text;
        EXPECT_EQ(sink.calls, test.configCalls) << test.text;
    }
}

// The longest record there is: 255 data bytes 00, 01, .. FE from address 0.
std::string LongestRecord() {
    std::string record = ":FF000000";
    int sum = 0xFF;
    for (int byte = 0; byte < 0xFF; ++byte) {
        record += HexDigits(static_cast<unsigned>(byte), 2);
        sum += byte;
    }
    return record + HexDigits(static_cast<unsigned>(-sum) & 0xFF, 2) + "\n";
}

TEST_F(HexFiles, TheLongestRecordScansAndLoadsWhole) {
    const std::string path = folder.Write("long.hex", LongestRecord());
    EXPECT_EQ(ScanPath(path), HexScanResult::Ok);
    MemoryImage image;
    ASSERT_TRUE(LoadHexInto(path, image, LoadVariant::Program, TargetFamily::PIC16));
    EXPECT_EQ(image[0], 0x0100);
    EXPECT_EQ(image[126], 0xFDFC);
    EXPECT_EQ(image[127], 0x00FE);  // the odd last byte alone
    EXPECT_EQ(image[128], 0x3FFF);
}

TEST_F(HexFiles, EachLoadFillsItsBlanksAndStoresTheWordsWithItsMark) {
    const std::string path = folder.Write(
        "file.hex",
        ":040000008C28FF3F0C\n:01400000427D\n:03420000050007AF\n:020000040000FA\n:00000001FF\n");
    MemoryImage image;
    ASSERT_TRUE(LoadHexInto(path, image, LoadVariant::Program, TargetFamily::PIC16));
    EXPECT_EQ(image[0], 0x288C);
    EXPECT_EQ(image[1], 0x3FFF);
    EXPECT_EQ(image[2], 0x3FFF);
    EXPECT_EQ(image[0x2000], 0x0042);  // an odd count: the byte alone, no checksum digits
    EXPECT_EQ(image[0x2001], 0x3F80);
    EXPECT_EQ(image[0x2007], 0x3FFF);
    EXPECT_EQ(image[0x2100], 0x105);
    EXPECT_EQ(image[0x2101], 0x107);
    EXPECT_EQ(image[0x2102], 0);
    EXPECT_EQ(image[0x2200], 0x3FFF);

    ASSERT_TRUE(LoadHexInto(path, image, LoadVariant::Listing, TargetFamily::PIC16));
    EXPECT_EQ(image[0], 0x1288C);
    EXPECT_EQ(image[2], 0x3FFF);
    EXPECT_EQ(image[0x2100], 0x10005);

    ASSERT_TRUE(LoadHexInto(path, image, LoadVariant::Verify, TargetFamily::SX));
    EXPECT_EQ(image[0], 0x288C);
    EXPECT_EQ(image[2], 0x0FFF);
    EXPECT_EQ(image[0x2100], 0x0005);  // SX files mark nothing
    EXPECT_EQ(image[0x2102], 0);

    // Verify loads without a scan first: a record without a readable address stores nothing.
    const std::string noAddress = folder.Write("no-address.hex", ":04ZZZZ0011223344FF\n");
    ASSERT_TRUE(LoadHexInto(noAddress, image, LoadVariant::Verify, TargetFamily::PIC16));
    EXPECT_EQ(image[0], 0x3FFF);
    EXPECT_EQ(image[1], 0x3FFF);
}

TEST_F(HexFiles, WordsBeyondTheTableAreNotStored) {
    // Words 8998 to 9001: the last two lie past the 9000 entries.
    const std::string path =
        folder.Write("file.hex", ":08464C00010002000300040005C\n:02465000AAAA14\n");
    MemoryImage image;
    ASSERT_TRUE(LoadHexInto(path, image, LoadVariant::Listing, TargetFamily::PIC16));
    EXPECT_EQ(image[8998], 0x10001);
    EXPECT_EQ(image[8999], 0x10002);
}

// The samples a newcomer programs first: each scans clean for its chip, and none locks the chip
// it is meant for, so that what was programmed can be read and verified.
TEST(ExampleFiles, EachFitsItsChipWithoutCodeProtection) {
    struct Example {
        std::string file;
        std::string chip;
        std::string configRecords;
    };
    const std::vector<Example> examples = {
        {"blink-16f84a.hex", "16F84A", "config 3FF1"},
        {"blink-sx28.hex", "SX28", "config 07FB 0F40"},
        {"blink-sx48.hex", "SX48", "config 07F9 0F40"},
        {"counter-16f877.hex", "16F877", "config 3F72"},
    };
    std::vector<std::string> present;
    for (const auto& entry : fs::directory_iterator(VEK_EXAMPLES_DIR)) {
        present.push_back(entry.path().filename().string());
    }
    std::ranges::sort(present);
    std::vector<std::string> listed;
    for (const Example& example : examples) {
        listed.push_back(example.file);
    }
    EXPECT_EQ(present, listed) << "every example needs its chip here";

    for (const Example& example : examples) {
        SinkRecorder sink;
        int lineNo = 0;
        const DeviceInfo& target = *DeviceNamed(example.chip);
        EXPECT_EQ(
            ScanHexFile(std::string(VEK_EXAMPLES_DIR "/") + example.file, target, &sink, lineNo),
            HexScanResult::Ok)
            << example.file << " line " << lineNo;
        EXPECT_EQ(sink.calls, example.configRecords) << example.file;
        const std::string word = example.configRecords.substr(7, 4);
        EXPECT_FALSE(TurnsOnCodeProtection(target, word)) << example.file;
    }
}

TEST_F(HexFiles, FilesThatAreNoHexFilesEndCleanly) {
    EXPECT_EQ(Scan(":" + std::string(1 << 20, 'F') + "\n:02400E00F23F7F\n"),
              HexScanResult::ChecksumError);
    EXPECT_EQ(lineNo, 1);
    std::string junk;
    for (int i = 0; i < 4096; ++i) {
        junk.push_back(static_cast<char>(i * 37));
    }
    EXPECT_EQ(Scan(junk), HexScanResult::NoData);

    fs::create_directory(folder / "folder.hex");
#if !defined(_WIN32)  // Windows keeps no pipes among the files of a folder
    // Opening a pipe that nobody writes would wait for ever.
    ASSERT_EQ(mkfifo((folder / "pipe.hex").c_str(), 0600), 0);
#endif
    // A sparse file of 4 GiB costs nothing to make and is refused without being read.
    const std::string huge = folder.Write("huge.hex", "");
    fs::resize_file(huge, std::uintmax_t{4} << 30);
    for (const char* name : {"folder.hex", "pipe.hex", "missing.hex"}) {
        EXPECT_EQ(ScanPath((folder / name).string()), HexScanResult::OpenFailed) << name;
    }
    EXPECT_EQ(ScanPath(huge), HexScanResult::TooLarge);
    MemoryImage image;
    EXPECT_FALSE(LoadHexInto((folder / "pipe.hex").string(), image, LoadVariant::Listing,
                             TargetFamily::PIC16));
#if !defined(_WIN32)  // Windows has no read permission that fs::permissions could take away
    const std::string locked = folder.Write("locked.hex", ":00000001FF\n");
    RunUnprivileged(folder.Path(), [&] {
        fs::permissions(locked, fs::perms::none);
        EXPECT_EQ(ScanPath(locked), HexScanResult::OpenFailed);
    });
#endif
}

// Files saved on Windows end their lines with CR LF, and their names and folders may have any
// characters: the loader reads such a file as it reads any other.
TEST_F(HexFiles, CrLfLinesAndANameBeyondAsciiLoadLikeAnyFile) {
    const std::string lines =
        ":040000000528FF3F91\n:02400E00F23F7F\n:0242000041007B\n:00000001FF\n";
    std::string crLfLines;
    for (const char c : lines) {
        crLfLines += c == '\n' ? "\r\n" : std::string(1, c);
    }
    fs::create_directory(folder / "Dateien \xC3\xA4\xC3\xB6\xC3\xBC \xE2\x82\xAC");
    const std::string path = folder.Write(
        "Dateien \xC3\xA4\xC3\xB6\xC3\xBC \xE2\x82\xAC/bl\xC3\xAFnk \xE6\x97\xA5.hex", crLfLines);
    EXPECT_EQ(ScanPath(path), HexScanResult::Ok);
    MemoryImage image;
    ASSERT_TRUE(LoadHexInto(path, image, LoadVariant::Program, TargetFamily::PIC16));
    EXPECT_EQ(image[0x2100], 0x141);  // not left blank, as a failed read would leave it
    MemoryImage fromLfFile;
    ASSERT_TRUE(LoadHexInto(folder.Write("lf.hex", lines), fromLfFile, LoadVariant::Program,
                            TargetFamily::PIC16));
    int differences = 0;
    for (int address = 0; MemoryImage::Contains(address); ++address) {
        differences += image[address] != fromLfFile[address] ? 1 : 0;
    }
    EXPECT_EQ(differences, 0);
}

// A job pins a file by the SHA-256 of its bytes: the load hands back the hash of exactly what
// it read, line ends and cut-off characters included, as the job's own hash of the file has it.
TEST_F(HexFiles, ALoadHandsBackTheSha256OfTheBytesItRead) {
    const std::pair<std::string, std::string> cases[] = {
        {":0600000005280000FFFFCF\r\n:00000001FF\r\n",
         "de78fbf98ae61cf03a3e79f9ea2a27ad46e312ba2e3a12a316363e57d390b551"},
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        // Longer than a record and than one read of the file.
        {":" + std::string(70000, 'F') + "\n:00000001FF\n",
         "d693d7d3b54d73f31b413c7f692896005012d77ecb81b51c3ff52408cd16f0cf"},
    };
    for (const auto& [text, hash] : cases) {
        SCOPED_TRACE(text.size());
        const std::string path = folder.Write("pinned.hex", text);
        MemoryImage image;
        std::string loaded = "stale";
        ASSERT_TRUE(LoadHexInto(path, image, LoadVariant::Program, TargetFamily::PIC16, nullptr,
                                nullptr, &loaded));
        EXPECT_EQ(loaded, hash);
        EXPECT_EQ(Sha256OfFile(PathFromUtf8(path)), hash);
    }
    MemoryImage image;
    std::string loaded = "stale";
    EXPECT_FALSE(LoadHexInto((folder / "missing.hex").string(), image, LoadVariant::Program,
                             TargetFamily::PIC16, nullptr, nullptr, &loaded));
    EXPECT_EQ(loaded, "");
}

// The listing of a loaded file, by its lines.
std::vector<std::string> FileListing(const TempFolder& folder, const std::string& text,
                                     const char* target) {
    MemoryImage image;
    std::string comment;
    EXPECT_TRUE(LoadHexInto(folder.Write("file.hex", text), image, LoadVariant::Listing,
                            DeviceNamed(target)->family, &comment));
    return FileListingLines(image, *DeviceNamed(target), comment);
}

TEST_F(HexFiles, TheFileListingShowsTheGroupsTheFileGives) {
    using Listing = std::vector<std::string>;
    const std::string file =
        "; first\n:040000000528000000CF\n:024202005A0060\n:02400E00F23F7F\n"
        ":0240000001000000BD\n; last comment\n:00000001FF\n";
    EXPECT_EQ(FileListing(folder, file, "16F877"),
              (Listing{"Program data from file:", "0000:   2805   0000   3FFF   3FFF",
                       "EEPROM Data:", "2100:   xx   5A   xx   xx   (0..3)",
                       "Comment:", "; last comment"}));
    // An SX group of blank words is left out; a PIC16 one is listed. No comment: an empty line.
    const std::string blankGroup = ":08001000FF3FFF3FFF3FFF3FF0\n";
    EXPECT_EQ(FileListing(folder, blankGroup, "SX28"),
              (Listing{"Program data from file:", "Comment:", ""}));
    EXPECT_EQ(FileListing(folder, blankGroup, "16F84A"),
              (Listing{"Program data from file:", "0008:   3FFF   3FFF   3FFF   3FFF",
                       "EEPROM Data:", "Comment:", ""}));
    // A group that only its fourth word puts in the listing.
    EXPECT_EQ(FileListing(folder, ":020006003412B2\n", "16F84A")[1],
              "0000:   3FFF   3FFF   3FFF   1234");
    // A word with every bit set is listed as it stands.
    EXPECT_EQ(FileListing(folder, ":02000000FFFF00\n", "16F84A")[1],
              "0000:   FFFF   3FFF   3FFF   3FFF");
}

// A row the table does not have yet follows its family column, whatever its index and name:
// the ID check, the code protection check, the written file and the listing.
TEST_F(HexFiles, ANewRowFollowsItsFamilyColumn) {
    struct Case {
        DeviceInfo row;
        bool fitsWithRevisionBits;
        bool protectedBy3F72;
        const char* configRecord;
        std::size_t listingLines;  // a PIC16's adds "EEPROM Data:"
    };
    const Case cases[] = {
        {{10, "16F999", TargetFamily::PIC16, ConfigLayout::PIC16F872, 0xAC0, 2048, 64},
         true,
         false,
         ":02400E0023018C\n",
         4},
        {{3, "16F999", TargetFamily::SX, ConfigLayout::SX48, 0xAC0, 2048, 0},
         false,
         true,
         ":04202000230156043E\n",
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.row.family));
        EXPECT_EQ(IdFits(c.row, 0xADF), c.fitsWithRevisionBits);
        EXPECT_EQ(TurnsOnCodeProtection(c.row, "3F72"), c.protectedBy3F72);
        EXPECT_NE(HexFileText(MemoryImage(), c.row, {0x123, 0x456}).find(c.configRecord),
                  std::string::npos);
        EXPECT_EQ(FileListingLines(MemoryImage(), c.row, "").size(), c.listingLines);
    }
}

// A chip as Read leaves the image: blank words, a few written ones, EEPROM as read.
MemoryImage ReadImage(const DeviceInfo& target, std::initializer_list<std::pair<int, int>> words) {
    MemoryImage image;
    const bool isSx = target.family == TargetFamily::SX;
    image.Fill(0, target.programWords, isSx ? BLANK_SX_WORD : BLANK_PIC_WORD);
    image.Fill(EEPROM_ADDR, EEPROM_ADDR + target.eepromBytes, 0xFF);
    for (const auto& [address, value] : words) {
        image[address] = value;
    }
    return image;
}

TEST_F(HexFiles, TheWriterWritesRecordsInRisingOrderThatTheLoaderReadsBackWhole) {
    struct Written {
        const DeviceInfo& target;
        MemoryImage image;
        ConfigurationWords words;
        std::string configCalls;
        std::size_t lineCount;
        std::vector<std::pair<std::size_t, std::string>> lines;  // by their number
    };
    const DeviceInfo& pic = *DeviceNamed("16F84A");
    const DeviceInfo& sx = *DeviceNamed("SX28");
    MemoryImage picImage = ReadImage(pic, {{0, 0x2805},
                                           {1, 0},
                                           {2, 0x1683},
                                           {1023, 0x0123},
                                           {0x2100, 0x11},
                                           {0x2101, 0},
                                           {0x213F, 0xEE}});
    const Written cases[] = {
        {pic,
         picImage,
         {0x3FF1, 0},
         "config 3FF1",
         138,
         {{0, ":10000000052800008316FF3FFF3FFF3FFF3FFF3FF4"},
          {127, ":1007F000FF3FFF3FFF3FFF3FFF3FFF3FFF3F230123"},
          {128, ":02400E00F13F80"},
          {129, ":1042000011000000FF00FF00FF00FF00FF00FF00A3"},
          {136, ":10427000FF00FF00FF00FF00FF00FF00FF00EE0057"},
          {137, ":00000001FF"}}},
        {sx,
         ReadImage(sx, {{0, 0x0A5}, {2047, 0xA00}}),
         {0x7F3, 0xF40},
         "config 07F3 0F40",
         258,
         {{0, ":10000000A500FF0FFF0FFF0FFF0FFF0FFF0FFF0FE9"},
          {255, ":100FF000FF0FFF0FFF0FFF0FFF0FFF0FFF0F000A85"},
          {256, ":04202000F307400F73"},
          {257, ":00000001FF"}}},
    };
    for (const Written& written : cases) {
        SCOPED_TRACE(written.target.name);
        const std::string text = HexFileText(written.image, written.target, written.words);
        std::vector<std::string> lines;
        std::istringstream stream(text);
        for (std::string line; std::getline(stream, line);) {
            lines.push_back(line);
        }
        ASSERT_EQ(lines.size(), written.lineCount);
        for (const auto& [number, line] : written.lines) {
            EXPECT_EQ(lines[number], line) << "line " << number;
        }

        const std::string path = folder.Write("written.hex", text);
        EXPECT_EQ(ScanPath(path, written.target.name), HexScanResult::Ok);
        EXPECT_EQ(sink.calls, written.configCalls);
        // Verify's load compares every program word and every EEPROM byte the file gives.
        MemoryImage loaded;
        ASSERT_TRUE(LoadHexInto(path, loaded, LoadVariant::Verify, written.target.family));
        EXPECT_EQ(
            CompareWithFile(loaded, written.image, written.target, written.words, written.words),
            std::vector<ImageDifference>{});
        for (int location = 0; location < written.target.eepromBytes; ++location) {
            EXPECT_NE(loaded[EEPROM_ADDR + location] & EEPROM_PRESENT, 0) << location;
        }
    }
}

class HexOpen : public HexFiles {
  protected:
    // As the window opens a file: its words go into the fields.
    void Open(int row, const std::string& text) {
        opened = OpenChosenHexFile(settings, DeviceTable[row], folder.Write("chosen.hex", text));
        ShowFileWords(state, fields, DeviceTable[row], opened.scan.words);
    }
    MemorySettings settings;
    WindowState state{settings};
    FieldTexts fields;
    OpenedHexFile opened;
};

TEST_F(HexOpen, ConfigurationRecordsSetTheFieldsTheSharedTextsAndTheSettings) {
    struct Case {
        int row;
        std::string file;
        const char* fuse;
        const char* fuseX;
        const char* savedFuse;
        const char* savedFuseX;
    };
    const Case cases[] = {
        {0, ":02400E00F23F7F\n", "3FF2", "FFF", "3FF2", "<absent>"},
        // Code protection on makes the word smaller than 1000: it keeps its four digits.
        {0, ":02400E00F20FAF\n", "0FF2", "FFF", "0FF2", "<absent>"},
        // Records at the configuration words without a data byte give no word.
        {0, ":020000000528D1\n:00400E00B2\n", "FFF", "FFF", "<absent>", "<absent>"},
        {8, ":020000000528D1\n:00202000C0\n", "FFF", "FFF", "<absent>", "<absent>"},
        {9, ":020000000528D1\n:00202200BE\n", "FFF", "FFF", "<absent>", "<absent>"},
        {8, ":042020009B0FFE0F05\n", "F9B", "FFE", "F9B", "FFE"},
        {9, ":022020009B0F14\n", "F9B", "FFF", "F9B", "<absent>"},
        {9, ":02202200FE0FAF\n", "FFF", "FFE", "<absent>", "FFE"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.file);
        fields = FieldTexts{};
        settings.Clear();
        Open(test.row, test.file);
        EXPECT_EQ(opened.failure, "");
        EXPECT_EQ(fields.FuseText, test.fuse);
        EXPECT_EQ(fields.FuseXText, test.fuseX);
        const char* fuseKey = test.row < 8 ? "VEKFlashmicrochipBits" : "VEKFlashFuseBits";
        EXPECT_EQ(settings.Text(fuseKey), test.savedFuse);
        // The loader's spelling of the FUSEX key and the editor's are one value.
        EXPECT_EQ(settings.Text("VEKFlashFusexBits"), test.savedFuseX);
        // A word is given only where a record carries one.
        const bool changed =
            std::string(test.savedFuse) != "<absent>" || std::string(test.savedFuseX) != "<absent>";
        EXPECT_EQ(opened.scan.words.fuse || opened.scan.words.fuseX, changed);
        EXPECT_EQ(opened.file.name, "chosen.hex");
    }
    EXPECT_EQ(state.CurrentFuseXText, "FFE");
}

TEST_F(HexOpen, AFileThatCannotBeUsedIsReportedAndItsPathKeptAGoodOneIsListed) {
    Open(0, "; made by hand\n\n:0100000001FE\n;\n\n:0100010002FC\n:0100020003FF\n");
    EXPECT_EQ(opened.failure, "Checksum error in HEX file (line 7).");
    EXPECT_EQ(opened.file.name, "chosen.hex");
    EXPECT_FALSE(opened.listing.has_value());

    const std::string missing = (folder / "typed name.hex").string();
    opened = OpenChosenHexFile(settings, DeviceTable[0], missing);
    EXPECT_EQ(opened.failure, "Error: HEX file could not be opened.");
    EXPECT_EQ(settings.Text("VEKFlashfilenamepath"), missing);

    Open(0, "; sample\n:0400000005280000CF\n:00000001FF\n");
    EXPECT_EQ(opened.failure, "");
    EXPECT_EQ(opened.listing, (std::vector<std::string>{
                                  "Program data from file:", "0000:   2805   0000   3FFF   3FFF",
                                  "EEPROM Data:", "Comment:", "; sample"}));

    // A file too large for the target says which family its own words belong to; the listing
    // of the file before goes.
    const std::string tooLarge = "Selected HEX file is too large to fit into device FLASH.";
    const struct {
        int row;
        const char* file;
        std::string message;
    } others[] = {
        {8, ":020000000528D1\n:02400E00F13F80\n", tooLarge + "\nThis looks like a PIC16 file."},
        {8, ":020900000528C8\n:01420100417B\n", tooLarge + "\nThis looks like a PIC16 file."},
        {0, ":020000000C00F2\n:022020009B0F14\n", tooLarge + "\nThis looks like an SX file."},
        {8, ":021800000528B9\n", tooLarge},
    };
    for (const auto& other : others) {
        SCOPED_TRACE(other.file);
        Open(other.row, other.file);
        EXPECT_EQ(opened.failure, other.message);
        EXPECT_FALSE(opened.listing.has_value());
    }
}

}  // namespace
}  // namespace vek::test
