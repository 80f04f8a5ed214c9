#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/HandOver.h"
#include "app/MainWindow.h"
#include "common/Handles.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "settings/ExplorerVerb.h"
#include "tests/app/WorkflowFixture.h"
#include "tests/support/Gui.h"
#include "tests/support/TempFolder.h"
#include "ui/Action.h"

namespace {

// A copy of the real program in a folder of its own, so that its profiles live there.
class ProgramCopy {
public:
    ProgramCopy() {
        exe_ = folder_ / L"TIDEMARROW32SE.exe";
        copied_ = ::CopyFileW((ProgramFolder() + L"TIDEMARROW32SE.exe").c_str(), exe_.c_str(), FALSE) != FALSE;
    }
    bool Copied() const { return copied_; }
    const std::wstring& Exe() const { return exe_; }
    // Writes the default profile's Config.ini before the program starts.
    bool WriteConfig(const std::vector<std::wstring>& keys) {
        ::CreateDirectoryW((folder_ / L"User").c_str(), nullptr);
        ::CreateDirectoryW((folder_ / L"User\\DefaultUser").c_str(), nullptr);
        std::vector<std::wstring> lines{L"[TIDEMARROW]"};
        lines.insert(lines.end(), keys.begin(), keys.end());
        return WriteTextFile(folder_ / L"User\\DefaultUser\\Config.ini", lines);
    }

private:
    TempFolder folder_;
    std::wstring exe_;
    bool copied_ = false;
};

// The real program, started as a child process.
class Program {
public:
    // Starts `exe` with `arguments` (each quoted) in the current folder `folder` (this
    // process's own when empty).
    explicit Program(const std::wstring& exe, const std::vector<std::wstring>& arguments = {},
                     const std::wstring& folder = L"") {
        std::wstring commandLine = L"\"" + exe + L"\"";
        for (const std::wstring& argument : arguments) commandLine += L" \"" + argument + L"\"";
        Start(commandLine, folder);
    }
    struct CommandLine { std::wstring text; };  // started as it is
    explicit Program(const CommandLine& line) { Start(line.text, L""); }
    void Start(std::wstring commandLine, const std::wstring& folder) {
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
            process_.reset(process.hProcess);
            ::CloseHandle(process.hThread);
        }
    }
    ~Program() {
        if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) ::TerminateProcess(process_.get(), 9);
    }
    bool Started() const { return process_.valid(); }
    DWORD Id() const { return ::GetProcessId(process_.get()); }
    // Waits for the program to end; its exit code, or STILL_ACTIVE after the deadline.
    DWORD WaitForExit(DWORD timeoutMs) const {
        ::WaitForSingleObject(process_.get(), timeoutMs);
        DWORD code = STILL_ACTIVE;
        ::GetExitCodeProcess(process_.get(), &code);
        return code;
    }

private:
    UniqueKernelHandle process_;
};

HWND FindMainWindow(const wchar_t* caption = L"TIDEMARROW32 SE") { return ::FindWindowW(L"TMainWindow", caption); }

BOOL CALLBACK FindFileList(HWND child, LPARAM found) {
    if (::GetDlgCtrlID(child) != TMainWindow::IDC_FILELIST) return TRUE;
    *reinterpret_cast<HWND*>(found) = child;
    return FALSE;
}

