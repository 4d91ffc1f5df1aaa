// The INI settings store: values read exactly as another INI writer stored them, writes that
// change only their own value, and a file that is replaced whole or not at all.
#include "settings/ini_settings_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <random>
#include <set>

#include "folder_changes.h"
#include "settings/ini_text.h"
#include "settings/whole_file.h"
#include "temp_folder.h"

namespace vek::test {
namespace {

namespace fs = std::filesystem;

// Another program's file: CRLF line ends, comments, blanks, quotes, other sections, a key line
// without '=', a header without its bracket, bytes beyond ASCII, two spellings of one key and
// a second header of the section.
const std::string FOREIGN_FILE =
    "; written by hand\r\n"
    "Orphan=before any section\r\n"
    "[Other]\r\n"
    "VEKFlashScreenX=1\r\n"
    "\r\n"
    "[myvekflashap]\r\n"
    "VEKFlashfilenamepath=C:\\dir\\a,b.hex\r\n"
    "VEKFlashFuseBits=7F3,\r\n"
    "  VEKFlashScreenX =  -12  \r\n"
    "Quoted=\"  a \"b\" c  \"\r\n"
    "Single='x'\r\n"
    "HalfQuoted=\"abc\r\n"
    "Equals= a=b==c\r\n"
    "Empty=\r\n"
    "Blank=  \t \r\n"
    "Tabs=\ta\tb\t\r\n"
    "Semicolons=a;b ; c\r\n"
    ";VEKFlashProcSelection=7\r\n"
    "VEKFlashProcSelection\r\n"
    "[NotAHeader\r\n"
    "High=\xC3\xA9\xFF\r\n"
    "VEKFlashFuseXBits=111\r\n"
    "VEKFlashFusexBits=222\r\n"
    "[ MyVEKFlashAp ]\r\n"
    "VEKFlashmicrochipBits=3F72\r\n"
    "[Last]\r\n"
    "Key=no line break";

TEST(IniText, ValuesReadExactlyAsWritten) {
    struct Case {
        const char* section;
        const char* key;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"MyVEKFlashAp", "VEKFlashfilenamepath", "C:\\dir\\a,b.hex"},
        {"MyVEKFlashAp", "vekflashfusebits", "7F3,"},
        {"MYVEKFLASHAP", "VEKFlashScreenX", "-12"},
        {"Other", "VEKFlashScreenX", "1"},
        {"MyVEKFlashAp", "Quoted", "  a \"b\" c  "},
        {"MyVEKFlashAp", "Single", "x"},
        {"MyVEKFlashAp", "HalfQuoted", "\"abc"},
        {"MyVEKFlashAp", "Equals", "a=b==c"},
        {"MyVEKFlashAp", "Empty", ""},
        {"MyVEKFlashAp", "Blank", ""},
        {"MyVEKFlashAp", "Tabs", "a\tb"},
        {"MyVEKFlashAp", "Semicolons", "a;b ; c"},
        {"MyVEKFlashAp", "High", "\xC3\xA9\xFF"},
        // A comment and a line without '=' hold no key.
        {"MyVEKFlashAp", "VEKFlashProcSelection", std::nullopt},
        {"MyVEKFlashAp", ";VEKFlashProcSelection", std::nullopt},
        // The first line of either spelling wins.
        {"MyVEKFlashAp", "VEKFlashFusexBits", "111"},
        {"MyVEKFlashAp", "VEKFlashFuseXBits", "111"},
        // Only the section's first header counts.
        {"MyVEKFlashAp", "VEKFlashmicrochipBits", std::nullopt},
        {"Last", "KEY", "no line break"},
        {"Missing", "Key", std::nullopt},
        {"", "Orphan", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindIniValue(FOREIGN_FILE, c.section, c.key), c.value)
            << c.section << "/" << c.key;
    }
}

TEST(IniText, AWriteChangesOnlyItsValueOrAddsOneLine) {
    struct Case {
        const char* text;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        // In place, keeping the line's spelling, blanks and line end.
        {"[S]\r\n  Key =  old  \r\nNext=1\r\n", "KEY", "[S]\r\n  Key =  new  \r\nNext=1\r\n"},
        {"[s]\nKey=\"old\"\n", "key", "[s]\nKey=new\n"},
        {"[S]\nKey= \t\n", "Key", "[S]\nKey=new \t\n"},
        {"[S]\nKey=new\n", "Key", "[S]\nKey=new\n"},
        // The first spelling takes the value; the other line stays.
        {"[S]\nFuseXBits=1\nFusexBits=2\n", "FusexBits", "[S]\nFuseXBits=new\nFusexBits=2\n"},
        // Added after the section's last entry, before its blank lines and comments.
        {"[S]\na=1\n\n; next\n[T]\nKey=2\n", "Key", "[S]\na=1\nKey=new\n\n; next\n[T]\nKey=2\n"},
        {"[S]\r\na=1\r\n", "Key", "[S]\r\na=1\r\nKey=new\r\n"},
        {"[S]\na=1", "Key", "[S]\na=1\nKey=new\n"},
        {"[S]\n[T]\n", "Key", "[S]\nKey=new\n[T]\n"},
        {"[S]\nKey\n;Key=1\n", "Key", "[S]\nKey\nKey=new\n;Key=1\n"},
        {"[S]\na=1\n[s]\nKey=9\n", "Key", "[S]\na=1\nKey=new\n[s]\nKey=9\n"},
        // A missing section goes at the end.
        {"", "Key", "[S]\nKey=new\n"},
        {"[T]\r\nb=2", "Key", "[T]\r\nb=2\r\n[S]\r\nKey=new\r\n"},
        {"[T]\nKey=2\n\n", "Key", "[T]\nKey=2\n\n[S]\nKey=new\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SetIniValue(c.text, "S", c.key, "new"), c.expected) << c.text;
    }
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

class IniSettings : public ::testing::Test {
  protected:
    std::set<std::string> FolderEntries() const {
        std::set<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }
    std::string ReadText(const char* key, const char* defaultText = "<default>") {
        return store.ReadSettingText(SETTINGS_SECTION, key, defaultText);
    }
    int ReadInt(const char* key) { return store.ReadSettingInt(SETTINGS_SECTION, key, -99); }

    TempFolder temporary;
    fs::path folder = temporary.Path();
    fs::path path = folder / "vekflash.INI";
    IniSettingsStore store{path};
};

TEST_F(IniSettings, AForeignFileReadsExactlyAndAWriteChangesOnlyItsOwnValue) {
    WriteBytes(path, FOREIGN_FILE);
    EXPECT_EQ(ReadText(KEY_FILE_NAME_PATH), "C:\\dir\\a,b.hex");
    EXPECT_EQ(ReadText(KEY_FUSE_BITS), "7F3,");
    EXPECT_EQ(ReadText(KEY_FUSEX_BITS), "111");
    EXPECT_EQ(ReadText(KEY_PROC_SELECTION), "<default>");
    EXPECT_EQ(ReadInt(KEY_SCREEN_X), -12);

    EXPECT_TRUE(store.WriteSettingText(SETTINGS_SECTION, KEY_FUSEX_BITS_LOADER, "0A5"));
    EXPECT_TRUE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 321));
    EXPECT_TRUE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_Y, 234));

    std::string expected = FOREIGN_FILE;
    expected.replace(expected.find("111"), 3, "0A5");
    expected.replace(expected.find("-12"), 3, "321");
    expected.insert(expected.find("[ MyVEKFlashAp ]"), "VEKFlashScreenY=234\r\n");
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_EQ(ReadText(KEY_FUSEX_BITS), "0A5");
    EXPECT_EQ(ReadText(KEY_FILE_NAME_PATH), "C:\\dir\\a,b.hex");
    EXPECT_EQ(FolderEntries(), std::set<std::string>{"vekflash.INI"});
}

