// The INI settings store: values read exactly as another INI writer stored them, writes that
// change only their own value, and a file that is replaced whole or not at all, also while
// another program on Windows holds it open.
#include "settings/ini_settings_store.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>

#include "folder_changes.h"
#include "platform/whole_file.h"
#include "settings/ini_text.h"
#include "settings/settings_location.h"
#include "temp_folder.h"

#if !defined(_WIN32)
#include "unprivileged.h"
#endif

namespace vek::test {
namespace {

namespace fs = std::filesystem;

// Another program's file: CRLF line ends, comments, blanks, quotes, other sections, a key line
// without '=', a header without its bracket, bytes beyond ASCII, two spellings of one key and
// a second header of the section.
const std::string FOREIGN_FILE =
    "; written by hand\r\nOrphan=before any section\r\n"
    "[Other]\r\nVEKFlashScreenX=1\r\n\r\n"
    "[myvekflashap]\r\nVEKFlashfilenamepath=C:\\dir\\a,b.hex\r\nVEKFlashFuseBits=7F3,\r\n"
    "  VEKFlashScreenX =  -12  \r\nQuoted=\"  a \"b\" c  \"\r\nSingle='x'\r\nHalfQuoted=\"abc\r\n"
    "Equals= a=b==c\r\nEmpty=\r\nBlank=  \t \r\nTabs=\ta\tb\t\r\nSemicolons=a;b ; c\r\n"
    ";VEKFlashProcSelection=7\r\nVEKFlashProcSelection\r\n[NotAHeader\r\nHigh=\xC3\xA9\xFF\r\n"
    "VEKFlashFuseXBits=111\r\nVEKFlashFusexBits=222\r\n"
    "[ MyVEKFlashAp ]\r\nVEKFlashmicrochipBits=3F72\r\n"
    "[Last]\r\nKey=no line break";

std::string ReadBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::set<std::string> Entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.insert(Utf8FromPath(entry.path().filename()));
    }
    return names;
}

class IniSettings : public ::testing::Test {
  protected:
    void Store(const std::string& text) { folder.Write("vekflash.INI", text); }
    std::string ReadText(const char* key, const char* section = SETTINGS_SECTION) {
        return store.ReadSettingText(section, key, "<default>");
    }
    int ReadInt(const char* key) { return store.ReadSettingInt(SETTINGS_SECTION, key, -99); }
    bool Write(const char* key, const std::string& text) {
        return store.WriteSettingText(SETTINGS_SECTION, key, text);
    }
    bool Write(const char* key, int value) {
        return store.WriteSettingInt(SETTINGS_SECTION, key, value);
    }

    TempFolder folder;
    fs::path path = folder / "vekflash.INI";
    IniSettingsStore store{path};
};

TEST_F(IniSettings, AForeignFileReadsExactlyAsWritten) {
    struct Case {
        const char* key;
        const char* value;
        const char* section = "MyVEKFlashAp";
    };
    const Case cases[] = {
        {"VEKFlashfilenamepath", "C:\\dir\\a,b.hex"},
        {"vekflashfusebits", "7F3,"},
        {"VEKFlashScreenX", "-12", "MYVEKFLASHAP"},
        {"VEKFlashScreenX", "1", "Other"},
        {"Quoted", "  a \"b\" c  "},
        {"Single", "x"},
        {"HalfQuoted", "\"abc"},
        {"Equals", "a=b==c"},
        {"Empty", ""},
        {"Blank", ""},
        {"Tabs", "a\tb"},
        {"Semicolons", "a;b ; c"},
        {"High", "\xC3\xA9\xFF"},
        // A comment and a line without '=' hold no key.
        {"VEKFlashProcSelection", "<default>"},
        {";VEKFlashProcSelection", "<default>"},
        // The first line of either spelling wins.
        {"VEKFlashFusexBits", "111"},
        {"VEKFlashFuseXBits", "111"},
        // Only the section's first header counts.
        {"VEKFlashmicrochipBits", "<default>"},
        {"KEY", "no line break", "Last"},
        {"Key", "<default>", "Missing"},
        {"Orphan", "<default>", ""},
    };
    Store(FOREIGN_FILE);
    for (const Case& c : cases) {
        EXPECT_EQ(ReadText(c.key, c.section), c.value) << c.section << "/" << c.key;
    }
}

