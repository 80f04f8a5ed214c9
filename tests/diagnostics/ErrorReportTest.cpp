#include <gtest/gtest.h>

#include <windows.h>
#include <dlgs.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <stdexcept>
#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "common/Assertions.h"
#include "common/Handles.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "diagnostics/DiagnosticsIds.h"
#include "diagnostics/ErrorFunc.h"
#include "diagnostics/LogWindow.h"
#include "tests/support/Gui.h"
#include "tests/support/TempFolder.h"
#include "ui/Window.h"

namespace {

const std::wstring kRule(89, L'-');

struct WindowCount {
    const wchar_t* className;
    int count;
};

BOOL CALLBACK CountOwnWindowsProc(HWND hwnd, LPARAM lParam) {
    auto* request = reinterpret_cast<WindowCount*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    wchar_t name[128] = {};
    ::GetClassNameW(hwnd, name, 128);
    if (pid == ::GetCurrentProcessId() && std::wstring(name) == request->className) ++request->count;
    return TRUE;
}

// Windows of this process with the class, hidden ones included.
int CountOwnWindows(const wchar_t* className) {
    WindowCount request{className, 0};
    ::EnumWindows(CountOwnWindowsProc, reinterpret_cast<LPARAM>(&request));
    return request.count;
}

bool IsReportAddressLine(const std::wstring& line) {
    const std::wstring prefix = L"ErrorAddress:  0x";
    // Every digit of the address: 8 in the 32-bit edition, 16 in the 64-bit one.
    if (line.size() != prefix.size() + 2 * sizeof(void*) || line.compare(0, prefix.size(), prefix) != 0) return false;
    for (std::size_t i = prefix.size(); i < line.size(); ++i)
        if (!std::iswdigit(line[i]) && (line[i] < L'A' || line[i] > L'F')) return false;
    return true;
}

std::uintptr_t AddressIn(const std::wstring& line) {
    return static_cast<std::uintptr_t>(std::wcstoull(line.c_str() + std::wcslen(L"ErrorAddress:  0x"), nullptr, 16));
}

// Raises the list-transfer failure from a call site of its own.
__attribute__((noinline)) void RaiseListTransferFailure() {
    RaiseAssertion(AssertSite::MainListTransfer);
    asm volatile("");  // keeps the call from becoming a tail jump
}

// Finds a visible dialog box of this process owned by `owner`.
HWND FindOwnedDialog(HWND owner) {
    return FindOwnDialog([owner](HWND dialog) { return ::GetWindow(dialog, GW_OWNER) == owner; });
}

// The file-name box of a save dialog: the edit inside the file-name combo box, or the edit.
HWND FileNameBox(HWND dialog) {
    if (HWND combo = ::GetDlgItem(dialog, cmb13)) {
        if (HWND edit = ::FindWindowExW(combo, nullptr, L"Edit", nullptr)) return edit;
        return combo;
    }
    return ::GetDlgItem(dialog, edt1);
}

// Answers, from a thread of its own, the save dialog that `owner` is about to open: it notes
// the proposed name, types `path` into the file-name box and presses OK; with
// `confirmOverwrite` it then presses Yes on the overwrite question the dialog asks.
class SaveDialogDriver {
public:
    SaveDialogDriver(HWND owner, std::wstring path, bool confirmOverwrite)
        : owner_(owner), path_(std::move(path)), confirmOverwrite_(confirmOverwrite) {
        watcher_ = std::thread([this] { Run(); });
    }
    ~SaveDialogDriver() { Wait(); }
    SaveDialogDriver(const SaveDialogDriver&) = delete;
    SaveDialogDriver& operator=(const SaveDialogDriver&) = delete;