// The full paths listed in the file list of another process's main window, read through
// memory of that process (a list view answers with pointers into its own process).
std::vector<std::wstring> ListedPaths(HWND main) {
    std::vector<std::wstring> paths;
    HWND list = nullptr;
    ::EnumChildWindows(main, FindFileList, reinterpret_cast<LPARAM>(&list));
    DWORD id = 0;
    if (!list || !::GetWindowThreadProcessId(list, &id)) return paths;
    UniqueKernelHandle process(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id));
    if (!process) return paths;
    constexpr int kChars = 1024;
    const SIZE_T bytes = sizeof(LVITEMW) + kChars * sizeof(wchar_t);
    auto* remote = static_cast<char*>(::VirtualAllocEx(process.get(), nullptr, bytes, MEM_COMMIT, PAGE_READWRITE));
    if (!remote) return paths;
    const int rows = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.iSubItem = 4;
        item.pszText = reinterpret_cast<LPWSTR>(remote + sizeof(LVITEMW));
        item.cchTextMax = kChars;
        std::wstring text(kChars, L'\0');
        if (!::WriteProcessMemory(process.get(), remote, &item, sizeof(item), nullptr)) break;
        const auto length = static_cast<int>(
            ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote)));
        if (!::ReadProcessMemory(process.get(), remote + sizeof(LVITEMW), text.data(), kChars * sizeof(wchar_t),
                                 nullptr))
            break;
        text.resize(std::min(length, kChars));
        paths.push_back(text);
    }
    ::VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
    return paths;
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> paths) {
    std::sort(paths.begin(), paths.end());
    return paths;
}

TEST(Program, ASecondStartEndsAtOnceWhileTheFirstRuns) {
    ProgramCopy copy;
    ASSERT_TRUE(copy.Copied());
    Program first(copy.Exe());
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(PumpUntil([] { return FindMainWindow() != nullptr; }, 20000)) << "the main window shows";

    Program second(copy.Exe());
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.WaitForExit(20000), 0u) << "the second instance ends by itself";
    EXPECT_EQ(first.WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE));

    ::PostMessageW(FindMainWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitForExit(20000), 0u);
}

TEST(Program, WithTheProfileNameInTheCaptionASecondCanStart) {
    ProgramCopy named;
    ASSERT_TRUE(named.Copied());
    ASSERT_TRUE(named.WriteConfig({L"#ShowUserName=1"}));
    ProgramCopy plain;
    ASSERT_TRUE(plain.Copied());

    Program first(named.Exe());
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(PumpUntil([] { return FindMainWindow(L"TIDEMARROW32 SE DefaultUser") != nullptr; }, 20000))
        << "the caption carries the profile's name";

    Program second(plain.Exe());
    ASSERT_TRUE(second.Started());
    EXPECT_TRUE(PumpUntil([] { return FindMainWindow() != nullptr; }, 20000)) << "the second one starts";
    EXPECT_EQ(second.WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE));

    ::PostMessageW(FindMainWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(second.WaitForExit(20000), 0u);
    ::PostMessageW(FindMainWindow(L"TIDEMARROW32 SE DefaultUser"), WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitForExit(20000), 0u);
}

TEST(Program, EveryArgumentIsListedAndALaterStartHandsItsFilesToTheRunningWindow) {
    ProgramCopy copy;
    ASSERT_TRUE(copy.Copied());
    ASSERT_TRUE(copy.WriteConfig({L"#Dropfile=0", L"#Warning close=0"}));
    TempFolder data;
    for (const wchar_t* name : {L"sub", L"sub\\deep"}) ASSERT_TRUE(::CreateDirectoryW((data / name).c_str(), nullptr));
    for (const wchar_t* name : {L"a.txt", L"sub\\c.txt", L"sub\\deep\\d.txt", L"later.txt", L"later two.txt"})
        ASSERT_TRUE(WriteBytes(data / name, "data"));

    // A name relative to the folder the program starts in, and a folder: its files, and with
    // #Dropfile off none of its subfolders'.
    Program first(copy.Exe(), {L"a.txt", data / L"sub"}, data.Path());
    ASSERT_TRUE(first.Started());
    HWND main = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (main = FindMainWindow()) != nullptr; }, 20000));
    const std::vector<std::wstring> started{data / L"a.txt", data / L"sub\\c.txt"};
    EXPECT_TRUE(PumpUntil([&] { return ListedPaths(main) == started; }, 20000));
    EXPECT_EQ(ListedPaths(main), started);

    // A later start (as the Send To menu starts it) hands its files over and ends; a name
    // relative to its own folder is made full there, a missing file is left out.
    Program second(copy.Exe(), {L"later.txt", data / L"later two.txt", data / L"missing.txt"}, data.Path());
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.WaitForExit(20000), 0u);
    std::vector<std::wstring> all = started;
    all.insert(all.end(), {data / L"later.txt", data / L"later two.txt"});
    EXPECT_TRUE(PumpUntil([&] { return ListedPaths(main) == all; }, 20000));
    EXPECT_EQ(ListedPaths(main), all);

    // Without arguments a later start only brings the window to the front.
    Program third(copy.Exe());
    ASSERT_TRUE(third.Started());
    EXPECT_EQ(third.WaitForExit(20000), 0u);
    EXPECT_EQ(first.WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(ListedPaths(main), all);

    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitForExit(20000), 0u);
}