TEST_F(IniSettings, AWriteChangesOnlyItsOwnValueAndBothFuseXSpellingsAreOne) {
    Store(FOREIGN_FILE);
    EXPECT_TRUE(Write(KEY_FUSEX_BITS_LOADER, "7F3"));
    EXPECT_EQ(ReadText(KEY_FUSEX_BITS), "7F3");
    EXPECT_TRUE(Write(KEY_FUSEX_BITS, "0A5"));
    EXPECT_EQ(ReadText(KEY_FUSEX_BITS_LOADER), "0A5");
    EXPECT_TRUE(Write(KEY_SCREEN_X, 321));
    EXPECT_TRUE(Write(KEY_SCREEN_Y, 234));

    std::string expected = FOREIGN_FILE;
    expected.replace(expected.find("111"), 3, "0A5");
    expected.replace(expected.find("-12"), 3, "321");
    expected.insert(expected.find("[ MyVEKFlashAp ]"), "VEKFlashScreenY=234\r\n");
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_EQ(Entries(folder.Path()), std::set<std::string>{"vekflash.INI"});
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

TEST_F(IniSettings, IntegersAreDecimalTextReadUpToTheirFirstOtherCharacter) {
    const std::pair<const char*, int> cases[] = {{"120abc", 120},
                                                 {"-5", -5},
                                                 {"+7", 7},
                                                 {" 42 ", 42},
                                                 {"\"13\"", 13},
                                                 {"abc", 0},
                                                 {"-", 0},
                                                 {"0x1F", 0},
                                                 {"", -99},
                                                 {"2147483647", INT32_MAX},
                                                 {"2147483648", INT32_MIN},
                                                 {"4294967297", 1}};
    for (const auto& [stored, read] : cases) {
        Store(std::string("[MyVEKFlashAp]\nVEKFlashScreenX=") + stored + "\n");
        EXPECT_EQ(ReadInt(KEY_SCREEN_X), read) << stored;
    }
    EXPECT_EQ(ReadInt(KEY_SCREEN_Y), -99);

    EXPECT_TRUE(Write(KEY_SCREEN_X, INT32_MIN));
    EXPECT_TRUE(Write(KEY_SCREEN_Y, 240));
    EXPECT_EQ(ReadBytes(path),
              "[MyVEKFlashAp]\nVEKFlashScreenX=-2147483648\nVEKFlashScreenY=240\n");
}

TEST_F(IniSettings, ATextReadReturnsAtMost4095Characters) {
    const std::string longPath(5000, 'p');
    EXPECT_TRUE(Write(KEY_FILE_NAME_PATH, longPath));
    EXPECT_EQ(ReadText(KEY_FILE_NAME_PATH), longPath.substr(0, 4095));
    EXPECT_EQ(store.ReadSettingText(SETTINGS_SECTION, KEY_FUSE_BITS, longPath),
              longPath.substr(0, 4095));
    EXPECT_EQ(ReadBytes(path), "[MyVEKFlashAp]\nVEKFlashfilenamepath=" + longPath + "\n");
}

TEST_F(IniSettings, AMissingFileReadsDefaultsAndTheFirstWriteCreatesItsFolders) {
    IniSettingsStore fresh(folder / "config/vekflash.INI");
    EXPECT_EQ(fresh.ReadSettingText(SETTINGS_SECTION, KEY_FUSE_BITS, "4E9"), "4E9");
    EXPECT_EQ(Entries(folder.Path()), std::set<std::string>{});
    EXPECT_TRUE(fresh.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 7));
    EXPECT_EQ(ReadBytes(folder / "config/vekflash.INI"), "[MyVEKFlashAp]\nVEKFlashScreenX=7\n");
}

TEST_F(IniSettings, AWriteThatChangesNothingLeavesTheDiskAlone) {
    Store("[MyVEKFlashAp]\r\nVEKFlashScreenX = \"321\"\r\nVEKFlashScreenY=234\r\n");
    EXPECT_TRUE(Write(KEY_SCREEN_X, 321));
    FolderChanges changes(folder.Path());
    ASSERT_TRUE(changes.Watching());
    for (int tick = 0; tick < 3; ++tick) {
        EXPECT_TRUE(Write(KEY_SCREEN_X, 321));
        EXPECT_TRUE(Write(KEY_SCREEN_Y, 234));
    }
    EXPECT_EQ(changes.Take(), 0);
    EXPECT_TRUE(Write(KEY_SCREEN_Y, 235));
    EXPECT_GT(changes.Take(), 0);
    EXPECT_EQ(ReadBytes(path),
              "[MyVEKFlashAp]\r\nVEKFlashScreenX = 321\r\nVEKFlashScreenY=235\r\n");
}

