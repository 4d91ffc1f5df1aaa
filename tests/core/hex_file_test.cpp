// HEX files as the loader reads them: the scan's verdicts, what each load stores, files that
// are not HEX files at all, and the listing of what was loaded.
#include "device/hex_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "device/hex_text.h"
#include "device/listing.h"
#include "temp_folder.h"

namespace vek::test {
namespace {

// A data record with its checksum, from the bytes after the colon but the checksum.
std::string Record(const std::string& body) {
    int sum = 0;
    for (std::size_t i = 0; i + 1 < body.size(); i += 2) {
        sum += std::stoi(body.substr(i, 2), nullptr, 16);
    }
    char checksum[3];
    std::snprintf(checksum, sizeof checksum, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return ":" + body + checksum;
}

std::string Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

const DeviceInfo& Target(const char* name) {
    for (const DeviceInfo& device : DeviceTable) {
        if (device.name == name) {
            return device;
        }
    }
    throw std::invalid_argument(name);
}

// Records the configuration records a scan hands over, as their first two words.
struct SinkRecorder : ConfigRecordSink {
    void ApplyConfigRecord(const HexRecord& record) override {
        calls.push_back("config " + Words(record));
    }
    void ApplyFuseXRecord(const HexRecord& record) override {
        calls.push_back("fusex " + Words(record));
    }
    static std::string Words(const HexRecord& record) {
        std::string words;
        for (int k = 0; k < record.WordCount() && k < 2; ++k) {
            words += (k ? " " : "") + HexDigits(static_cast<unsigned>(*record.DataWord(k)), 4);
        }
        return words;
    }
    std::vector<std::string> calls;
};

TEST(HexToInt, ConvertsWithoutValidating) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"3FF2", 0x3FF2}, {"3d3a", 0x3D3A}, {"F", 0xF},
        {"0000", 0},      {"---", -3},      {"", 0},
        {"12345", 0},     {"g", 16},        {"4E9h", 0x4E9 << 4 | ('h' - 'a' + 10)},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(HexToInt(text), value) << text;
    }
}

class HexFiles : public ::testing::Test {
  protected:
    HexScanResult Scan(const std::string& text, const char* target = "16F84A") {
        return ScanHexFile(folder.Write("file.hex", text), Target(target), &sink, lineNo);
    }
    TempFolder folder;
    SinkRecorder sink;
    int lineNo = -1;
};