    bool Wait() {
        if (watcher_.joinable()) watcher_.join();
        return done_;
    }
    const std::wstring& ProposedName() {
        Wait();
        return proposed_;
    }
    bool OverwriteAsked() {
        Wait();
        return overwriteAsked_;
    }
    // The name of the first file type the dialog offers.
    const std::wstring& FilterName() {
        Wait();
        return filterName_;
    }

private:
    template <typename Find>
    HWND Await(Find find) {
        const ULONGLONG deadline = ::GetTickCount64() + 10000;
        while (::GetTickCount64() < deadline) {
            if (HWND found = find()) return found;
            ::Sleep(20);
        }
        return nullptr;
    }

    void Run() {
        HWND dialog = Await([this] { return FindOwnedDialog(owner_); });
        if (!dialog) return;
        HWND box = Await([dialog] { return FileNameBox(dialog); });
        if (!box) return;
        proposed_ = ui::WindowText(box);
        if (HWND types = ::GetDlgItem(dialog, cmb1)) {
            wchar_t name[256] = {};
            if (::SendMessageW(types, CB_GETLBTEXTLEN, 0, 0) < 256 &&
                ::SendMessageW(types, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(name)) != CB_ERR)
                filterName_ = name;
        }
        ::SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path_.c_str()));
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
        if (confirmOverwrite_) {
            HWND question = Await([dialog] { return FindOwnedDialog(dialog); });
            if (!question) return;
            overwriteAsked_ = true;
            ::PostMessageW(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(question, IDYES)));
        }
        done_ = true;
    }

    HWND owner_;
    std::wstring path_;
    bool confirmOverwrite_;
    std::wstring proposed_;
    std::wstring filterName_;
    std::atomic<bool> overwriteAsked_{false};
    std::atomic<bool> done_{false};
    std::thread watcher_;
};

// Every test reports through the real handler into the real window, with settings the test
// switches, and frees the window at the end.
class ErrorReportTest : public testing::Test {
protected:
    void SetUp() override {
        previousHandler_ = SetAssertionHandler(nullptr);
        InstallErrorReport();
        SetErrorReportSettings([this] { return errorReportOn_; }, [this] { return useExitFunction_; });
    }
    void TearDown() override {
        FreeErrorLogWindow();
        SetErrorReportSettings({}, {});
        SetAssertionHandler(previousHandler_);
    }

    // The visible report window, found as other windows find it.
    static HWND VisibleLog() { return FindOwnWindow(L"TTIDEMARROW_LOG", L"ErrorLog"); }
    static HWND Control(int id) {
        TTIDEMARROW_LOG* window = ErrorLogWindow();
        return window ? ::GetDlgItem(window->Handle(), id) : nullptr;
    }
    static std::vector<std::wstring> LogLines() { return SplitCrLf(ui::WindowText(Control(IDC_LOG_LOGVIEW))); }
    static void Click(int id) { ::SendMessageW(Control(id), BM_CLICK, 0, 0); }
    // Lets the window process what its showing and hiding posted.
    static void Settle() { PumpUntil([] { return false; }, 50); }

    static void ExpectBlock(const std::vector<std::wstring>& lines, std::size_t first, const std::wstring& message,
                            const std::wstring& unitAndLine) {
        ASSERT_GE(lines.size(), first + 5);
        EXPECT_EQ(lines[first].rfind(L"日時: ", 0), 0u) << lines[first];
        EXPECT_EQ(lines[first + 1], L"ErrorMessage: " + message);
        EXPECT_EQ(lines[first + 2], L"ErrorFileLine:  " + unitAndLine);
        EXPECT_TRUE(IsReportAddressLine(lines[first + 3])) << lines[first + 3];
        EXPECT_EQ(lines[first + 4], kRule);
    }

    bool errorReportOn_ = true;
    bool useExitFunction_ = true;

private:
    AssertionHandler previousHandler_;
};