TEST_F(IniSettings, BothSpellingsOfTheFuseXKeyAreOneValue) {
    EXPECT_TRUE(store.WriteSettingText(SETTINGS_SECTION, KEY_FUSEX_BITS_LOADER, "7F3"));
    EXPECT_EQ(ReadText(KEY_FUSEX_BITS), "7F3");
    EXPECT_TRUE(store.WriteSettingText(SETTINGS_SECTION, KEY_FUSEX_BITS, "0A5"));
    EXPECT_EQ(ReadText(KEY_FUSEX_BITS_LOADER), "0A5");
    EXPECT_EQ(ReadBytes(path), "[MyVEKFlashAp]\nVEKFlashFuseXBits=0A5\n");
}

TEST_F(IniSettings, IntegersAreDecimalTextReadUpToTheirFirstOtherCharacter) {
    struct Case {
        const char* stored;
        int read;
    };
    const Case cases[] = {
        {"120abc", 120},
        {"-5", -5},
        {"+7", 7},
        {" 42 ", 42},
        {"\"13\"", 13},
        {"abc", 0},
        {"-", 0},
        {"0x1F", 0},
        {"", -99},
        {"2147483647", 2147483647},
        {"2147483648", -2147483647 - 1},
        {"4294967297", 1},
    };
    for (const Case& c : cases) {
        WriteBytes(path, std::string("[MyVEKFlashAp]\nVEKFlashScreenX=") + c.stored + "\n");
        EXPECT_EQ(ReadInt(KEY_SCREEN_X), c.read) << c.stored;
    }
    EXPECT_EQ(ReadInt(KEY_SCREEN_Y), -99);

    EXPECT_TRUE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, -2147483647 - 1));
    EXPECT_TRUE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_Y, 240));
    EXPECT_EQ(ReadBytes(path),
              "[MyVEKFlashAp]\nVEKFlashScreenX=-2147483648\nVEKFlashScreenY=240\n");
}