TEST_F(HexFiles, ScanVerdictsAndTheLineTheyName) {
    struct Case {
        const char* what;
        const char* target;
        std::string text;
        HexScanResult result;
        int lineNo;
        std::vector<std::string> configCalls;
    };
    const std::string bad = ":0400000005280000CE";  // checksum off by one
    const std::vector<Case> cases = {
        {"a configuration word",
         "16F84A",
         Lines({":02400E00F23F7F", ":00000001FF"}),
         HEX_OK,
         2,
         {"config 3FF2"}},
        {"comments and blank lines count",
         "16F84A",
         Lines({"; first", "", Record("020000000528"), ";", "", Record("02000200FF3F"), bad}),
         HEX_CHECKSUM_ERROR,
         7,
         {}},
        {"the last word of a 16F84A", "16F84A", Lines({Record("0207FE00FF3F")}), HEX_OK, 1, {}},
        {"one word past it", "16F84A", Lines({Record("02080000FF3F")}), HEX_TOO_LARGE, 1, {}},
        {"ID, configuration and EEPROM lie above program memory",
         "16F84A",
         Lines({Record("0440000001000200"), Record("02420000AA00")}),
         HEX_OK,
         2,
         {}},
        {"a checksum error wins over a size error",
         "16F84A",
         Lines({Record("02080000FF3F"), bad}),
         HEX_CHECKSUM_ERROR,
         2,
         {}},
        {"SX: FUSE and FUSEX in one record",
         "SX28",
         Lines({":042020009B0FFE0F05"}),
         HEX_OK,
         1,
         {"config 0F9B 0FFE"}},
        {"SX: the FUSE word alone", "SX28", Lines({":022020009B0F14"}), HEX_OK, 1, {"config 0F9B"}},
        {"SX: the FUSEX word alone",
         "SX48",
         Lines({Record("02202200FE0F")}),
         HEX_OK,
         1,
         {"fusex 0FFE"}},
        {"SX files get no size check", "SX28", Lines({Record("0460000001020304")}), HEX_OK, 1, {}},
        {"an extended address record is no data",
         "16F84A",
         Lines({":020000040000FA", Record("02400E00F23F")}),
         HEX_OK,
         2,
         {"config 3FF2"}},
        {"a record shorter than its count",
         "16F84A",
         Lines({":10000000FF3F"}),
         HEX_CHECKSUM_ERROR,
         1,
         {}},
        {"a damaged configuration record is not taken",
         "16F84A",
         Lines({":02400E00F23F7E"}),
         HEX_CHECKSUM_ERROR,
         1,
         {}},
        // "Fi" adds up to F2 by the digit arithmetic; it is still no byte.
        {"characters that are no hex digits",
         "16F84A",
         Lines({":02400E00Fi3F7F"}),
         HEX_CHECKSUM_ERROR,
         1,
         {}},
        {"CRLF line ends",
         "16F84A",
         ":02400E00F23F7F\r\n:00000001FF\r\n",
         HEX_OK,
         2,
         {"config 3FF2"}},
    };
    for (const Case& test : cases) {
        sink.calls.clear();
        EXPECT_EQ(Scan(test.text, test.target), test.result) << test.what;
        EXPECT_EQ(lineNo, test.lineNo) << test.what;
        EXPECT_EQ(sink.calls, test.configCalls) << test.what;
    }
}

TEST_F(HexFiles, EachLoadFillsItsBlanksAndStoresTheWordsWithItsMark) {
    const std::string path = folder.Write(
        "file.hex", Lines({":040000008C28FF3F0C", Record("0140000042"), Record("03420000050007"),
                           ":020000040000FA", ":00000001FF"}));
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
}

TEST_F(HexFiles, WordsBeyondTheTableAreNotStored) {
    // Words 8998 to 9001: the last two lie past the 9000 entries.
    const std::string path = folder.Write(
        "file.hex", Lines({Record("08464C0001000200030004000"), Record("02465000AAAA")}));
    MemoryImage image;
    ASSERT_TRUE(LoadHexInto(path, image, LoadVariant::Listing, TargetFamily::PIC16));
    EXPECT_EQ(image[8998], 0x10001);
    EXPECT_EQ(image[8999], 0x10002);
}

TEST_F(HexFiles, FilesThatAreNoHexFilesEndCleanly) {
    namespace fs = std::filesystem;
    const std::string longLine = ":" + std::string(1 << 20, 'F') + "\n";
    std::string junk;
    for (int i = 0; i < 4096; ++i) {
        junk.push_back(static_cast<char>(i * 37));
    }
    EXPECT_EQ(Scan(longLine + Lines({":02400E00F23F7F"})), HEX_CHECKSUM_ERROR);
    EXPECT_EQ(lineNo, 1);
    EXPECT_EQ(Scan(junk), HEX_OK);

    fs::create_directory(folder / "folder.hex");
    EXPECT_EQ(ScanHexFile((folder / "folder.hex").string(), Target("16F84A"), &sink, lineNo),
              HEX_OPEN_FAILED);
    // Opening a pipe that nobody writes would wait for ever.
    ASSERT_EQ(mkfifo((folder / "pipe.hex").c_str(), 0600), 0);
    EXPECT_EQ(ScanHexFile((folder / "pipe.hex").string(), Target("16F84A"), &sink, lineNo),
              HEX_OPEN_FAILED);
    EXPECT_EQ(ScanHexFile((folder / "missing.hex").string(), Target("16F84A"), &sink, lineNo),
              HEX_OPEN_FAILED);
    MemoryImage image;
    EXPECT_FALSE(LoadHexInto((folder / "pipe.hex").string(), image, LoadVariant::Listing,
                             TargetFamily::PIC16));

    // A sparse file of 4 GiB costs nothing to make and is refused without being read.
    const std::string huge = folder.Write("huge.hex", "");
    fs::resize_file(huge, std::uintmax_t{4} << 30);
    EXPECT_EQ(ScanHexFile(huge, Target("16F84A"), &sink, lineNo), HEX_TOO_LARGE);

    if (geteuid() != 0) {  // permissions do not keep root out
        const std::string locked = folder.Write("locked.hex", ":00000001FF\n");
        fs::permissions(locked, fs::perms::none);
        EXPECT_EQ(ScanHexFile(locked, Target("16F84A"), &sink, lineNo), HEX_OPEN_FAILED);
    }
}

