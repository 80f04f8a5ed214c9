// The Recycle Bin command through the real window, on a layout made in a temporary folder that
// the drive list seam hands over as a drive's root.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/HandOver.h"
#include "common/Handles.h"
#include "engine/EraseSeams.h"
#include "engine/FileHolders.h"
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
    // The folder's file is encrypted as the engine is told: the item says what may be left.
    FileQuestions questions;
    questions.openFile = [](HANDLE, FileFacts& facts) {
        if (facts.size == 5) facts.attributes |= FILE_ATTRIBUTE_ENCRYPTED;
    };
    const FileQuestions previousQuestions = SetFileQuestions(questions);
    DialogAnswerer yes(L"確認", IDYES);
    SendCommand(Command::EraseRecycleBin);
    ASSERT_TRUE(yes.Wait());
    SetFileQuestions(previousQuestions);
    const std::vector<std::wstring> log = window->EraseLogLines();
    EXPECT_NE(std::find(log.begin(), log.end(), L"ファイル名:C:\\Users\\me\\メモ.txtをディスクから抹消しました。"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(),
                        L"ファイル名:$RFOLDER(元の名前不明)を抹消しましたが、圧縮・暗号化・スパースのいずれかのファイルだったため、"
                        L"元のデータの一部が空き領域に残っている可能性があります。"),
              log.end());
    EXPECT_TRUE(::IsWindowVisible(window->OfferFreeSpaceButton));
    EXPECT_EQ(EntriesOf(bin), std::vector<std::wstring>{L"desktop.ini"});
    EXPECT_EQ(refreshed, 1);
    SetRecycleBinSeams(previous);
}

// A later start's /RecycleBin opens the question over the list, and is refused while a job runs.
TEST_F(WorkflowTest, ALaterStartsRecycleBinSwitchAsksOnlyWhenNoJobRuns) {
    const std::wstring bin = Data() + L"\\$Recycle.Bin\\" + CurrentUserSid();
    ASSERT_TRUE(::CreateDirectoryW((Data() + L"\\$Recycle.Bin").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(bin.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(bin + L"\\$RAB12CD.txt", "content"));
    const RecycleBinSeams previous =
        SetRecycleBinSeams({[this] { return std::vector<std::wstring>{Data() + L"\\"}; }, [] {}});
    Make();
    window->Busy = true;
    EXPECT_FALSE(HandOverRecycleBin(window->Handle()));
    window->Busy = false;
    DialogAnswerer no(L"確認", IDNO);
    EXPECT_TRUE(HandOverRecycleBin(window->Handle()));
    ui::ProcessMessages();
    ASSERT_TRUE(no.Wait());
    EXPECT_NE(no.Text().find(L"・$RAB12CD.txt(元の名前不明)"), std::wstring::npos) << no.Text();
    EXPECT_TRUE(FileExists(bin + L"\\$RAB12CD.txt"));
    SetRecycleBinSeams(previous);
}

// The history tools' last row, unticked at opening, adds its line to the question and erases the
// Recycle Bin with the rest.
TEST_F(WorkflowTest, TheHistoryToolsRecycleBinRowAsksWithItsCountAndErases) {
    const std::wstring bin = Data() + L"\\$Recycle.Bin\\" + CurrentUserSid();
    ASSERT_TRUE(::CreateDirectoryW((Data() + L"\\$Recycle.Bin").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(bin.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(bin + L"\\$RAB12CD.txt", "content"));
    const RecycleBinSeams previous =
        SetRecycleBinSeams({[this] { return std::vector<std::wstring>{Data() + L"\\"}; }, [] {}});
    WriteConfig({L"#E_TOOLS_01=2"});  // the recent files' level: High
    EraseSeams seams = SteppingClockSeams();
    int passes = 0;
    seams.observer = [&](const OverwriteEvent& event) { passes = std::max(passes, event.passesDone); };
    SetEraseSeams(seams);
    Make();
    SendCommand(Command::OpenHistoryTools);
    const int last = window->TraceList.RowCount() - 1;
    EXPECT_EQ(window->TraceList.Text(last, 0), L"ごみ箱");
    EXPECT_FALSE(window->TraceList.IsTicked(last));
    window->TraceList.SetTicked(last, true);
    DialogAnswerer ask(L"確認", IDYES), done(L"TIDEMARROW32 SE", IDOK);
    ::SendMessageW(window->RunToolsButton, BM_CLICK, 0, 0);
    ASSERT_TRUE(ask.Wait() && done.Wait());
    EXPECT_NE(ask.Text().find(L"ごみ箱: 1 個 (7 バイト)"), std::wstring::npos) << ask.Text();
    EXPECT_EQ(EntriesOf(bin), std::vector<std::wstring>{});
    EXPECT_EQ(passes, 3) << "at the recent files' level";
    SetRecycleBinSeams(previous);
}

// A file held open without sharing, and one whose range another handle locks, name the programs
// the Restart Manager gives for them; a file the Restart Manager names nobody for, or that is
// not held at all, gets today's line.
TEST_F(WorkflowTest, FilesInUseNameTheProgramsHoldingThemInTheLog) {
    const std::wstring open = File(L"open.txt", 600), locked = File(L"locked.txt", 600), nobody = File(L"nobody.txt", 600);
    std::vector<std::wstring> asked;
    const FileHolderSeams previous = SetFileHolderSeams({[&](const std::wstring& path, std::vector<std::wstring>& names) {
        asked.push_back(path);
        if (path == open) names = {L"Microsoft Word", L"メモ帳"};
        if (path == locked) names = {L"Outlook"};
        return true;
    }});
    Make();
    for (const auto& path : {open, locked, nobody}) window->AddFileToList(path, false, false);
    UniqueFileLock holder(open);
    UniqueFile lockHolder(::CreateFileW(locked.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    OVERLAPPED at{};
    ASSERT_TRUE(holder.Held() && ::LockFileEx(lockHolder.get(), LOCKFILE_FAIL_IMMEDIATELY, 0, 100, 0, &at));
    {
        UniqueFileLock nobodyHolder(nobody);
        asked.clear();
        DialogAnswerer yes(L"確認", IDYES);
        SendCommand(Command::StartRun);
        ASSERT_TRUE(yes.Wait());
    }
    SetFileHolderSeams(previous);
    const std::vector<std::wstring> log = window->EraseLogLines();
    for (const wchar_t* line : {L"ファイル名:open.txtは「Microsoft Word」、「メモ帳」が使用中のため処理出来ませんでした。",
                                L"ファイル名:locked.txtは「Outlook」が使用中のため処理出来ませんでした。",
                                L"ファイル名:nobody.txtを正しく処理出来ませんでした。"})
        EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
    EXPECT_EQ(asked, (std::vector<std::wstring>{open, locked, nobody}));
    EXPECT_EQ(ReadBytes(locked), std::string(600, 'x')) << "a locked file stays uncut";
    // Without the seam (Wine's Restart Manager names nobody) the line is today's.
    EXPECT_EQ(NotErasedEnding(open), L"を正しく処理出来ませんでした。");
}

}  // namespace
