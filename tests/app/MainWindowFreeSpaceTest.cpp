// The free-space erase panel through the real main window, on the ext4 image that
// tests/realfs/fixtures.sh mounted on a loop device (and checked) for it.

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <thread>

#include "common/FileSystem.h"
#include "engine/EraseSeams.h"
#include "engine/FreeSpace.h"
#include "tests/app/WorkflowFixture.h"

namespace {

// The image's folder as this program sees it; empty when the fixture could not make it.
std::wstring LoopFolder() {
    const wchar_t* unix = _wgetenv(L"TM_REALFS");
    if (!unix || unix[0] != L'/') return {};
    std::wstring root = std::wstring(L"Z:") + unix;
    std::replace(root.begin(), root.end(), L'/', L'\\');
    std::ifstream ready(std::string(root.begin(), root.end()) + "\\ready");
    for (std::string line; std::getline(ready, line);)
        if (line == "freespace") return root + L"\\freespace";
    return {};
}

std::int64_t FreeBytes(const std::wstring& folder) {
    ULARGE_INTEGER available{}, total{}, free{};
    return ::GetDiskFreeSpaceExW((folder + L"\\").c_str(), &available, &total, &free) ? free.QuadPart : -1;
}

std::int64_t FileBytes(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool Polled(const std::function<bool()>& condition) {
    for (const ULONGLONG deadline = ::GetTickCount64() + 60000; ::GetTickCount64() < deadline; ::Sleep(10))
        if (condition()) return true;
    return false;
}

}  // namespace

TEST_F(WorkflowTest, FreeSpaceRunKeepsTheWindowMovableStopsCleanlyAndOverwritesTheFreeSpace) {
    const std::wstring loop = LoopFolder();
    if (loop.empty()) GTEST_SKIP() << "needs the freespace image of the realfs fixture (root, loop mounts)";
    const std::wstring fill = loop + L"\\" + kFreeSpaceFolderName;
    const std::int64_t before = FreeBytes(loop);
    Make();
    wchar_t caption[64] = {};
    ::GetMenuStringW(window->MenuBar, ui::kFirstActionCommand + Command::OpenFreeSpace, caption, 64, MF_BYCOMMAND);
    EXPECT_STREQ(caption, L"空き領域の抹消(&F)...");
    SendCommand(Command::OpenFreeSpace);
    ASSERT_EQ(window->VisibleContentPanel(), TMainWindow::ContentPanel::FreeSpace);
    EXPECT_GT(ListView_GetItemCount(window->FreeSpaceDrives), 0) << "the fixed drives";
    EXPECT_FALSE(::IsWindowEnabled(window->StartFreeSpaceButton)) << "nothing chosen yet";
    window->SetFreeSpaceFolder(loop);
    ASSERT_TRUE(::IsWindowEnabled(window->StartFreeSpaceButton));

    // High, stopped once the fill is under way: meanwhile close is refused and the window
    // can be minimized and restored.
    ::SendMessageW(window->FreeSpaceLevel, CB_SETCURSEL, 2, 0);
    std::atomic<bool> grew{false}, minimized{false}, restored{false};
    std::thread user([&] {
        grew = Polled([&] { return FileBytes(fill + L"\\fill00000.tmf") > (16 << 20); });
        ::PostMessageW(window->Handle(), WM_CLOSE, 0, 0);
        ::PostMessageW(window->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
        // The program minimizes as one: the application window with its button, this one hidden.
        minimized = Polled([&] { return ::IsIconic(App().Handle()) && !::IsWindowVisible(window->Handle()); });
        ::PostMessageW(App().Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
        restored = Polled([&] { return !::IsIconic(App().Handle()) && ::IsWindowVisible(window->Handle()); });
        ::PostMessageW(window->StopFreeSpaceButton, BM_CLICK, 0, 0);
    });
    {
        DialogAnswerer yes(L"確認", IDYES);
        Click(window->StartFreeSpaceButton);
        EXPECT_TRUE(yes.Wait());
    }
    user.join();
    EXPECT_TRUE(grew && minimized && restored);
    ASSERT_TRUE(::IsWindow(window->Handle())) << "close is refused while the run works";
    EXPECT_EQ(ui::WindowText(window->FreeSpaceResultLabel), L"中止しました。");
    EXPECT_FALSE(DirectoryExists(fill));
    EXPECT_LE(std::abs(FreeBytes(loop) - before), 64 * 1024);
    std::vector<std::wstring> recorded;
    ReadTextFile(Savedat() + L"\\FreeSpace.txt", recorded);
    EXPECT_TRUE(recorded.empty()) << "the record goes with the folder";

    // Speed to the end: the free space is written once and given back.
    ::SendMessageW(window->FreeSpaceLevel, CB_SETCURSEL, 0, 0);
    {
        DialogAnswerer yes(L"確認", IDYES);
        Click(window->StartFreeSpaceButton);
        EXPECT_TRUE(yes.Wait());
    }
    const std::wstring result = ui::WindowText(window->FreeSpaceResultLabel);
    EXPECT_NE(result.find(L"を上書きしました。"), std::wstring::npos) << result;
    EXPECT_FALSE(DirectoryExists(fill));
    EXPECT_LE(std::abs(FreeBytes(loop) - before), 64 * 1024);
    Click(window->CloseFreeSpaceButton);
    EXPECT_EQ(window->VisibleContentPanel(), TMainWindow::ContentPanel::List);
}

TEST_F(WorkflowTest, ARunThatLeavesOldDataOffersTheFreeSpaceOfItsDriveAtItsHighestLevel) {
    ::CreateDirectoryW(Savedat().c_str(), nullptr);
    ASSERT_TRUE(WriteTextFile(Savedat() + L"\\customerase.txt", {L"dat [High]", L"txt [Speed]"}));
    WriteConfig({L"#Erase=3"});
    // Every file is encrypted as the engine is told: its plain copy may lie in free clusters.
    FileQuestions questions;
    questions.openFile = [](HANDLE, FileFacts& facts) { facts.attributes |= FILE_ATTRIBUTE_ENCRYPTED; };
    const FileQuestions previous = SetFileQuestions(questions);
    Make();
    const auto run = [&](const std::vector<std::wstring>& names) {
        for (const std::wstring& name : names) Add(File(name, 900));
        DialogAnswerer yes(L"確認", IDYES);
        SendCommand(Command::StartRun);
        EXPECT_TRUE(yes.Wait());
    };
    run({L"a.dat", L"b.txt"});
    const HWND offer = window->OfferFreeSpaceButton;
    EXPECT_TRUE(::IsWindowVisible(offer));
    Click(offer);
    ASSERT_EQ(window->VisibleContentPanel(), TMainWindow::ContentPanel::FreeSpace);
    EXPECT_EQ(ui::WindowText(window->FreeSpaceFolderLabel), L"作業フォルダの場所: " + DriveRootOf(Data()));
    EXPECT_EQ(::SendMessageW(window->FreeSpaceLevel, CB_GETCURSEL, 0, 0), 2) << "High, the run's highest";
    Click(window->CloseFreeSpaceButton);

    // With the power-off after the run (its call faked) nothing is offered.
    static int exits = 0;
    PowerOffCalls calls{};
    calls.platformId = [] { return static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS); };
    calls.exitWindowsEx = [](UINT, DWORD) { return ++exits, TRUE; };
    const PowerOffCalls previousCalls = SetPowerOffCalls(calls);
    Config().EditValues().PowerOffAfterRun = true;
    run({L"c.txt"});
    SetPowerOffCalls(previousCalls);
    SetFileQuestions(previous);
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(::GetWindowLongPtrW(offer, GWL_STYLE) & WS_VISIBLE, 0);
}

TEST_F(WorkflowTest, TheOfferedDrivesAreFilledOneAfterAnotherAndAStopEndsThem) {
    Make();
    const std::wstring gone = Data() + L"\\gone", alsoGone = Data() + L"\\also gone", loop = LoopFolder();
    const auto start = [&](const std::vector<std::wstring>& targets) {
        window->OpenFreeSpaceFor(targets, EraseLevel::Speed);
        DialogAnswerer yes(L"確認", IDYES);
        Click(window->StartFreeSpaceButton);
        EXPECT_TRUE(yes.Wait());
        return yes.Text();
    };
    EXPECT_EQ(start({gone, alsoGone}), gone + L"、" + alsoGone + L"の空き領域を上書きします。\r\n処理を開始してよろしいですか？");
    EXPECT_EQ(ui::WindowText(window->FreeSpaceResultLabel),
              gone + L": 空き領域を上書きできませんでした。フォルダが見つかりません: " + gone + L"\r\n" + alsoGone +
                  L": 空き領域を上書きできませんでした。フォルダが見つかりません: " + alsoGone);
    if (!loop.empty()) {
        // A Stop during the first drive leaves the next one unbegun.
        std::thread user([&] {
            Polled([&] { return FileBytes(loop + L"\\" + kFreeSpaceFolderName + L"\\fill00000.tmf") > (4 << 20); });
            ::PostMessageW(window->StopFreeSpaceButton, BM_CLICK, 0, 0);
        });
        start({loop, gone});
        user.join();
        EXPECT_EQ(ui::WindowText(window->FreeSpaceResultLabel), loop + L": 中止しました。\r\n" + gone + L": 中止しました。");
    }
}
