// Files as Windows handles them: a settings file that another program holds open, and the
// settings kept in the user's application-data folder, whose path may have any characters.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <set>

#include "platform/whole_file.h"
#include "settings/ini_settings_store.h"
#include "settings/settings_location.h"
#include "temp_folder.h"

namespace vek::test {
namespace {

namespace fs = std::filesystem;

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

}  // namespace
}  // namespace vek::test
