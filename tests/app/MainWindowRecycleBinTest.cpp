// The Recycle Bin command through the real window, on a layout made in a temporary folder that
// the drive list seam hands over as a drive's root.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/RecycleBin.h"
#include "tests/app/WorkflowFixture.h"

namespace {

std::string RecordV2(const std::wstring& original) {
    std::string bytes(24, '\0');
    bytes[0] = 2;
    bytes[8] = 7;  // size 7
    const std::uint32_t length = static_cast<std::uint32_t>(original.size() + 1);
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((length >> (8 * i)) & 0xFF);
    for (wchar_t c : original + L'\0') bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return bytes;
}

TEST_F(WorkflowTest, RecycleBinCommandAsksThenErasesEveryItemWithItsOriginalPath) {
    const std::wstring bin = Data() + L"\\$Recycle.Bin\\" + CurrentUserSid();
    ASSERT_TRUE(::CreateDirectoryW((Data() + L"\\$Recycle.Bin").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(bin.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(bin + L"\\$RAB12CD.txt", "content"));
    ASSERT_TRUE(WriteBytes(bin + L"\\$IAB12CD.txt", RecordV2(L"C:\\Users\\me\\メモ.txt")));
    ASSERT_TRUE(::CreateDirectoryW((bin + L"\\$RFOLDER").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(bin + L"\\$RFOLDER\\inner.txt", "inner"));
    ASSERT_TRUE(WriteBytes(bin + L"\\desktop.ini", "[.ShellClassInfo]"));
    int refreshed = 0;
    const RecycleBinSeams previous =
        SetRecycleBinSeams({[this] { return std::vector<std::wstring>{Data() + L"\\"}; }, [&] { ++refreshed; }});
    Make();
    wchar_t caption[64] = {};
    ::GetMenuStringW(window->MenuBar, ui::kFirstActionCommand + Command::EraseRecycleBin, caption, 64, MF_BYCOMMAND);
    EXPECT_STREQ(caption, L"ごみ箱の抹消(&R)...");

    {  // No leaves everything.
        DialogAnswerer no(L"確認", IDNO);
        SendCommand(Command::EraseRecycleBin);
        ASSERT_TRUE(no.Wait());
        EXPECT_NE(no.Text().find(L"ごみ箱の 2 個の項目 (7 バイト) を抹消します。"), std::wstring::npos) << no.Text();
        EXPECT_NE(no.Text().find(L"・C:\\Users\\me\\メモ.txt"), std::wstring::npos) << no.Text();
        EXPECT_TRUE(FileExists(bin + L"\\$RAB12CD.txt"));
    }
    DialogAnswerer yes(L"確認", IDYES);
    SendCommand(Command::EraseRecycleBin);
    ASSERT_TRUE(yes.Wait());
    const std::vector<std::wstring> log = window->EraseLogLines();
    EXPECT_NE(std::find(log.begin(), log.end(), L"ファイル名:C:\\Users\\me\\メモ.txtをディスクから抹消しました。"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), L"ファイル名:$RFOLDER(元の名前不明)をディスクから抹消しました。"), log.end());
    EXPECT_EQ(EntriesOf(bin), std::vector<std::wstring>{L"desktop.ini"});
    EXPECT_EQ(refreshed, 1);
    SetRecycleBinSeams(previous);
}

}  // namespace