#if !defined(_WIN32)  // Windows has POSIX permissions in name only; its links need privileges
TEST_F(IniSettings, TheReplacedFileKeepsItsPermissionsAndItsSymbolicLink) {
    const std::string real = folder.Write("real.INI", "[MyVEKFlashAp]\nVEKFlashScreenX=1\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("real.INI", path);
    EXPECT_TRUE(Write(KEY_SCREEN_X, 2));
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(ReadBytes(real), "[MyVEKFlashAp]\nVEKFlashScreenX=2\n");
    EXPECT_EQ(fs::status(real).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Entries(folder.Path()), (std::set<std::string>{"real.INI", "vekflash.INI"}));
}
#endif

TEST_F(IniSettings, AFailedWriteReportsItAndReplacesNothing) {
    Store("[MyVEKFlashAp]\nVEKFlashfilenamepath=/old.hex\n");
    // A line break would start a line of its own in the file.
    EXPECT_FALSE(Write(KEY_FILE_NAME_PATH, "/a\nOther=1"));
    EXPECT_FALSE(Write(KEY_FILE_NAME_PATH, "/a\r.hex"));
    IniSettingsStore underAFile(path / "vekflash.INI");
    EXPECT_FALSE(underAFile.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 5));
    EXPECT_EQ(underAFile.ReadSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 100), 100);
    EXPECT_EQ(ReadBytes(path), "[MyVEKFlashAp]\nVEKFlashfilenamepath=/old.hex\n");

    // A folder in the file's place cannot be read, whoever runs the test. Replacing it fails
    // at the rename, which leaves no temporary file behind.
    fs::remove(path);
    fs::create_directory(path);
    EXPECT_EQ(ReadInt(KEY_SCREEN_X), -99);
    EXPECT_FALSE(Write(KEY_SCREEN_X, 5));
    EXPECT_FALSE(ReplaceWholeFile(path, "[MyVEKFlashAp]\n"));
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(Entries(folder.Path()), std::set<std::string>{"vekflash.INI"});
}

#if !defined( \
    _WIN32)  // POSIX permissions and file-size limits, and writers in child processes of fork()
TEST_F(IniSettings, WithoutPermissionAFileIsNeitherReadNorReplaced) {
    const std::string saved = "[MyVEKFlashAp]\nVEKFlashScreenX=1\nOther=2\n";
    Store(saved);
    RunUnprivileged(folder.Path(), [&] {
        fs::permissions(path, fs::perms::owner_write);
        EXPECT_EQ(ReadInt(KEY_SCREEN_X), -99);
        EXPECT_FALSE(Write(KEY_SCREEN_X, 5));
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
        // A read-only folder takes no temporary file; a value already there needs none.
        fs::permissions(folder.Path(), fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(Write(KEY_SCREEN_X, 5));
        EXPECT_TRUE(Write(KEY_SCREEN_X, 1));
        EXPECT_EQ(ReadBytes(path), saved);
        EXPECT_EQ(Entries(folder.Path()), std::set<std::string>{"vekflash.INI"});
    });
}

// The disk fills up (here: the file-size limit is reached) while the temporary file is written;
// closing it still succeeds. The old file stays and the temporary one goes.
TEST_F(IniSettings, AWriteThatRunsOutOfSpaceKeepsTheOldFile) {
    const std::string saved = "[MyVEKFlashAp]\nVEKFlashScreenX=1\n";
    Store(saved);
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of killing
        const rlimit limit{64, 64};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(Write(KEY_FILE_NAME_PATH, std::string(100000, 'x')) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(writer, &status, 0), writer);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the write claimed success";
    EXPECT_EQ(ReadBytes(path), saved);
    EXPECT_EQ(Entries(folder.Path()), std::set<std::string>{"vekflash.INI"});
}

// A writer killed at any point, again and again: the file is always the old one or the new
// one, whole. A killed writer may leave its temporary file, which no read looks at.
TEST_F(IniSettings, AWriterKilledAtAnyPointLeavesTheOldFileOrTheNewOne) {
    const std::string first = "/first/" + std::string(3000, 'a') + ".hex";
    const std::string second = "/second/" + std::string(3000, 'b') + ".hex";
    ASSERT_TRUE(Write(KEY_SCREEN_X, 17));
    ASSERT_TRUE(Write(KEY_FILE_NAME_PATH, second));
    const std::string secondFile = ReadBytes(path);
    ASSERT_TRUE(Write(KEY_FILE_NAME_PATH, first));
    const std::string firstFile = ReadBytes(path);

    std::mt19937 random(12345);
    std::uniform_int_distribution<int> killAfterMicroseconds(0, 4000);
    for (int round = 0; round < 60; ++round) {
        const pid_t writer = fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive a test that died
            for (;;) {
                Write(KEY_FILE_NAME_PATH, second);
                Write(KEY_FILE_NAME_PATH, first);
            }
        }
        usleep(static_cast<useconds_t>(killAfterMicroseconds(random)));
        kill(writer, SIGKILL);
        ASSERT_EQ(waitpid(writer, nullptr, 0), writer);
        const std::string file = ReadBytes(path);
        ASSERT_TRUE(file == firstFile || file == secondFile) << "round " << round;
    }
    // Nothing but temporary files of the store's own name are left beside it.
    for (const std::string& name : Entries(folder.Path())) {
        EXPECT_TRUE(name == "vekflash.INI" || name.starts_with("vekflash.INI.")) << name;
    }
    EXPECT_TRUE(Write(KEY_SCREEN_X, 18));
    EXPECT_EQ(ReadInt(KEY_SCREEN_X), 18);
}
#endif