TEST_F(IniSettings, ATextReadReturnsAtMost4095Characters) {
    const std::string longPath(5000, 'p');
    EXPECT_TRUE(store.WriteSettingText(SETTINGS_SECTION, KEY_FILE_NAME_PATH, longPath));
    EXPECT_EQ(ReadText(KEY_FILE_NAME_PATH), longPath.substr(0, 4095));
    EXPECT_EQ(ReadText(KEY_FUSE_BITS, longPath.c_str()), longPath.substr(0, 4095));
    EXPECT_EQ(ReadBytes(path), "[MyVEKFlashAp]\nVEKFlashfilenamepath=" + longPath + "\n");
}

TEST_F(IniSettings, AMissingFileReadsDefaultsAndTheFirstWriteCreatesItsFolders) {
    IniSettingsStore fresh(folder / "config" / "vekflash.INI");
    EXPECT_EQ(fresh.ReadSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 100), 100);
    EXPECT_EQ(fresh.ReadSettingText(SETTINGS_SECTION, KEY_FUSE_BITS, "4E9"), "4E9");
    EXPECT_EQ(FolderEntries(), std::set<std::string>{});

    EXPECT_TRUE(fresh.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 7));
    EXPECT_EQ(ReadBytes(folder / "config" / "vekflash.INI"), "[MyVEKFlashAp]\nVEKFlashScreenX=7\n");
}

TEST_F(IniSettings, AWriteThatChangesNothingLeavesTheDiskAlone) {
    WriteBytes(path, "[MyVEKFlashAp]\r\nVEKFlashScreenX = \"321\"\r\nVEKFlashScreenY=234\r\n");
    EXPECT_TRUE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 321));
    FolderChanges changes(folder);
    ASSERT_TRUE(changes.Watching());

    for (int tick = 0; tick < 3; ++tick) {
        EXPECT_TRUE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 321));
        EXPECT_TRUE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_Y, 234));
    }
    EXPECT_EQ(changes.Take(), 0);
    EXPECT_TRUE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_Y, 235));
    EXPECT_GT(changes.Take(), 0);
    EXPECT_EQ(ReadBytes(path),
              "[MyVEKFlashAp]\r\nVEKFlashScreenX = 321\r\nVEKFlashScreenY=235\r\n");
}

TEST_F(IniSettings, TheReplacedFileKeepsItsPermissionsAndItsSymbolicLink) {
    const fs::path real = folder / "real.INI";
    WriteBytes(real, "[MyVEKFlashAp]\nVEKFlashScreenX=1\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("real.INI", path);

    EXPECT_TRUE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 2));
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(ReadBytes(real), "[MyVEKFlashAp]\nVEKFlashScreenX=2\n");
    EXPECT_EQ(fs::status(real).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(FolderEntries(), (std::set<std::string>{"real.INI", "vekflash.INI"}));
}

TEST_F(IniSettings, AnUnreadableFileReadsDefaultsAndIsNeverReplaced) {
    // A folder in the file's place cannot be read, whoever runs the test.
    fs::create_directory(path);
    EXPECT_EQ(ReadInt(KEY_SCREEN_X), -99);
    EXPECT_FALSE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 5));
    // Replacing it fails at the rename, which leaves no temporary file behind.
    EXPECT_FALSE(ReplaceWholeFile(path, "[MyVEKFlashAp]\n"));
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(FolderEntries(), std::set<std::string>{"vekflash.INI"});
}

TEST_F(IniSettings, AFailedWriteReportsItAndKeepsTheOldFile) {
    WriteBytes(path, "[MyVEKFlashAp]\nVEKFlashfilenamepath=/old.hex\n");
    // A line break would start a line of its own in the file.
    EXPECT_FALSE(store.WriteSettingText(SETTINGS_SECTION, KEY_FILE_NAME_PATH, "/a\nOther=1"));
    EXPECT_FALSE(store.WriteSettingText(SETTINGS_SECTION, KEY_FILE_NAME_PATH, "/a\r.hex"));
    EXPECT_EQ(ReadText(KEY_FILE_NAME_PATH), "/old.hex");

    IniSettingsStore underAFile(path / "vekflash.INI");
    EXPECT_FALSE(underAFile.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 5));
    EXPECT_EQ(underAFile.ReadSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 100), 100);
    EXPECT_EQ(ReadBytes(path), "[MyVEKFlashAp]\nVEKFlashfilenamepath=/old.hex\n");
}

