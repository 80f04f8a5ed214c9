#include "common/Handles.h"
#include "tests/settings/SettingsFixture.h"
#include "tests/support/Gui.h"

namespace {

const std::vector<std::wstring> kSortedCustom = {
    L"aiz [Speed]", L"avi [Speed]",  L"bmp [Normal]", L"cab [Speed]",  L"dat [Speed]", L"db [Speed]",
    L"dll [Normal]", L"doc [High]",  L"dot [High]",   L"dvd [Speed]",  L"eml [High]",  L"exe [Normal]",
    L"gca [Speed]", L"gif [Normal]", L"htm [High]",   L"html [High]",  L"iso [Speed]", L"jpg [Normal]",
    L"log [High]",  L"lzh [Speed]",  L"mdf [Speed]",  L"mp3 [Speed]",  L"mpg [Speed]", L"ogg [Speed]",
    L"png [Normal]", L"rar [Speed]", L"reg [High]",   L"txt [High]",   L"wav [Speed]", L"wma [Speed]",
    L"wmv [Speed]", L"xls [High]",   L"zip [Speed]"};

using ExtensionLists = SettingsTest;

TEST_F(ExtensionLists, BuiltInListsAreSortedAndTheFirstSaveWritesThemInCodePage932) {
    TConfigWindow config;
    EXPECT_EQ(config.Entries(ExtensionList::Exclusion),
              (std::vector<std::wstring>{L"cmd", L"cpl", L"drv", L"scr", L"sys", L"tlb", L"vrd", L"vxd"}));
    EXPECT_EQ(config.Entries(ExtensionList::Custom), kSortedCustom);
    ASSERT_EQ(config.CustomView().size(), 33u);
    EXPECT_EQ(config.CustomView()[0].extension, L"aiz");
    EXPECT_EQ(config.CustomView()[0].level, EraseLevel::Speed);
    EXPECT_EQ(config.CustomView()[2].level, EraseLevel::Normal);
    EXPECT_EQ(config.SelectedIndex(ExtensionList::Custom), 0);

    config.SetProfileFolder(profile_);
    config.SaveSettings();
    std::string expected;
    for (const auto& entry : kSortedCustom) expected += std::string(entry.begin(), entry.end()) + "\r\n";
    EXPECT_EQ(ReadBytes(DataPath(L"customerase.txt")), expected);
}

TEST_F(ExtensionLists, ExclusionLookupIgnoresCaseAndOnlyCountsWhenSwitchedOn) {
    TConfigWindow config;
    DialogAnswerer noBox(L"Error", IDOK, 1500);
    EXPECT_FALSE(config.IsExcludedExtension(L"SYS"));
    config.EditValues().RemoveEnable = true;
    EXPECT_TRUE(config.IsExcludedExtension(L"SYS"));
    EXPECT_TRUE(config.IsExcludedExtension(L"sys"));
    EXPECT_FALSE(config.IsExcludedExtension(L"s.ys"));
    EXPECT_FALSE(config.IsExcludedExtension(L"sy,"));
    EXPECT_FALSE(config.IsExcludedExtension(L"txt"));
    EXPECT_FALSE(noBox.Wait()) << "a lookup never shows a message";
}

TEST_F(ExtensionLists, ForbiddenCharacterIsNamedInAMessageAndNothingIsAdded) {
    TConfigWindow config;
    const auto before = config.Entries(ExtensionList::Exclusion);
    {
        DialogAnswerer box(L"Error", IDOK);
        config.AddExclusion(L"t?t");
        ASSERT_TRUE(box.Wait());
        EXPECT_EQ(box.Text(), L"不正な文字があります　 ( ? )");
    }
    {
        DialogAnswerer box(L"Error", IDOK);
        config.AddCustomEntry(L"a.b/c");
        ASSERT_TRUE(box.Wait());
        EXPECT_EQ(box.Text(), L"不正な文字があります　 ( . )") << "the dot is checked before the slash";
    }
    {
        DialogAnswerer box(L"Error", IDOK);
        config.AddExclusion(L"x　y");
        ASSERT_TRUE(box.Wait());
        EXPECT_EQ(box.Text(), L"不正な文字があります　 ( 　 )");
    }
    EXPECT_EQ(config.Entries(ExtensionList::Exclusion), before);
    EXPECT_EQ(config.Entries(ExtensionList::Custom), kSortedCustom);
}

TEST_F(ExtensionLists, DuplicatesAreRefusedSilentlyWhateverTheCaseOrLevel) {
    TConfigWindow config;
    DialogAnswerer noBox(L"Error", IDOK, 1500);
    config.AddExclusion(L"SYS");
    config.EditValues().CustomMode = 0;
    config.AddCustomEntry(L"TXT");
    config.AddExclusion(L"");
    config.AddCustomEntry(L"");
    EXPECT_FALSE(noBox.Wait());
    EXPECT_EQ(config.Entries(ExtensionList::Exclusion).size(), 8u);
    EXPECT_EQ(config.Entries(ExtensionList::Custom), kSortedCustom);
}

TEST_F(ExtensionLists, AddedEntriesAreSortedInWithTheChosenLevel) {
    TConfigWindow config;
    config.EditValues().CustomMode = 2;
    config.AddCustomEntry(L"Abc");
    const auto& table = config.Entries(ExtensionList::Custom);
    ASSERT_EQ(table.size(), 34u);
    EXPECT_EQ(table[0], L"Abc [High]");
    EXPECT_EQ(config.CustomView()[0].extension, L"Abc");
    EXPECT_EQ(config.CustomView()[0].level, EraseLevel::High);
    EXPECT_EQ(config.CustomLevelFor(L".ABC"), EraseLevel::High);

    config.AddExclusion(L"bat");
    EXPECT_EQ(config.Entries(ExtensionList::Exclusion)[0], L"bat");
    EXPECT_EQ(config.SelectedIndex(ExtensionList::Exclusion), -1) << "an add leaves nothing selected";
    EXPECT_EQ(config.EntryBoxText(ExtensionList::Exclusion), L"bat") << "the box is not emptied";
}

TEST_F(ExtensionLists, CustomLevelComesFromTheTableOrTheCustomModeSetting) {
    TConfigWindow config;
    config.EditValues().CustomMode = 1;
    EXPECT_EQ(config.CustomLevelFor(L".TXT"), EraseLevel::High);
    EXPECT_EQ(config.CustomLevelFor(L".jpg"), EraseLevel::Normal);
    EXPECT_EQ(config.CustomLevelFor(L".db"), EraseLevel::Speed);
    EXPECT_EQ(config.CustomLevelFor(L".xyz"), EraseLevel::Normal);
    EXPECT_EQ(config.CustomLevelFor(L""), EraseLevel::Normal);
    config.EditValues().CustomMode = -1;
    EXPECT_EQ(config.CustomLevelFor(L".xyz"), EraseLevel::Speed);
    config.EditEntries(ExtensionList::Custom).clear();
    config.EditValues().CustomMode = 2;
    EXPECT_EQ(config.CustomLevelFor(L".txt"), EraseLevel::High);
}

TEST_F(ExtensionLists, EntryWithoutAnExactTagStopsTheViewAndFallsBack) {
    WriteConfig("[TIDEMARROW]\r\n#CustomMode=1\r\n");
    MakeDataFolder();
    ASSERT_TRUE(WriteBytes(DataPath(L"customerase.txt"), "bmp [High]\r\nTXT [high]\r\nzip [Speed]\r\n"));
    TConfigWindow config;
    config.SetProfileFolder(profile_);
    config.LoadSettings();
    EXPECT_EQ(config.Entries(ExtensionList::Custom),
              (std::vector<std::wstring>{L"bmp [High]", L"TXT [high]", L"zip [Speed]"}));
    ASSERT_EQ(config.CustomView().size(), 1u);
    EXPECT_EQ(config.CustomView()[0].extension, L"bmp");
    const auto reports = RecordedAssertions();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, L"???Panic??? CodeLine 1015");
    EXPECT_EQ(reports[0].unit, L"config");
    EXPECT_EQ(reports[0].line, 1002);