// A killed writer's temporary file goes with the next write once it is a minute old; a fresh
// one may be another writer's, still at work.
TEST_F(IniSettings, ADeadWritersTemporaryFileGoesWithTheNextWrite) {
    for (const char* name : {"vekflash.INI.0badc0de.tmp", "vekflash.INI.1234abcd.tmp",
                             "vekflash.INI.old.tmp", "other.INI.0badc0de.tmp"}) {
        fs::last_write_time(folder.Write(name, "[MyVEKFlashAp]\n"),
                            fs::file_time_type::clock::now() - std::chrono::minutes(2));
    }
    folder.Write("vekflash.INI.fffffff0.tmp", "[MyVEKFlashAp]\n");
    EXPECT_TRUE(Write(KEY_SCREEN_X, 1));
    EXPECT_EQ(Entries(folder.Path()),
              (std::set<std::string>{"vekflash.INI", "vekflash.INI.fffffff0.tmp",
                                     "vekflash.INI.old.tmp", "other.INI.0badc0de.tmp"}));
}

// Where earlier versions kept the file on Windows, a first run finds the user's settings and
// carries them over; that folder is only ever read.
TEST(SettingsLocation, AFirstRunStartsFromTheFileInTheWindowsFolder) {
    const char* const FOLDER = "<a folder of that name>";
    struct Case {
        const char* name;
        const char* inWindowsFolder;  // nullptr: nothing there
        const char* inApplicationData;
        const char* expected;  // nullptr: no file
    };
    const Case cases[] = {
        {"fresh", nullptr, nullptr, nullptr},
        {"carried over", "[MyVEKFlashAp]\r\nVEKFlashProcSelection=9\r\n", nullptr,
         "[MyVEKFlashAp]\r\nVEKFlashProcSelection=9\r\n"},
        {"already own", "[MyVEKFlashAp]\nVEKFlashProcSelection=9\n",
         "[MyVEKFlashAp]\nVEKFlashProcSelection=3\n", "[MyVEKFlashAp]\nVEKFlashProcSelection=3\n"},
        {"a folder in its place", FOLDER, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder root;
        const fs::path windows = root / "WINDOWS";
        const fs::path data = root / "Roaming";
        fs::create_directories(windows);
        fs::create_directories(data);
        const fs::path earlier = windows / "vekflash.INI";
        if (c.inWindowsFolder == FOLDER) {
            fs::create_directory(earlier);
        } else if (c.inWindowsFolder != nullptr) {
            root.Write("WINDOWS/vekflash.INI", c.inWindowsFolder);
        }
        if (c.inApplicationData != nullptr) {
            fs::create_directory(data / "VEK Flash");
            root.Write("Roaming/VEK Flash/vekflash.INI", c.inApplicationData);
        }

        const fs::path file = AdoptedSettingsFile(data, windows, "vekflash.INI");
        EXPECT_EQ(file, data / "VEK Flash" / "vekflash.INI");
        EXPECT_EQ(fs::exists(file), c.expected != nullptr);
        if (c.expected != nullptr) {
            EXPECT_EQ(ReadBytes(file), c.expected);
        }
        // Later writes go to the user's own file only.
        IniSettingsStore store(file);
        EXPECT_TRUE(store.WriteSettingInt(SETTINGS_SECTION, KEY_PROC_SELECTION, 1));
        if (c.inWindowsFolder != nullptr && c.inWindowsFolder != FOLDER) {
            EXPECT_EQ(ReadBytes(earlier), c.inWindowsFolder);
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(windows), fs::directory_iterator()),
                  c.inWindowsFolder != nullptr ? 1 : 0);
    }
}