TEST_F(ErrorReportTest, TwoFailuresGiveTwoBlocksInOneWindow) {
    SYSTEMTIME before{};
    ::GetLocalTime(&before);
    RaiseAssertion(AssertSite::MainListTransfer);
    SYSTEMTIME after{};
    ::GetLocalTime(&after);
    RaiseAssertion(AssertSite::MainAddFile, L"C:\\データ\\a b.txt");

    ASSERT_TRUE(PumpUntil([] { return VisibleLog() != nullptr; }));
    EXPECT_EQ(CountOwnWindows(L"TTIDEMARROW_LOG"), 1);
    EXPECT_EQ(VisibleLog(), ErrorLogWindow()->Handle());

    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 10u);
    const std::wstring first = lines[0];
    EXPECT_TRUE(first == L"日時: " + DateTimeToText(before) || first == L"日時: " + DateTimeToText(after)) << first;
    ExpectBlock(lines, 0, L"エラー 09", L"Main (1307)");
    ExpectBlock(lines, 5, L"ファイル追加時にエラーが発生しました。FileName:C:\\データ\\a b.txt", L"Main (382)");
    EXPECT_EQ(ErrorLogWindow()->Lines(), lines);
}

TEST_F(ErrorReportTest, AddressIsTheReturnAddressOfTheRaisingCallMinusOne) {
    RaiseListTransferFailure();
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 5u);
    ASSERT_TRUE(IsReportAddressLine(lines[3])) << lines[3];
    const std::uintptr_t printed = AddressIn(lines[3]);

    const auto start = reinterpret_cast<std::uintptr_t>(&RaiseListTransferFailure);
    EXPECT_GT(printed, start);
    EXPECT_LT(printed, start + 64);
    // The byte after it starts the instruction the call returns to; the five bytes before that
    // are the call (E8 and its displacement, relative at both widths) to RaiseAssertion.
    const std::uintptr_t returnAddress = printed + 1;
    const auto* call = reinterpret_cast<const unsigned char*>(returnAddress - 5);
    ASSERT_EQ(call[0], 0xE8);
    std::int32_t displacement = 0;
    std::memcpy(&displacement, call + 1, sizeof(displacement));
    void (*raise)(AssertSite, const std::wstring&) = &RaiseAssertion;
    EXPECT_EQ(returnAddress + static_cast<std::uintptr_t>(static_cast<std::intptr_t>(displacement)),
              reinterpret_cast<std::uintptr_t>(raise));
}

TEST_F(ErrorReportTest, CloseHidesAndTheNextFailureShowsTheSameWindowWithTheOldBlocks) {
    RaiseAssertion(AssertSite::MainReload);
    RaiseAssertion(AssertSite::MainShellDrop);
    ASSERT_TRUE(PumpUntil([] { return VisibleLog() != nullptr; }));
    const HWND window = VisibleLog();
    const auto before = LogLines();
    ASSERT_EQ(before.size(), 10u);

    Click(IDC_LOG_CLOSE);
    ASSERT_TRUE(PumpUntil([window] { return !::IsWindowVisible(window); }));
    EXPECT_TRUE(::IsWindow(window));
    EXPECT_EQ(LogLines(), before);

    RaiseAssertion(AssertSite::EraseFuncDirSearch);
    ASSERT_TRUE(PumpUntil([] { return VisibleLog() != nullptr; }));
    EXPECT_EQ(VisibleLog(), window);
    EXPECT_EQ(CountOwnWindows(L"TTIDEMARROW_LOG"), 1);
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(std::vector<std::wstring>(lines.begin(), lines.begin() + 10), before);
    ExpectBlock(lines, 10, L"DirSeachError", L"EraseFunc (238)");
}

TEST_F(ErrorReportTest, ClosingTheWindowFromOutsideOnlyHidesIt) {
    RaiseAssertion(AssertSite::MainReload);
    ASSERT_TRUE(PumpUntil([] { return VisibleLog() != nullptr; }));
    const HWND window = VisibleLog();
    ::SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_TRUE(::IsWindow(window));
    EXPECT_EQ(LogLines().size(), 5u);
}

