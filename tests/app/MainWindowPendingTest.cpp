// Files erased at the next start: the list's lines and decisions, and the question an ordinary
// start asks while the profile's list is not empty.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/PendingList.h"
#include "tests/app/WorkflowFixture.h"
#include "ui/MessagePump.h"

namespace {

TEST(PendingList, LinesRoundTripAndOnlyTheUnchangedFreeFileIsErased) {
    const PendingEntry entry{EraseLevel::High, {0x1234ABCD, 0x0001000000000042ull, 600, 0x01DB2F3A4B5C6D7Eull},
                             L"C:\\データ\\メモ 1.txt"};
    EXPECT_EQ(PendingLine(entry), L"High\t1234ABCD\t0001000000000042\t0000000000000258\t01DB2F3A4B5C6D7E\tC:\\データ\\メモ 1.txt");
    PendingEntry parsed;
    ASSERT_TRUE(ParsePendingLine(PendingLine(entry), parsed));
    EXPECT_EQ(parsed, entry);
    for (const wchar_t* broken : {L"[TIDEMARROW32 SE]", L"Fast\t1\t2\t3\t4\tC:\\a.txt", L"Speed\t1\t2\t3\tC:\\a.txt",
                                  L"Speed\t1\tG\t3\t4\tC:\\a.txt", L"Speed\t1\t2\t3\t4\trelative.txt"})
        EXPECT_FALSE(ParsePendingLine(broken, parsed)) << broken;

    const FileIdentity marked = entry.identity;
    FileIdentity later = marked;
    later.lastWrite += 1;
    EXPECT_EQ(DecidePending(marked, {true, true, marked, false}), PendingAction::Erase);
    EXPECT_EQ(DecidePending(marked, {true, true, marked, true}), PendingAction::KeepHeld);
    EXPECT_EQ(DecidePending(marked, {true, true, later, false}), PendingAction::DropChanged);
    EXPECT_EQ(DecidePending(marked, {true, false, {}, true}), PendingAction::KeepHeld);
    EXPECT_EQ(DecidePending(marked, {true, false, {}, false}), PendingAction::DropChanged);
    EXPECT_EQ(DecidePending(marked, {false, false, {}, false}), PendingAction::DropMissing);
}

// No keeps the list and the start entry; Yes erases at the entry's level with the result panel.
TEST_F(WorkflowTest, AnOrdinaryStartAsksOnceAboutPendingFilesAndErasesOnYes) {
    PendingRunKeyForTest runKey;
    const std::wstring file = File(L"pending.txt", 600), list = Savedat() + L"\\Pending.txt";
    PendingEntry entry{EraseLevel::Normal, {}, file};
    ASSERT_TRUE(ReadFileIdentity(file, entry.identity));
    ::CreateDirectoryW(Savedat().c_str(), nullptr);
    ASSERT_TRUE(WritePendingList(list, {entry}, L"TIDEMARROW32 SE"));
    ASSERT_TRUE(WritePendingRunValue(L"DefaultUser"));
    {
        DialogAnswerer no(L"確認", IDNO);
        Make();
        ui::ProcessMessages();
        ASSERT_TRUE(no.Wait());
        EXPECT_NE(no.Text().find(L"次回起動時に抹消するファイルが 1 個あります。今すぐ抹消しますか？"), std::wstring::npos);
    }
    std::vector<PendingEntry> entries;
    EXPECT_TRUE(ReadPendingList(list, entries) && entries == std::vector<PendingEntry>{entry});
    EXPECT_EQ(window->VisibleContentPanel(), TMainWindow::ContentPanel::List);
    NextStart();
    DialogAnswerer yes(L"確認", IDYES);
    Make();
    ASSERT_TRUE(PumpUntil([&] { return window->VisibleContentPanel() == TMainWindow::ContentPanel::Result; }, 20000));
    ASSERT_TRUE(yes.Wait());
    EXPECT_FALSE(FileExists(file));
    EXPECT_FALSE(FileExists(list));
    EXPECT_EQ(PendingRunValue(), L"");
    std::vector<std::wstring> log;
    ASSERT_TRUE(ReadTextFile(Savedat() + L"\\PendingLog.txt", log));
    EXPECT_EQ(log, window->EraseLogLines());
    EXPECT_NE(std::find(log.begin(), log.end(), L"確認数:1ファイル"), log.end());
}

}  // namespace
