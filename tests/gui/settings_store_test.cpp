#include "ini_settings_store.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace vek::test {
namespace {

class IniSettings : public ::testing::Test {
  protected:
    QString FileText() const {
        QFile file(path);
        return file.open(QFile::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    void WriteFile(const QByteArray& content) const {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QFile::WriteOnly | QFile::Truncate));
        file.write(content);
    }

    QTemporaryDir folder;
    // A folder that does not exist yet, as the configuration folder on a fresh system.
    QString path = folder.filePath("config/vekflash.INI");
    IniSettingsStore store{path};
};

TEST_F(IniSettings, KeysMatchWithoutRegardToCaseAndKeepOneEntry) {
    store.WriteSettingText(SETTINGS_SECTION, KEY_FUSEX_BITS_LOADER, "7F3");
    EXPECT_EQ(store.ReadSettingText(SETTINGS_SECTION, KEY_FUSEX_BITS, "440"), "7F3");

    store.WriteSettingText(SETTINGS_SECTION, KEY_FUSEX_BITS, "0A5");
    EXPECT_EQ(store.ReadSettingText(SETTINGS_SECTION, KEY_FUSEX_BITS_LOADER, "440"), "0A5");
    EXPECT_EQ(FileText().count("fusexbits=", Qt::CaseInsensitive), 1) << FileText().toStdString();
}

TEST_F(IniSettings, AWriteMergesSpellingsThatAnotherProgramLeftTwice) {
    WriteFile("[MyVEKFlashAp]\nVEKFlashFuseXBits=111\nVEKFlashFusexBits=222\nOther=1\n");
    EXPECT_TRUE(store.WriteSettingText(SETTINGS_SECTION, KEY_FUSEX_BITS, "333"));

    EXPECT_EQ(FileText().count("fusexbits=", Qt::CaseInsensitive), 1) << FileText().toStdString();
    EXPECT_EQ(store.ReadSettingText(SETTINGS_SECTION, KEY_FUSEX_BITS_LOADER, ""), "333");
    EXPECT_EQ(store.ReadSettingInt(SETTINGS_SECTION, "other", 0), 1);
}

TEST_F(IniSettings, AbsentKeysGiveTheCallersDefaultAndReadsCreateNothing) {
    EXPECT_EQ(store.ReadSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 100), 100);
    EXPECT_EQ(store.ReadSettingText(SETTINGS_SECTION, KEY_FUSE_BITS, "---"), "---");
    EXPECT_EQ(store.ReadSettingText(SETTINGS_SECTION, KEY_FUSE_BITS, "4E9"), "4E9");
    EXPECT_FALSE(QFile::exists(path));

    store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_Y, 7);
    EXPECT_EQ(store.ReadSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 100), 100);
    EXPECT_EQ(store.ReadSettingInt("AnotherSection", KEY_SCREEN_Y, 100), 100);
}

TEST_F(IniSettings, TheFirstWriteCreatesTheFileAndLaterWritesKeepTheOtherKeys) {
    EXPECT_TRUE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, -5));
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_TRUE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_Y, 240));
    EXPECT_TRUE(
        store.WriteSettingText(SETTINGS_SECTION, KEY_FILE_NAME_PATH, "/home/me/a, b; c=\"d\".hex"));
    EXPECT_TRUE(store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 12));

    EXPECT_EQ(store.ReadSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 100), 12);
    EXPECT_EQ(store.ReadSettingInt(SETTINGS_SECTION, KEY_SCREEN_Y, 100), 240);
    EXPECT_EQ(store.ReadSettingText(SETTINGS_SECTION, KEY_FILE_NAME_PATH, ""),
              "/home/me/a, b; c=\"d\".hex");
    const QString text = FileText();
    EXPECT_TRUE(text.startsWith("[MyVEKFlashAp]\n")) << text.toStdString();
    // Integers are decimal text, a minus sign included.
    EXPECT_TRUE(text.contains("VEKFlashScreenY=240\n")) << text.toStdString();
    store.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, -5);
    EXPECT_TRUE(FileText().contains("VEKFlashScreenX=-5\n"));
}

TEST_F(IniSettings, AMalformedFileGivesTheKeysThatParseToEveryReadAndWrite) {
    // A section header without its bracket, then binary noise at the end.
    QByteArray malformed("[MyVEKFlashAp]\nVEKFlashScreenX=33\n[MyVEKFlashAp\nVEKFlashScreenY=44\n");
    for (int i = 0; i < 2000; ++i) {
        malformed.append(static_cast<char>((i * 37) % 256));
    }
    WriteFile(malformed);
    // A second file that a write reaches first, before any read has parsed it.
    IniSettingsStore writtenFirst(folder.filePath("config/written-first.INI"));
    QFile::copy(path, folder.filePath("config/written-first.INI"));

    for (int read = 0; read < 2; ++read) {
        EXPECT_EQ(store.ReadSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 100), 33);
        EXPECT_EQ(store.ReadSettingInt(SETTINGS_SECTION, KEY_SCREEN_Y, 100), 44);
    }
    EXPECT_TRUE(store.WriteSettingText(SETTINGS_SECTION, KEY_FUSE_BITS, "7F3"));
    EXPECT_TRUE(writtenFirst.WriteSettingText(SETTINGS_SECTION, KEY_FUSE_BITS, "7F3"));

    for (IniSettingsStore* written : {&store, &writtenFirst}) {
        EXPECT_EQ(written->ReadSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 100), 33);
        EXPECT_EQ(written->ReadSettingInt(SETTINGS_SECTION, KEY_SCREEN_Y, 100), 44);
        EXPECT_EQ(written->ReadSettingText(SETTINGS_SECTION, KEY_FUSE_BITS, "---"), "7F3");
    }
    EXPECT_TRUE(FileText().contains("VEKFlashScreenY=44\n")) << FileText().toStdString();
}

TEST_F(IniSettings, AValueThatIsNoNumberReadsAsTheDefault) {
    WriteFile("[MyVEKFlashAp]\nVEKFlashProcSelection=eight\nVEKFlashScreenX= 12 \n");
    EXPECT_EQ(store.ReadSettingInt(SETTINGS_SECTION, KEY_PROC_SELECTION, 0), 0);
    EXPECT_EQ(store.ReadSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 100), 12);
}

TEST_F(IniSettings, AFailedWriteIsReportedAndChangesNothing) {
    WriteFile("not a folder");
    IniSettingsStore unwritable(path + "/vekflash.INI");
    EXPECT_FALSE(unwritable.WriteSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 5));
    EXPECT_EQ(unwritable.ReadSettingInt(SETTINGS_SECTION, KEY_SCREEN_X, 100), 100);
    EXPECT_EQ(FileText(), "not a folder");
}

TEST_F(IniSettings, ATextReadReturnsAtMost4095Characters) {
    const std::string longPath(5000, 'p');
    store.WriteSettingText(SETTINGS_SECTION, KEY_FILE_NAME_PATH, longPath);
    EXPECT_EQ(store.ReadSettingText(SETTINGS_SECTION, KEY_FILE_NAME_PATH, ""),
              longPath.substr(0, 4095));
}

}  // namespace
}  // namespace vek::test