TEST_F(ErrorReportTest, ReportingOffLeavesNoWindowAndNoText) {
    errorReportOn_ = false;
    EXPECT_NO_THROW(RaiseAssertion(AssertSite::MainTestPattern));
    Settle();
    EXPECT_EQ(CountOwnWindows(L"TTIDEMARROW_LOG"), 0);
    EXPECT_EQ(ErrorLogWindow(), nullptr);

    // With a hidden window holding a report, nothing is added and nothing shows.
    errorReportOn_ = true;
    RaiseAssertion(AssertSite::MainReload);
    ASSERT_TRUE(PumpUntil([] { return VisibleLog() != nullptr; }));
    Click(IDC_LOG_CLOSE);
    errorReportOn_ = false;
    RaiseAssertion(AssertSite::MainTestPattern);
    Settle();
    EXPECT_EQ(VisibleLog(), nullptr);
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], L"ErrorMessage: ReLoadError 0E");
}

TEST_F(ErrorReportTest, SettingsThatCannotBeReadCountAsOn) {
    SetErrorReportSettings([]() -> bool { throw std::runtime_error("settings gone"); },
                           []() -> bool { throw std::runtime_error("settings gone"); });
    EXPECT_NO_THROW(RaiseAssertion(AssertSite::LoginWindow));
    ASSERT_TRUE(PumpUntil([] { return VisibleLog() != nullptr; }));
    EXPECT_TRUE(::IsWindowVisible(Control(IDC_LOG_EXIT)));
    ExpectBlock(LogLines(), 0, L"Login Window error", L"Nuser (70)");

    // No settings at all (early in start-up): reported, exit button shown.
    FreeErrorLogWindow();
    SetErrorReportSettings({}, {});
    RaiseAssertion(AssertSite::MainButtonGlyph);
    ASSERT_TRUE(PumpUntil([] { return VisibleLog() != nullptr; }));
    EXPECT_TRUE(::IsWindowVisible(Control(IDC_LOG_EXIT)));
    ExpectBlock(LogLines(), 0, L"正しい描写が完了しませんでした", L"Main (972)");
}

TEST_F(ErrorReportTest, ExitButtonFollowsTheSettingAtTheNextFailureNotBefore) {
    useExitFunction_ = false;
    RaiseAssertion(AssertSite::MainReload);
    ASSERT_TRUE(PumpUntil([] { return VisibleLog() != nullptr; }));
    const HWND exitButton = Control(IDC_LOG_EXIT);
    ASSERT_NE(exitButton, nullptr);
    EXPECT_EQ(ui::WindowText(exitButton), L"&Exit TIDEMARROW ");
    EXPECT_FALSE(::IsWindowVisible(exitButton));

    useExitFunction_ = true;
    Settle();
    EXPECT_FALSE(::IsWindowVisible(exitButton));
    RaiseAssertion(AssertSite::MainReload);
    EXPECT_TRUE(::IsWindowVisible(exitButton));

    useExitFunction_ = false;
    RaiseAssertion(AssertSite::MainReload);
    EXPECT_FALSE(::IsWindowVisible(exitButton));
}

TEST_F(ErrorReportTest, ExitEndsTheMessageLoopWithoutClosingAnything) {
    RaiseAssertion(AssertSite::MainReload);
    ASSERT_TRUE(PumpUntil([] { return VisibleLog() != nullptr; }));
    MSG stale;
    while (::PeekMessageW(&stale, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }

    Click(IDC_LOG_EXIT);
    MSG quit{};
    ASSERT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
    // The report window is neither hidden nor destroyed by it.
    EXPECT_NE(VisibleLog(), nullptr);
}

TEST_F(ErrorReportTest, ClearEmptiesTheLogAndReportsGoOnInIt) {
    RaiseAssertion(AssertSite::MainReload);
    RaiseAssertion(AssertSite::MainShellDrop);
    ASSERT_TRUE(PumpUntil([] { return VisibleLog() != nullptr; }));
    ASSERT_EQ(LogLines().size(), 10u);

    Click(IDC_LOG_CLEAR);
    EXPECT_EQ(ui::WindowText(Control(IDC_LOG_LOGVIEW)), L"");
    EXPECT_NE(VisibleLog(), nullptr);

    RaiseAssertion(AssertSite::MainHtmlHelp);
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 5u);
    ExpectBlock(lines, 0, L"Html Help Open error 01", L"Main (1351)");
}