#if defined(_WIN32)
// Opened as most programs open a file they read: others may read and write it, not delete it.
class HeldOpen {
  public:
    explicit HeldOpen(const fs::path& path)
        : handle_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~HeldOpen() { Close(); }
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;

    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    std::string Read() const {
        char buffer[256];
        DWORD count = 0;
        SetFilePointer(handle_, 0, nullptr, FILE_BEGIN);
        ReadFile(handle_, buffer, sizeof buffer, &count, nullptr);
        return std::string(buffer, count);
    }
    void Close() {
        if (IsOpen()) {
            CloseHandle(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
    }

  private:
    HANDLE handle_;
};

TEST(WindowsFiles, AFileHeldOpenElsewhereKeepsItsOldContentsUntilItIsLetGo) {
    TempFolder folder;
    const std::string path =
        folder.Write("vekflash.INI", "[MyVEKFlashAp]\r\nVEKFlashScreenX=1\r\n");
    IniSettingsStore store(PathFromUtf8(path));
    HeldOpen reader(PathFromUtf8(path));
    ASSERT_TRUE(reader.IsOpen());

    // Neither a part of the new file nor a temporary one is left.
    EXPECT_FALSE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 2));
    EXPECT_EQ(reader.Read(), "[MyVEKFlashAp]\r\nVEKFlashScreenX=1\r\n");
    EXPECT_EQ(store.ReadSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 100), 1);
    EXPECT_EQ(Entries(folder.Path()), std::set<std::string>{"vekflash.INI"});

    reader.Close();
    EXPECT_TRUE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 2));
    EXPECT_EQ(ReadBytes(PathFromUtf8(path)), "[MyVEKFlashAp]\r\nVEKFlashScreenX=2\r\n");
    EXPECT_EQ(Entries(folder.Path()), std::set<std::string>{"vekflash.INI"});
}

// The user's folder as %APPDATA% names it, here one whose name is beyond the ANSI code page.
class ApplicationData : public ::testing::Test {
  protected:
    ApplicationData() {
        const wchar_t* old = _wgetenv(L"APPDATA");
        saved_ = old != nullptr ? old : L"";
        fs::create_directory(roaming);
        _wputenv_s(L"APPDATA", roaming.c_str());
    }
    ~ApplicationData() override { _wputenv_s(L"APPDATA", saved_.c_str()); }

    TempFolder folder;
    const fs::path roaming = folder / "J\xC3\xBCrgen \xCE\xA9 \xE6\x97\xA5";

  private:
    std::wstring saved_;
};

TEST_F(ApplicationData, TheSettingsLiveInTheProgramsFolderThere) {
    const fs::path file = SystemSettingsFile("vekflash.INI").value();
    EXPECT_EQ(Utf8FromPath(file), Utf8FromPath(roaming) + "\\VEK Flash\\vekflash.INI");

    IniSettingsStore store(file);
    EXPECT_TRUE(store.WriteSettingInt(SETTINGS_SECTION, KEY_PROC_SELECTION, 8));
    EXPECT_EQ(ReadBytes(roaming / "VEK Flash" / "vekflash.INI"),
              "[MyVEKFlashAp]\nVEKFlashProcSelection=8\n");
    EXPECT_EQ(store.ReadSettingInt(SETTINGS_SECTION, KEY_PROC_SELECTION, 0), 8);
}

#endif

}  // namespace
}  // namespace vek::test
