#include <windows.h>

#include <mmsystem.h>

#include "tests/settings/SettingsFixture.h"

namespace {

const char kFreshConfig[] =
    "[TIDEMARROW]\r\n"
    "#SoftVersion=2.01\r\n"
    "#Config ver=00 01 C0\r\n"
    "#Erase=0\r\n"
    "#Dropfile=0\r\n"
    "#Warning close=1\r\n"
    "#Remove enable=0\r\n"
    "#Erase highspeed=0\r\n"
    "#Error report=1\r\n"
    "#UseExitFunction=1\r\n"
    "#Use SSTP=0\r\n"
    "#ShowGrid=0\r\n"
    "#Sound=0\r\n"
    "#SoundFile=\r\n"
    "#IE_TOOL_01=0\r\n"
    "#IE_TOOLS_02=1\r\n"
    "#E_TOOLS_01=0\r\n"
    "#CustomMode=0\r\n"
    "#ShowUserName=0\r\n"
    "#AutoIn=0\r\n"
    "#RemoveReadOnly=0\r\n"
    "#Verify=0\r\n"
    "#END_CONFIG=00 2A\r\n";

using SettingsStore = SettingsTest;

TEST_F(SettingsStore, NewProfileHoldsTheInitialValuesAndItsFirstSaveWritesTheWholeFile) {
    TConfigWindow config;
    config.SetProfileFolder(profile_);
    config.SetProfileName(L"DefaultUser");
    config.LoadSettings();
    EXPECT_EQ(config.Erase(), 0);
    EXPECT_FALSE(config.Dropfile());
    EXPECT_TRUE(config.WarningClose());
    EXPECT_TRUE(config.ErrorReport());
    EXPECT_TRUE(config.UseExitFunction());
    EXPECT_EQ(config.SSTPPort(), 9801);
    EXPECT_EQ(config.IETools02(), 1);
    EXPECT_TRUE(config.SoundFile().empty());
    EXPECT_FALSE(config.PowerOffAfterRun());
    EXPECT_EQ(config.ProfileName(), L"DefaultUser");
    EXPECT_FALSE(FileExists(ConfigPath())) << "loading writes nothing";

    config.SaveSettings();
    EXPECT_EQ(ReadBytes(ConfigPath()), kFreshConfig);
    EXPECT_TRUE(FileExists(DataPath(L"remove.txt")));
    EXPECT_TRUE(FileExists(DataPath(L"customerase.txt")));
    EXPECT_TRUE(RecordedAssertions().empty());
}

TEST_F(SettingsStore, HandWrittenValuesAreReadWithTheirDefaults) {
    WriteConfig(
        "[tidemarrow]\r\n"
        "#Erase=0x2\r\n"
        "#Remove enable=yes\r\n"
        "#Warning close=2\r\n"
        "#UseExitFunction=$0\r\n"
        "#Use SSTP=-1\r\n"
        "#SSTP_Port=70000\r\n"
        "#ShowGrid=0x\r\n"
        "#IE_TOOL_01=0X2\r\n"
        "#IE_TOOLS_02=3\r\n"
        "#E_TOOLS_01=-1\r\n"
        "#CustomMode=$1\r\n"
        "#SOUNDFILE=C:\\\x89\xb9\\ding.wav\r\n"
        "#Config ver=something else\r\n");
    TConfigWindow config;
    config.SetProfileFolder(profile_);
    config.LoadSettings();
    EXPECT_EQ(config.Erase(), 2);
    EXPECT_EQ(config.CurrentEraseMode(), EraseMode::High);
    EXPECT_TRUE(config.Dropfile()) << "a file without the key turns subfolders on";
    EXPECT_FALSE(config.RemoveEnable()) << "not a number: the read default";
    EXPECT_TRUE(config.WarningClose());
    EXPECT_FALSE(config.UseExitFunction());
    EXPECT_TRUE(config.UseSSTP());
    EXPECT_EQ(config.SSTPPort(), 4464) << "the low 16 bits";
    EXPECT_FALSE(config.ShowGrid()) << "\"0x\" is no number and the default is off";
    EXPECT_EQ(config.IETool01(), 2);
    EXPECT_EQ(config.IETools02(), -1) << "no such level";
    EXPECT_EQ(config.ETools01(), -1);
    EXPECT_EQ(config.CustomMode(), 1);
    EXPECT_EQ(config.SoundFile(), L"C:\\音\\ding.wav");
    const auto levels = config.HistoryToolLevels();
    EXPECT_EQ(levels[0], EraseLevel::Speed) << "an index of -1 acts as Speed";
    EXPECT_EQ(levels[1], EraseLevel::High);
    EXPECT_EQ(levels[2], EraseLevel::Speed);
}

TEST_F(SettingsStore, YesReadsAsEachKeysDefaultAndOutOfRangeModeIsSavedAsMinusOne) {
    WriteConfig("[TIDEMARROW]\r\n#Dropfile=yes\r\n#Erase=7\r\n");
    TConfigWindow config;
    config.SetProfileFolder(profile_);
    config.LoadSettings();
    EXPECT_TRUE(config.Dropfile());
    EXPECT_EQ(config.Erase(), -1);
    EXPECT_EQ(config.CurrentEraseMode(), EraseMode::Speed);
    config.SaveSettings();
    EXPECT_NE(ReadBytes(ConfigPath()).find("\r\n#Erase=-1\r\n"), std::string::npos);
}

TEST_F(SettingsStore, SavingKeepsHandWrittenKeysAndRewritesTheStamps) {
    WriteConfig(
        "[TIDEMARROW]\r\n#SSTP_Port=12345\r\n#Config ver=ZZ\r\n#Mine=kept\r\n#Sound=1\r\n"
        "[Other]\r\nkey=value\r\n");
    {
        TConfigWindow config;
        config.SetProfileFolder(profile_);
        config.LoadSettings();
        EXPECT_EQ(config.SSTPPort(), 12345);
        EXPECT_TRUE(config.Sound());
        config.SaveSettings();
        config.SaveSettings();
    }  // and once more when the store is freed
    const std::string text = ReadBytes(ConfigPath());
    EXPECT_EQ(text.rfind("[TIDEMARROW]\r\n#SSTP_Port=12345\r\n#Config ver=00 01 C0\r\n#Mine=kept\r\n#Sound=1\r\n", 0), 0u)
        << text;
    EXPECT_NE(text.find("[Other]\r\nkey=value\r\n"), std::string::npos);
    EXPECT_EQ(text.find("ZZ"), std::string::npos);
    EXPECT_NE(text.find("#END_CONFIG=00 2A\r\n"), std::string::npos);
}

TEST_F(SettingsStore, PowerOffIsNeverSavedAndDefaultsDoNotTouchThePort) {
    {
        TConfigWindow config;
        config.SetProfileFolder(profile_);
        config.EditValues().PowerOffAfterRun = true;
        config.EditValues().SSTPPort = 4000;
        config.SaveSettings();
    }
    EXPECT_EQ(ReadBytes(ConfigPath()).find("Power"), std::string::npos);
    EXPECT_EQ(ReadBytes(ConfigPath()).find("SSTP_Port"), std::string::npos);
    TConfigWindow config;
    config.SetProfileFolder(profile_);
    config.LoadSettings();
    EXPECT_FALSE(config.PowerOffAfterRun());
    EXPECT_EQ(config.SSTPPort(), 9801);
    config.EditValues().SSTPPort = 4000;
    config.ApplyAllDefaults();
    EXPECT_EQ(config.SSTPPort(), 4000);
}

TEST_F(SettingsStore, MissingProfileFolderOrConfigLeavesEverythingAsItIs) {
    TConfigWindow config;
    config.SetProfileFolder(root_ / L"NoSuchUser");
    config.SaveSettings();
    EXPECT_FALSE(DirectoryExists(root_ / L"NoSuchUser"));

    // No Config.ini: remove.txt is not read, and the next save overwrites it with the built-in list.
    MakeDataFolder();
    ASSERT_TRUE(WriteBytes(DataPath(L"remove.txt"), "abc\r\n"));
    config.SetProfileFolder(profile_);
    config.LoadSettings();
    EXPECT_EQ(config.Entries(ExtensionList::Exclusion).size(), 8u);
    config.SaveSettings();
    EXPECT_EQ(ReadBytes(DataPath(L"remove.txt")), "cmd\r\ncpl\r\ndrv\r\nscr\r\nsys\r\ntlb\r\nvrd\r\nvxd\r\n");
    EXPECT_TRUE(RecordedAssertions().empty());
}

TEST_F(SettingsStore, UnwritableConfigStopsTheSaveWithOneReport) {
    WriteConfig("[TIDEMARROW]\r\n#Erase=2\r\n");
    ASSERT_TRUE(::SetFileAttributesW(ConfigPath().c_str(), FILE_ATTRIBUTE_READONLY));
    {
        TConfigWindow config;
        config.SetProfileFolder(profile_);
        config.LoadSettings();
        config.EditValues().Erase = 1;
        config.SaveSettings();
        EXPECT_EQ(config.Erase(), 1) << "the fields in memory stay";
        const auto reports = RecordedAssertions();
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].message, L"INI Error -05");
        EXPECT_EQ(reports[0].unit, L"config");
        EXPECT_EQ(reports[0].line, 583);
        EXPECT_FALSE(FileExists(DataPath(L"remove.txt"))) << "the lists are not written after a failure";
        ::SetFileAttributesW(ConfigPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    EXPECT_NE(ReadBytes(ConfigPath()).find("#Erase=1"), std::string::npos) << "the store saves when it is freed";
}

TEST_F(SettingsStore, PageDefaultsRestoreTheirOwnFieldsOnly) {
    TConfigWindow config;
    Settings& v = config.EditValues();
    v.Dropfile = true;
    v.WarningClose = false;
    v.PowerOffAfterRun = true;
    v.Verify = true;
    v.RemoveReadOnly = true;
    v.Erase = 3;
    v.CustomMode = 2;
    v.IETools02 = 2;
    v.Sound = true;
    v.SoundFile = L"C:\\a.wav";
    config.EditEntries(ExtensionList::Exclusion).clear();
    config.EditEntries(ExtensionList::Custom).clear();
    config.RebuildCustomView();

    config.ApplyPageDefaults(6);
    config.ApplyPageDefaults(0);
    EXPECT_FALSE(config.Dropfile());
    EXPECT_TRUE(config.WarningClose());
    EXPECT_FALSE(config.PowerOffAfterRun());
    EXPECT_FALSE(config.Verify());
    EXPECT_TRUE(config.RemoveReadOnly()) << "page 1 not yet";
    config.ApplyPageDefaults(1);
    EXPECT_FALSE(config.RemoveReadOnly());
    EXPECT_EQ(config.Entries(ExtensionList::Exclusion).size(), 8u);
    EXPECT_EQ(config.Erase(), 3);
    config.ApplyPageDefaults(2);
    EXPECT_EQ(config.Erase(), 0);
    config.ApplyPageDefaults(3);
    EXPECT_EQ(config.CustomMode(), 0);
    EXPECT_EQ(config.Entries(ExtensionList::Custom).size(), 33u);
    EXPECT_EQ(config.CustomView().size(), 33u);
    config.ApplyPageDefaults(4);
    EXPECT_EQ(config.IETools02(), 1);
    config.ApplyPageDefaults(5);
    EXPECT_FALSE(config.Sound());
    EXPECT_TRUE(config.SoundFile().empty());

    config.SetActivePage(4);
    config.EditValues().Dropfile = true;
    config.ApplyAllDefaults();
    EXPECT_FALSE(config.Dropfile());
    EXPECT_EQ(config.ActivePage(), 4);
}

TEST_F(SettingsStore, ModeAndLevelIndexesMapToSpeedWhenOutOfRange) {
    TConfigWindow config;
    EXPECT_EQ(TConfigWindow::LevelFromIndex(-1), 0);
    EXPECT_EQ(TConfigWindow::LevelFromIndex(0), 0);
    EXPECT_EQ(TConfigWindow::LevelFromIndex(3), 3);
    EXPECT_EQ(TConfigWindow::LevelFromIndex(4), 0);
    config.SetEraseMode(EraseMode::Custom);
    EXPECT_EQ(config.CurrentEraseMode(), EraseMode::Custom);
    config.SetEraseMode(static_cast<EraseMode>(9));
    EXPECT_EQ(config.Erase(), 0);
    const auto levels = config.HistoryToolLevels();
    EXPECT_EQ(levels[0], EraseLevel::Normal);
    EXPECT_EQ(levels[1], EraseLevel::Speed);
    EXPECT_EQ(levels[2], EraseLevel::Speed);
    EXPECT_FALSE(config.ExclusionActive());
    config.EditValues().RemoveEnable = true;
    EXPECT_TRUE(config.ExclusionActive());
    EXPECT_EQ(ConfigWindow(), &config);
}

TEST_F(SettingsStore, CompletionSoundPlaysOnlyAnExistingFileWhenSwitchedOn) {
    std::vector<std::pair<std::wstring, UINT>> played;
    const SoundPlayer previous = SetSoundPlayer([&](const std::wstring& path, UINT flags) {
        played.emplace_back(path, flags);
        return true;
    });
    const std::wstring wav = root_ / L"done.wav";
    ASSERT_TRUE(WriteBytes(wav, "RIFF"));
    TConfigWindow config;
    config.EditValues().SoundFile = wav;
    config.PlayCompletionSound();
    EXPECT_TRUE(played.empty()) << "sound is off";
    config.EditValues().Sound = true;
    config.PlayCompletionSound();
    config.EditValues().SoundFile = root_ / L"missing.wav";
    config.PlayCompletionSound();
    SetSoundPlayer(previous);
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].first, wav);
    EXPECT_EQ(played[0].second & SND_ASYNC, static_cast<UINT>(SND_ASYNC));
    EXPECT_TRUE(RecordedAssertions().empty());
}

}  // namespace