TEST_F(ErrorReportTest, FullLogIsEmptiedAndTheReportGoesOnWithTheLinesAfterTheOneThatFailed) {
    RaiseAssertion(AssertSite::MainReload);
    ASSERT_TRUE(PumpUntil([] { return VisibleLog() != nullptr; }));
    const auto first = LogLines();
    ASSERT_EQ(first.size(), 5u);
    const int used = ::GetWindowTextLengthW(Control(IDC_LOG_LOGVIEW));
    // Room for the next date line and message line, with a little to spare, but not for
    // "ErrorFileLine:  Main (666)".
    const int room = static_cast<int>(first[0].size() + 2 + std::wstring(L"ErrorMessage: Shell Drop Error").size() + 2);
    ErrorLogWindow()->SetTextLimit(used + room + 5);

    RaiseAssertion(AssertSite::MainShellDrop);
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(IsReportAddressLine(lines[0])) << lines[0];
    EXPECT_EQ(lines[1], kRule);
    EXPECT_NE(VisibleLog(), nullptr);
}

TEST_F(ErrorReportTest, AFailureWhileABlockIsWrittenIsReportedAfterIt) {
    // Reading the exit setting fails with a report of its own, once.
    bool raised = false;
    SetErrorReportSettings([] { return true; },
                           [&raised] {
                               if (!raised) {
                                   raised = true;
                                   RaiseAssertion(AssertSite::ConfigIniWrite);
                               }
                               return true;
                           });
    RaiseAssertion(AssertSite::MainReload);
    ASSERT_TRUE(PumpUntil([] { return VisibleLog() != nullptr; }));
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 10u);
    ExpectBlock(lines, 0, L"ReLoadError 0E", L"Main (716)");
    ExpectBlock(lines, 5, L"INI Error -05", L"config (583)");
}