    EXPECT_EQ(config.CustomLevelFor(L".txt"), EraseLevel::Normal) << "found, but with no valid tag";
    EXPECT_EQ(config.CustomLevelFor(L".zip"), EraseLevel::Speed);
    EXPECT_EQ(config.CustomLevelFor(L".BMP"), EraseLevel::High);
}

TEST_F(ExtensionLists, ListFilesAreReadInTheirOwnOrderWithAnyLineEnd) {
    WriteConfig("[TIDEMARROW]\r\n");
    MakeDataFolder();
    ASSERT_TRUE(WriteBytes(DataPath(L"remove.txt"), std::string("zzz\rAAA\n\r\nmmm\0ignored\r\n", 24)));
    ASSERT_TRUE(WriteBytes(DataPath(L"customerase.txt"), "b [Speed]\n\na [High]\n"));
    TConfigWindow config;
    config.SetProfileFolder(profile_);
    config.LoadSettings();
    EXPECT_EQ(config.Entries(ExtensionList::Exclusion), (std::vector<std::wstring>{L"zzz", L"AAA", L"", L"mmm"}));
    config.EditValues().RemoveEnable = true;
    EXPECT_FALSE(config.IsExcludedExtension(L"txt"));
    EXPECT_TRUE(config.IsExcludedExtension(L"aaa"));
    // The empty line stops the view.
    ASSERT_EQ(config.CustomView().size(), 1u);
    EXPECT_EQ(ReportMessages(), std::vector<std::wstring>{L"???Panic??? CodeLine 1015"});
}