// The listing of a loaded file, by its lines.
std::vector<std::string> FileListing(const TempFolder& folder, const std::string& text,
                                     const char* target) {
    MemoryImage image;
    std::string comment;
    EXPECT_TRUE(LoadHexInto(folder.Write("file.hex", text), image, LoadVariant::Listing,
                            FamilyOfIndex(Target(target).processorIndex), &comment));
    return FileListingLines(image, target, comment);
}

TEST_F(HexFiles, TheFileListingShowsTheGroupsTheFileGives) {
    EXPECT_EQ(
        FileListing(folder,
                    Lines({"; first", Record("040000000528000000"), Record("024202005A00"),
                           Record("02400E00F23F"), Record("0240000001000000"), "; last comment",
                           ":00000001FF"}),
                    "16F877"),
        (std::vector<std::string>{"Program data from file:", "0000:   2805   0000   3FFF   3FFF",
                                  "EEPROM Data:", "2100:   xx   5A   xx   xx   (0..3)",
                                  "Comment:", "; last comment"}));
    // An SX group of blank words is left out; a PIC16 one is listed. No comment: an empty line.
    const std::string blankGroup = Lines({Record("08001000FF3FFF3FFF3FFF3F")});
    EXPECT_EQ(FileListing(folder, blankGroup, "SX28"),
              (std::vector<std::string>{"Program data from file:", "Comment:", ""}));
    EXPECT_EQ(
        FileListing(folder, blankGroup, "16F84A"),
        (std::vector<std::string>{"Program data from file:", "0008:   3FFF   3FFF   3FFF   3FFF",
                                  "EEPROM Data:", "Comment:", ""}));
    // A word with every bit set is listed as it stands.
    EXPECT_EQ(FileListing(folder, Lines({Record("02000000FFFF")}), "16F84A")[1],
              "0000:   FFFF   3FFF   3FFF   3FFF");
}

TEST(Listing, TheDeviceListingShowsEveryWordRead) {
    MemoryImage image;
    image.Fill(0, 64, 0x3FFF);
    image[0] = 0x2805;
    for (int location = 0; location < 64; ++location) {
        image[0x2100 + location] = location + 1;
    }
    const std::vector<std::string> lines = DeviceListingLines(image, 2, 1);
    ASSERT_EQ(lines.size(), 1u + 16 + 1 + 16);
    EXPECT_EQ(lines[0], "Program data from microcontroller:");
    EXPECT_EQ(lines[1], "0000:   2805   3FFF   3FFF   3FFF");
    EXPECT_EQ(lines[16], "003C:   3FFF   3FFF   3FFF   3FFF");
    EXPECT_EQ(lines[17], "EEPROM Data:");
    EXPECT_EQ(lines[18], "2100:    01    02    03    04   (0..3)");
    EXPECT_EQ(lines[33], "213C:    3D    3E    3F    40   (60..63)");
    EXPECT_EQ(DeviceListingLines(image, 1, 0).size(), 9u);  // SX: no EEPROM section
}

}  // namespace
}  // namespace vek::test