TEST_F(ErrorReportTest, WindowHasItsCaptionSizePlaceAndControls) {
    RaiseAssertion(AssertSite::MainReload);
    ASSERT_TRUE(PumpUntil([] { return VisibleLog() != nullptr; }));
    const HWND window = VisibleLog();

    RECT client{};
    ::GetClientRect(window, &client);
    EXPECT_EQ(client.right - client.left, 573);
    EXPECT_EQ(client.bottom - client.top, 281);
    RECT frame{};
    ::GetWindowRect(window, &frame);
    EXPECT_EQ(frame.left, 1);
    EXPECT_EQ(frame.top, 0);
    EXPECT_EQ(ui::WindowText(window), L"ErrorLog");
    const LONG style = ::GetWindowLongW(window, GWL_STYLE);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);

    const HWND logView = Control(IDC_LOG_LOGVIEW);
    const LONG viewStyle = ::GetWindowLongW(logView, GWL_STYLE);
    EXPECT_TRUE(viewStyle & ES_MULTILINE);
    EXPECT_TRUE(viewStyle & ES_READONLY);
    EXPECT_TRUE(viewStyle & WS_VSCROLL);
    EXPECT_FALSE(viewStyle & WS_TABSTOP);

    EXPECT_EQ(ui::WindowText(Control(IDC_LOG_SAVE)), L"&Save");
    EXPECT_EQ(ui::WindowText(Control(IDC_LOG_CLOSE)), L"&Close");
    EXPECT_EQ(ui::WindowText(Control(IDC_LOG_CLEAR)), L"C&lear");
    EXPECT_EQ(ui::WindowText(Control(IDC_LOG_EXIT)), L"&Exit TIDEMARROW ");
    EXPECT_EQ(::GetWindowLongW(Control(IDC_LOG_CLOSE), GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
    EXPECT_EQ(LOWORD(::SendMessageW(window, DM_GETDEFID, 0, 0)), IDC_LOG_CLOSE);

    // Moved away and hidden, it comes back at the top left at the next failure.
    ::SetWindowPos(window, nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Click(IDC_LOG_CLOSE);
    RaiseAssertion(AssertSite::MainReload);
    ASSERT_TRUE(PumpUntil([] { return VisibleLog() != nullptr; }));
    ::GetWindowRect(window, &frame);
    EXPECT_EQ(frame.left, 1);
    EXPECT_EQ(frame.top, 0);
}

TEST_F(ErrorReportTest, EnterPressesCloseTheDefaultButton) {
    RaiseAssertion(AssertSite::MainReload);
    ASSERT_TRUE(PumpUntil([] { return VisibleLog() != nullptr; }));
    const HWND window = VisibleLog();
    MSG enter{Control(IDC_LOG_CLEAR), WM_KEYDOWN, VK_RETURN, 0x001C0001, 0, {}};
    EXPECT_TRUE(IsErrorLogMessage(enter));
    ASSERT_TRUE(PumpUntil([window] { return !::IsWindowVisible(window); }));
    EXPECT_EQ(LogLines().size(), 5u);

    // Messages of other windows are left to the caller.
    ProgressWindow other;
    MSG elsewhere{other.Window(), WM_KEYDOWN, VK_RETURN, 0x001C0001, 0, {}};
    EXPECT_FALSE(IsErrorLogMessage(elsewhere));
}

TEST_F(ErrorReportTest, FreedWindowIsGoneAndTheNextFailureStartsAFreshOne) {
    RaiseAssertion(AssertSite::MainReload);
    ASSERT_TRUE(PumpUntil([] { return VisibleLog() != nullptr; }));
    FreeErrorLogWindow();
    EXPECT_EQ(CountOwnWindows(L"TTIDEMARROW_LOG"), 0);
    EXPECT_EQ(ErrorLogWindow(), nullptr);

    RaiseAssertion(AssertSite::MainShellDrop);
    ASSERT_TRUE(PumpUntil([] { return VisibleLog() != nullptr; }));
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], L"ErrorMessage: Shell Drop Error");

    // Destroyed by someone else: the next failure makes a new window as well.
    ::DestroyWindow(VisibleLog());
    EXPECT_EQ(ErrorLogWindow(), nullptr);
    RaiseAssertion(AssertSite::MainReload);
    ASSERT_TRUE(PumpUntil([] { return VisibleLog() != nullptr; }));
    EXPECT_EQ(CountOwnWindows(L"TTIDEMARROW_LOG"), 1);
    EXPECT_EQ(LogLines().size(), 5u);
}

class ErrorLogSaveTest : public ErrorReportTest {
protected:
    void SetUp() override {
        ErrorReportTest::SetUp();
        RaiseAssertion(AssertSite::MainListTransfer);
        RaiseAssertion(AssertSite::MainAddFile, L"C:\\データ\\表.txt");
        ASSERT_TRUE(PumpUntil([] { return VisibleLog() != nullptr; }));
        lines_ = LogLines();
        ASSERT_EQ(lines_.size(), 10u);
    }

    std::vector<std::wstring> lines_;
    TempFolder folder_;
};