// A writer killed at any point, again and again: the file is always the old one or the new
// one, whole. A killed writer may leave its temporary file, which no read looks at.
TEST_F(IniSettings, AWriterKilledAtAnyPointLeavesTheOldFileOrTheNewOne) {
    const std::string first = "/first/" + std::string(3000, 'a') + ".hex";
    const std::string second = "/second/" + std::string(3000, 'b') + ".hex";
    ASSERT_TRUE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 17));
    ASSERT_TRUE(store.WriteSettingText(SETTINGS_SECTION, KEY_FILE_NAME_PATH, second));
    const std::string secondFile = ReadBytes(path);
    ASSERT_TRUE(store.WriteSettingText(SETTINGS_SECTION, KEY_FILE_NAME_PATH, first));
    const std::string firstFile = ReadBytes(path);

    std::mt19937 random(12345);
    std::uniform_int_distribution<int> killAfterMicroseconds(0, 4000);
    for (int round = 0; round < 60; ++round) {
        const pid_t writer = fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive a test that died
            for (;;) {
                store.WriteSettingText(SETTINGS_SECTION, KEY_FILE_NAME_PATH, second);
                store.WriteSettingText(SETTINGS_SECTION, KEY_FILE_NAME_PATH, first);
            }
        }
        usleep(static_cast<useconds_t>(killAfterMicroseconds(random)));
        kill(writer, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(writer, &status, 0), writer);

        const std::string file = ReadBytes(path);
        ASSERT_TRUE(file == firstFile || file == secondFile) << "round " << round;
        const std::string read = ReadText(KEY_FILE_NAME_PATH);
        EXPECT_TRUE(read == first || read == second);
        EXPECT_EQ(ReadInt(KEY_SCREEN_X), 17);
    }
    // Nothing but temporary files of the store's own name are left beside it.
    for (const std::string& name : FolderEntries()) {
        EXPECT_TRUE(name == "vekflash.INI" || name.rfind("vekflash.INI.", 0) == 0) << name;
    }
    EXPECT_TRUE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 18));
    EXPECT_EQ(ReadInt(KEY_SCREEN_X), 18);
}

// A killed writer's temporary file goes with the next write once it is a minute old; a fresh
// one may be another writer's, still at work.
TEST_F(IniSettings, ADeadWritersTemporaryFileGoesWithTheNextWrite) {
    const auto now = fs::file_time_type::clock::now();
    for (const char* name : {"vekflash.INI.0badc0de.tmp", "vekflash.INI.1234abcd.tmp",
                             "vekflash.INI.old.tmp", "other.INI.0badc0de.tmp"}) {
        WriteBytes(folder / name, "[MyVEKFlashAp]\n");
        fs::last_write_time(folder / name, now - std::chrono::minutes(2));
    }
    WriteBytes(folder / "vekflash.INI.fffffff0.tmp", "[MyVEKFlashAp]\n");
    EXPECT_TRUE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 1));
    EXPECT_EQ(FolderEntries(),
              (std::set<std::string>{"vekflash.INI", "vekflash.INI.fffffff0.tmp",
                                     "vekflash.INI.old.tmp", "other.INI.0badc0de.tmp"}));
}

// Root passes every permission check, so these cases need another user (CI may run as root).
TEST_F(IniSettings, WithoutPermissionAFileIsNeitherReadNorReplaced) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root bypasses file permissions";
    }
    const std::string saved = "[MyVEKFlashAp]\nVEKFlashScreenX=1\nOther=2\n";
    WriteBytes(path, saved);
    fs::permissions(path, fs::perms::owner_write);
    EXPECT_EQ(ReadInt(KEY_SCREEN_X), -99);
    EXPECT_FALSE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 5));
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(ReadBytes(path), saved);

    // A read-only folder takes no temporary file; a value already there needs none.
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 5));
    EXPECT_TRUE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 1));
    EXPECT_EQ(ReadInt(KEY_SCREEN_X), 1);
    EXPECT_EQ(ReadBytes(path), saved);
    EXPECT_EQ(FolderEntries(), std::set<std::string>{"vekflash.INI"});
}

}  // namespace
}  // namespace vek::test