TEST(Program, TheStartsOfOneSelectionFromExplorersMenuMeetInOneWindowWhateverItsCaption) {
    ProgramCopy copy;
    ASSERT_TRUE(copy.Copied() && copy.WriteConfig({L"#ShowUserName=1", L"#Warning close=0"}));
    TempFolder data;
    ASSERT_TRUE(::CreateDirectoryW((data / L"sub").c_str(), nullptr));
    for (const wchar_t* name : {L"a.txt", L"b c.txt", L"sub\\e.txt"}) ASSERT_TRUE(WriteBytes(data / name, "x"));
    ASSERT_TRUE(RegisterExplorerVerb(copy.Exe()));
    // As Explorer runs the registered command: one start per selected item, all at once.
    std::vector<std::unique_ptr<Program>> starts;
    for (std::wstring item : {L"a.txt", L"b c.txt", L"sub"}) {
        std::wstring line = ExplorerVerbCommandOf(L"*");
        line.replace(line.find(L"%1"), 2, data / item);
        starts.push_back(std::make_unique<Program>(Program::CommandLine{line}));
    }
    // Each item once in the one window: two windows would share them.
    const std::vector<std::wstring> expected{data / L"a.txt", data / L"b c.txt", data / L"sub\\e.txt"};
    const auto listed = [] { return Sorted(ListedPaths(FindMainWindow(L"TIDEMARROW32 SE DefaultUser"))); };
    EXPECT_TRUE(PumpUntil([&] { return listed() == expected; }, 30000));
    EXPECT_EQ(listed(), expected);
    ::PostMessageW(FindMainWindow(L"TIDEMARROW32 SE DefaultUser"), WM_CLOSE, 0, 0);
    EXPECT_TRUE(RemoveExplorerVerb(copy.Exe()));
    for (auto& start : starts) EXPECT_EQ(start->WaitForExit(20000), 0u) << "handed over, or closed";
}

LRESULT CALLBACK ForeignWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return message == WM_COPYDATA ? ::SetWindowTextW(window, L"handed over") : ::DefWindowProcW(window, message, wParam, lParam);
}

// Started by the test below as another program, with a window of the main window's class under
// another caption that takes every hand-over. Skipped otherwise.
TEST(Program, ForeignMainWindow) {
    if (!_wgetenv(L"TM_FOREIGN_WINDOW")) GTEST_SKIP() << "started by the verb's test";
    WNDCLASSW type{};
    type.lpfnWndProc = ForeignWindowProc;
    type.lpszClassName = L"TMainWindow";
    ASSERT_TRUE(::RegisterClassW(&type) && ::CreateWindowW(L"TMainWindow", L"Another program", 0, 0, 0, 9, 9, nullptr,
                                                           nullptr, nullptr, nullptr));
    PumpUntil([] { return false; }, 60000);
}