TEST_F(ErrorLogSaveTest, SaveWritesEveryLineInCodePage932WithCrLfAndAddsNoExtension) {
    const std::wstring path = folder_ / L"保存ログ";
    {
        SaveDialogDriver driver(VisibleLog(), path, false);
        Click(IDC_LOG_SAVE);
        ASSERT_TRUE(driver.Wait());
        EXPECT_EQ(driver.ProposedName(), L"DebugLog.txt");
        EXPECT_EQ(driver.FilterName(), L"テキストファイル");
    }
    EXPECT_FALSE(FileExists(path + L".txt"));
    const std::string bytes = ReadBytes(path);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes, JoinLinesCrLf(lines_));
    // "ErrorMessage: エラー 09" in Shift_JIS, ended by CR LF.
    EXPECT_NE(bytes.find("ErrorMessage: \x83\x47\x83\x89\x81\x5B 09\r\n"), std::string::npos);
    EXPECT_NE(bytes.find(std::string(89, '-') + "\r\n"), std::string::npos);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare LF at " << i;
        }
    }
    std::vector<std::wstring> readBack;
    ASSERT_TRUE(ReadTextFile(path, readBack));
    EXPECT_EQ(readBack, lines_);
    // Saving changes nothing in the window.
    EXPECT_EQ(LogLines(), lines_);
    EXPECT_NE(VisibleLog(), nullptr);
}

TEST_F(ErrorLogSaveTest, SaveOverAnExistingFileAsksAndReplacesIt) {
    const std::wstring path = folder_ / L"DebugLog.txt";
    ASSERT_TRUE(WriteBytes(path, std::string(5000, 'x')));
    {
        SaveDialogDriver driver(VisibleLog(), path, true);
        Click(IDC_LOG_SAVE);
        ASSERT_TRUE(driver.Wait());
        EXPECT_TRUE(driver.OverwriteAsked());
    }
    EXPECT_EQ(ReadBytes(path), JoinLinesCrLf(lines_));
}

TEST_F(ErrorLogSaveTest, SaveThatCannotWriteSaysSoAndKeepsWindowAndText) {
    const std::wstring path = folder_ / L"locked.txt";
    ASSERT_TRUE(WriteBytes(path, "kept"));
    // Held open without sharing: the save cannot open it for writing.
    UniqueFile held(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    ASSERT_TRUE(held.valid());
    const HWND window = VisibleLog();
    {
        DialogAnswerer failure(L"TIDEMARROW32 SE", IDOK);
        SaveDialogDriver driver(window, path, true);
        Click(IDC_LOG_SAVE);
        ASSERT_TRUE(driver.Wait());
        ASSERT_TRUE(failure.Wait());
        EXPECT_NE(failure.Text().find(path), std::wstring::npos) << failure.Text();
        EXPECT_NE(failure.Text().find(L"保存できませんでした"), std::wstring::npos) << failure.Text();
    }
    held.reset();
    EXPECT_EQ(ReadBytes(path), "kept");
    EXPECT_EQ(VisibleLog(), window);
    EXPECT_EQ(LogLines(), lines_);
}

TEST_F(ErrorLogSaveTest, SaveLogToWritesTheLinesAndTellsAFailure) {
    const std::wstring path = folder_ / L"direct.log";
    ASSERT_TRUE(ErrorLogWindow()->SaveLogTo(path));
    EXPECT_EQ(ReadBytes(path), JoinLinesCrLf(lines_));
    EXPECT_FALSE(ErrorLogWindow()->SaveLogTo(folder_ / L"no such folder\\x.txt"));

    // A report naming a file outside code page 932 is saved as UTF-8 and loses nothing.
    RaiseAssertion(AssertSite::MainAddFile, L"C:\\한글.txt");
    ASSERT_TRUE(PumpUntil([&] { return LogLines().size() > lines_.size(); }));
    ASSERT_TRUE(ErrorLogWindow()->SaveLogTo(path));
    std::vector<std::wstring> saved;
    ASSERT_TRUE(ReadTextFile(path, saved));
    EXPECT_EQ(saved, LogLines());
    EXPECT_NE(std::find_if(saved.begin(), saved.end(), [](const std::wstring& line) {
                  return line.find(L"C:\\한글.txt") != std::wstring::npos;
              }), saved.end());
}

}  // namespace