TEST_F(ExtensionLists, EmptiedListIsSavedEmptyAndStaysEmptyAtTheNextLoad) {
    TConfigWindow config;
    config.SetProfileFolder(profile_);
    config.SaveSettings();
    while (!config.Entries(ExtensionList::Exclusion).empty()) config.RemoveEntryAt(ExtensionList::Exclusion, 0);
    EXPECT_EQ(config.SelectedIndex(ExtensionList::Exclusion), -1);
    config.SaveSettings();
    config.LoadSettings();
    EXPECT_TRUE(config.Entries(ExtensionList::Exclusion).empty());
}

TEST_F(ExtensionLists, RemovingTheSelectedRowRemovesExactlyThatEntry) {
    TConfigWindow config;
    config.RemoveEntryAt(ExtensionList::Custom, -1);
    EXPECT_EQ(config.Entries(ExtensionList::Custom).size(), 33u);
    config.RemoveEntryAt(ExtensionList::Custom, 5);  // "db [Speed]"
    auto expected = kSortedCustom;
    expected.erase(expected.begin() + 5);
    EXPECT_EQ(config.Entries(ExtensionList::Custom), expected);
    EXPECT_EQ(config.CustomView().size(), 32u);
    EXPECT_EQ(config.SelectedIndex(ExtensionList::Custom), 0);
    config.RemoveEntryAt(ExtensionList::Custom, 99);
    EXPECT_EQ(config.Entries(ExtensionList::Custom).size(), 32u);
}

TEST_F(ExtensionLists, UnreadableOrUnwritableListFileIsReportedAndKeepsWhatItHolds) {
    WriteConfig("[TIDEMARROW]\r\n");
    MakeDataFolder();
    ASSERT_TRUE(WriteBytes(DataPath(L"remove.txt"), "abc\r\n"));
    ASSERT_TRUE(WriteBytes(DataPath(L"customerase.txt"), "abc [High]\r\n"));
    {
        // Held shut to readers, but not to a replacement.
        UniqueFile lock(::CreateFileW(DataPath(L"remove.txt").c_str(), GENERIC_READ, FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        TConfigWindow config;
        config.SetProfileFolder(profile_);
        DialogAnswerer box(L"エラー", IDOK);
        config.LoadSettings();
        EXPECT_TRUE(box.Wait()) << "the user is told the file will not be saved";
        EXPECT_EQ(config.Entries(ExtensionList::Exclusion).size(), 8u);
        EXPECT_EQ(config.Entries(ExtensionList::Custom), std::vector<std::wstring>{L"abc [High]"})
            << "the other list is still read";
        EXPECT_EQ(ReportMessages(), std::vector<std::wstring>{L"除外設定読み込みエラー"});
        lock.reset();
        config.AddExclusion(L"yy");
        config.SaveSettings();
        EXPECT_EQ(ReadBytes(DataPath(L"remove.txt")), "abc\r\n") << "left byte for byte";
        config.SetProfileFolder(L"");  // nothing to save when it is freed
    }
    ClearRecordedAssertions();
    ASSERT_TRUE(::SetFileAttributesW(DataPath(L"remove.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    {
        TConfigWindow config;
        config.SetProfileFolder(profile_);
        config.SaveSettings();
        EXPECT_EQ(ReportMessages(), std::vector<std::wstring>{L"除外設定読み込みエラー"});
        EXPECT_EQ(ReadBytes(DataPath(L"remove.txt")), "abc\r\n");
        EXPECT_EQ(ReadBytes(DataPath(L"customerase.txt")), "abc [High]\r\n");
        config.SetProfileFolder(L"");
    }
    ::SetFileAttributesW(DataPath(L"remove.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