// The verb's start passes over another program's "TMainWindow" and makes its own window; a later
// start while that window's free-space panel shows tells why in its own process and fails.
TEST(Program, HandOversGoOnlyToTheProgramsOwnWindowAndNeverWhileTheFreeSpacePanelShows) {
    ProgramCopy copy;
    ASSERT_TRUE(copy.Copied() && copy.WriteConfig({L"#Warning close=0"}) && RegisterExplorerVerb(copy.Exe()));
    ::SetEnvironmentVariableW(L"TM_FOREIGN_WINDOW", L"1");
    Program foreign(ProgramFolder() + L"app_tests.exe", {L"--gtest_filter=Program.ForeignMainWindow"});
    ::SetEnvironmentVariableW(L"TM_FOREIGN_WINDOW", nullptr);
    ASSERT_TRUE(PumpUntil([] { return FindMainWindow(L"Another program") != nullptr; }, 20000));
    std::wstring line = ExplorerVerbCommandOf(L"*");
    Program verb(Program::CommandLine{line.replace(line.find(L"%1"), 2, copy.Exe())});
    const std::vector<std::wstring> listed{copy.Exe()};
    EXPECT_TRUE(PumpUntil([&] { return ListedPaths(FindMainWindow()) == listed; }, 30000));
    EXPECT_NE(FindMainWindow(L"Another program"), nullptr) << "the other program was handed nothing";
    EXPECT_TRUE(RemoveExplorerVerb(copy.Exe()));

    HWND main = FindMainWindow();
    ::PostMessageW(main, WM_COMMAND, ui::kFirstActionCommand + Command::OpenFreeSpace, 0);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(::GetDlgItem(main, TMainWindow::IDC_FREESPACE_PANEL)); }));
    Program later(copy.Exe(), {copy.Exe()});
    DialogAnswerer box(L"TIDEMARROW32 SE", IDOK, 20000, later.Id());
    ASSERT_TRUE(box.Wait());
    EXPECT_EQ(box.Text(), kHandOverFreeSpaceText);
    EXPECT_EQ(later.WaitForExit(20000), 1u);
    EXPECT_EQ(ListedPaths(main), listed);
    ::PostMessageW(main, WM_CLOSE, 0, 0);
}

// Run by tests/package/package_test.sh, as a program still ending: holds the file TM_HOLD_FILE
// open with deleting shut out, makes the file TM_HOLD_MARKER once it does, and lets go when that
// marker is removed. Skipped otherwise.
TEST(Program, HoldsAFileForThePackageTest) {
    wchar_t file[MAX_PATH] = {}, marker[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"TM_HOLD_FILE", file, MAX_PATH) ||
        !::GetEnvironmentVariableW(L"TM_HOLD_MARKER", marker, MAX_PATH))
        GTEST_SKIP() << "for the package test";
    UniqueFile held(::CreateFileW(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    ASSERT_TRUE(WriteBytes(marker, "held"));
    EXPECT_TRUE(PumpUntil([&] { return ::GetFileAttributesW(marker) == INVALID_FILE_ATTRIBUTES; }, 600000));
}

// Run by tests/package/package_test.sh against the installed program: the running main window
// lists exactly the paths in TM_EXPECT_LISTED (separated by "|"). Skipped otherwise.
TEST(Program, TheRunningWindowListsThePathsExpected) {
    wchar_t value[4096] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"TM_EXPECT_LISTED", value, 4096);
    if (length == 0 || length >= 4096) GTEST_SKIP() << "for the package test";
    std::vector<std::wstring> expected;
    std::wstring rest = value;
    for (std::size_t bar; (bar = rest.find(L'|')) != std::wstring::npos; rest.erase(0, bar + 1))
        expected.push_back(rest.substr(0, bar));
    expected.push_back(rest);
    HWND main = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (main = FindMainWindow()) != nullptr; }, 20000));
    // In any order: the starts of one selection from Explorer's menu race.
    EXPECT_TRUE(PumpUntil([&] { return Sorted(ListedPaths(main)) == Sorted(expected); }, 20000));
    EXPECT_EQ(Sorted(ListedPaths(main)), Sorted(expected));
}

bool HasLineStarting(const std::vector<std::wstring>& lines, const std::wstring& start) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::wstring& line) { return line.rfind(start, 0) == 0; });
}

// Files held during a run are marked with the result panel's button; the start entry then starts
// the real program, which erases the freed file, drops the changed and the missing one, keeps
// the held one and shows its log; the next start erases that one too, shows nothing and removes
// the entry. The only test that writes the user's real Run key (the guard removes it again).
TEST_F(WorkflowTest, FilesInUseMarkedForTheNextStartAreErasedByThePendingStart) {
    const std::wstring exe = folder / L"TIDEMARROW32SE.exe";
    ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"TIDEMARROW32SE.exe").c_str(), exe.c_str(), FALSE));
    PendingRunKeyForTest runKey(exe);
    const std::wstring freed = File(L"freed.txt", 600), changed = File(L"changed.txt", 600),
                       gone = File(L"gone.txt", 600), held = File(L"held.txt", 600);
    const std::wstring list = Savedat() + L"\\Pending.txt", log = Savedat() + L"\\PendingLog.txt";
    Make();
    for (const auto& path : {freed, changed, gone, held}) Add(path);
    auto heldLock = std::make_unique<UniqueFileLock>(held);
    {
        UniqueFileLock a(freed), b(changed), c(gone);
        DialogAnswerer yes(L"確認", IDYES);
        SendCommand(Command::StartRun);
        ASSERT_TRUE(yes.Wait());
        ASSERT_TRUE(::IsWindowVisible(window->EraseAtNextStartButton));
        Click(window->EraseAtNextStartButton);
    }
    EXPECT_FALSE(::IsWindowEnabled(window->EraseAtNextStartButton));
    EXPECT_EQ(window->EraseLogLines().back(), L"4個のファイルを次回起動時に抹消します。");
    std::vector<PendingEntry> entries;
    ASSERT_TRUE(ReadPendingList(list, entries));
    ASSERT_EQ(entries.size(), 4u);
    FileIdentity now;
    EXPECT_TRUE(ReadFileIdentity(held, now) && entries[3].identity == now && entries[3].path == held);
    EXPECT_EQ(PendingRunValue(), L"\"" + exe + L"\" /Pending DefaultUser");
    SetEraseEnvironment({});
    window.reset();
    ASSERT_TRUE(WriteBytes(changed, std::string(601, 'y')));
    ASSERT_TRUE(::DeleteFileW(gone.c_str()));

    SetPendingRunSeams({kUserRunKey, exe});
    ASSERT_TRUE(WritePendingRunValue(L"DefaultUser"));
    {  // Something is left: the result panel shows, restored from minimized.
        Program start(Program::CommandLine{PendingRunValue()});
        ASSERT_TRUE(start.Started());
        EXPECT_TRUE(PumpUntil([] {
            HWND main = FindMainWindow();
            return main && ::IsWindowVisible(main) && !::IsIconic(main);
        }, 60000));
    }
    std::vector<std::wstring> lines;
    ASSERT_TRUE(ReadTextFile(log, lines));
    EXPECT_FALSE(FileExists(freed));
    EXPECT_TRUE(HasLineStarting(lines, L"ファイル名:freed.txt"));
    EXPECT_TRUE(HasLineStarting(lines, L"ファイル名:changed.txtは指定後に変更されたため抹消しませんでした。"));
    EXPECT_TRUE(HasLineStarting(lines, L"ファイル名:held.txtを正しく処理出来ませんでした。"));
    EXPECT_FALSE(HasLineStarting(lines, L"ファイル名:gone.txt"));
    EXPECT_EQ(ReadBytes(changed), std::string(601, 'y'));
    ASSERT_TRUE(ReadPendingList(list, entries));
    EXPECT_EQ(entries.size(), 1u);
    EXPECT_FALSE(PendingRunValue().empty());

    heldLock.reset();
    ASSERT_TRUE(PumpUntil([] { return !FindMainWindow(); }, 10000));
    Program again(Program::CommandLine{PendingRunValue()});
    EXPECT_EQ(again.WaitForExit(60000), 0u);
    EXPECT_FALSE(FileExists(held));
    EXPECT_FALSE(FileExists(list));
    EXPECT_EQ(PendingRunValue(), L"");
    ASSERT_TRUE(ReadTextFile(log, lines));
    EXPECT_TRUE(HasLineStarting(lines, L"ファイル名:held.txt"));
    EXPECT_NE(ReadBytes(Savedat() + L"\\PendingReport.html").find("held.txt"), std::string::npos);
}

}  // namespace
