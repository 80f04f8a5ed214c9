#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "diagnostics/ErrorFunc.h"
#include "diagnostics/LogWindow.h"
#include "dialogs/ImageControl.h"
#include "dialogs/Vdlg.h"
#include "notify/SSTP.h"
#include "profiles/UsersWindow.h"
#include "resources/ProductInfo.h"
#include "settings/ConfigWindowIds.h"
#include "tests/app/WorkflowFixture.h"
#include "tests/notify/ExpectedScripts.h"
#include "tests/notify/NotifyTestSupport.h"
#include "tests/support/ProductAddresses.h"

namespace {

const BuildAddresses kConfiguredBuild;  // as a build given a web address shows the program


const wchar_t kHelpViewerClass[] = L"HH Parent";
const wchar_t kTestPattern[] = L"てぇすとぱたーん 03";

// Waits, on a thread of its own, for a visible top-level window of this process with the
// class `className`; when one shows, runs `action` with it there (the test's thread is in the
// window's modal loop meanwhile).
class WindowWatcher {
public:
    WindowWatcher(const wchar_t* className, std::function<void(HWND)> action)
        : thread_([this, className, action = std::move(action)] {
              const ULONGLONG deadline = ::GetTickCount64() + 10000;
              while (::GetTickCount64() < deadline) {
                  if (HWND window = FindOwnWindow(className, nullptr)) {
                      action(window);
                      seen_ = true;
                      return;
                  }
                  ::Sleep(20);
              }
          }) {}
    ~WindowWatcher() { Wait(); }
    WindowWatcher(const WindowWatcher&) = delete;
    WindowWatcher& operator=(const WindowWatcher&) = delete;
    bool Wait() {
        if (thread_.joinable()) thread_.join();
        return seen_;
    }

private:
    std::atomic<bool> seen_{false};
    std::thread thread_;
};

// Notes, while it lives, the messages this thread takes from its queue.
class QueueWatch {
public:
    QueueWatch() : hook_(::SetWindowsHookExW(WH_GETMESSAGE, Note, nullptr, ::GetCurrentThreadId())) { Seen().clear(); }
    ~QueueWatch() { ::UnhookWindowsHookEx(hook_); }
    QueueWatch(const QueueWatch&) = delete;
    QueueWatch& operator=(const QueueWatch&) = delete;
    // How many `message`s went to `window` (to any window when it is null).
    // Another thread may ask too.
    int Count(HWND window, UINT message) const {
        std::lock_guard lock(Lock());
        int count = 0;
        for (const MSG& msg : Seen()) count += msg.message == message && (!window || msg.hwnd == window);
        return count;
    }

private:
    static std::vector<MSG>& Seen() {
        static std::vector<MSG> seen;
        return seen;
    }
    static std::mutex& Lock() {
        static std::mutex lock;
        return lock;
    }
    static LRESULT CALLBACK Note(int code, WPARAM removed, LPARAM message) {
        if (code == HC_ACTION && removed == PM_REMOVE) {
            std::lock_guard lock(Lock());
            Seen().push_back(*reinterpret_cast<const MSG*>(message));
        }
        return ::CallNextHookEx(nullptr, code, removed, message);
    }
    HHOOK hook_;
};

// The folder the tests run from, where the build puts the help file beside them.
std::wstring BuildFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

class ShellCommandsTest : public WorkflowTest {
protected:
    void SelectRow(int row) {
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(List().Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }

    int ColumnWidth(int column) {
        return static_cast<int>(::SendMessageW(List().Handle(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
    }

    // Drags the right edge of `column`'s header by `dx` pixels, as the mouse does.
    void DragDivider(int column, int dx) {
        HWND header = reinterpret_cast<HWND>(::SendMessageW(List().Handle(), LVM_GETHEADER, 0, 0));
        RECT item{};
        ::SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
        const int x = item.right - 1, y = (item.top + item.bottom) / 2;
        ::SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        for (int step = 1; step <= 4; ++step)
            ::SendMessageW(header, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + dx * step / 4, y));
        ::SendMessageW(header, WM_LBUTTONUP, 0, MAKELPARAM(x + dx, y));
    }

    // Double clicks the logo with the mouse, Shift held or not, and waits until the window
    // has taken both clicks.
    void DoubleClickLogo(bool shift) {
        RECT area{};
        ::GetWindowRect(window->Logo->Handle(), &area);
        std::vector<INPUT> inputs(shift ? 6 : 4);
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            INPUT& input = inputs[i];
            if (shift && (i == 0 || i == 5)) {
                input.type = INPUT_KEYBOARD;
                input.ki.wVk = VK_SHIFT;
                input.ki.dwFlags = i == 0 ? 0 : KEYEVENTF_KEYUP;
                continue;
            }
            input.type = INPUT_MOUSE;
            input.mi.dx = (area.left + area.right) / 2 * 65535 / (::GetSystemMetrics(SM_CXSCREEN) - 1);
            input.mi.dy = (area.top + area.bottom) / 2 * 65535 / (::GetSystemMetrics(SM_CYSCREEN) - 1);
            input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE |
                               ((i - (shift ? 1 : 0)) % 2 ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN);
        }
        QueueWatch queue;
        // Shift goes up only once the window has taken both clicks.
        ::SendInput(static_cast<UINT>(inputs.size() - (shift ? 1 : 0)), inputs.data(), sizeof(INPUT));
        EXPECT_TRUE(PumpUntil([&] { return queue.Count(window->Logo->Handle(), WM_LBUTTONUP) == 2; }));
        if (shift) {
            ::SendInput(1, &inputs.back(), sizeof(INPUT));
            EXPECT_TRUE(PumpUntil([] { return (::GetAsyncKeyState(VK_SHIFT) & 0x8000) == 0; }));
        }
        ::GetAsyncKeyState(VK_SHIFT);  // forgets that Shift was pressed since the last query
    }
};

// --- file properties ---

TEST_F(ShellCommandsTest, FilePropertiesAskTheShellForTheSelectedRowsFileOnly) {
    Make();
    std::vector<SHELLEXECUTEINFOW> requests;
    std::vector<std::wstring> files, verbs;
    window->ExecuteShell = [&](SHELLEXECUTEINFOW& request) {
        requests.push_back(request);
        files.emplace_back(request.lpFile ? request.lpFile : L"");
        verbs.emplace_back(request.lpVerb ? request.lpVerb : L"");
        return TRUE;
    };
    SendCommand(Command::ShowFileProperties);
    EXPECT_TRUE(requests.empty()) << "an empty list";
    const std::wstring first = File(L"first.txt"), second = File(L"名前 二.txt");
    Add(first);
    Add(second);
    SendCommand(Command::ShowFileProperties);
    EXPECT_TRUE(requests.empty()) << "no row selected";
    SelectRow(1);
    SendCommand(Command::ShowFileProperties);
    ASSERT_EQ(requests.size(), 1u);
    const SHELLEXECUTEINFOW& request = requests[0];
    EXPECT_EQ(request.cbSize, sizeof(void*) == 8 ? 112u : 60u);  // the record of each edition
    EXPECT_EQ(request.fMask, 0x44Cu);
    EXPECT_EQ(request.hwnd, App().Handle());
    EXPECT_EQ(verbs[0], L"properties");
    EXPECT_EQ(files[0], second);
    EXPECT_EQ(request.lpParameters, nullptr);
    EXPECT_EQ(request.lpDirectory, nullptr);
    EXPECT_EQ(request.nShow, SW_SHOW);
    ASSERT_TRUE(::DeleteFileW(second.c_str()));
    SendCommand(Command::ShowFileProperties);
    EXPECT_EQ(requests.size(), 1u) << "the file has gone since it was listed";
}

// --- help ---

TEST_F(ShellCommandsTest, HelpWithoutItsFileWarnsAndWithABrokenOneReports) {
    Make();
    // No help file, then a folder of its name: the warning, nothing opened, nothing reported.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt == 1) {
            ASSERT_TRUE(::CreateDirectoryW(window->HelpFilePath().c_str(), nullptr));
        }
        DialogAnswerer warning(L"TIDEMARROW32 SE", IDOK);
        SendCommand(Command::ShowHelp);
        ASSERT_TRUE(warning.Wait());
        EXPECT_NE(warning.Text().find(L"ヘルプファイルが見当たりません。"), std::wstring::npos) << warning.Text();
    }
    EXPECT_TRUE(RecordedAssertions().empty());
    // A file the viewer cannot read: it answers at once with no window.
    ASSERT_TRUE(::RemoveDirectoryW(window->HelpFilePath().c_str()));
    ASSERT_TRUE(WriteBytes(window->HelpFilePath(), "not a help file at all"));
    SendCommand(Command::ShowHelp);
    EXPECT_EQ(FindOwnWindow(kHelpViewerClass, nullptr), nullptr);
    EXPECT_TRUE(Reported(L"Html Help Open error 01"));
}

class HelpViewerTest : public ShellCommandsTest, public testing::WithParamInterface<const wchar_t*> {};

// The program's folder as it is, and one whose name has characters outside code page 932.
TEST_P(HelpViewerTest, HelpOpensTheViewerOnTheBuiltHelpFile) {
    const std::wstring programFolder = *GetParam() ? folder / GetParam() : folder.Path();
    for (const wchar_t* sub : {L"", L"\\User", L"\\User\\DefaultUser"})
        ::CreateDirectoryW((programFolder + sub).c_str(), nullptr);
    window = std::make_unique<TMainWindow>(App(), programFolder);
    MakeWith();
    EXPECT_EQ(window->HelpFilePath(), programFolder + L"\\TIDEMARROW32 SE.chm");
    ASSERT_TRUE(::CopyFileW((BuildFolder() + L"TIDEMARROW32 SE.chm").c_str(), window->HelpFilePath().c_str(), FALSE))
        << "the build puts the help file beside the programs";
    SendCommand(Command::ShowHelp);
    HWND viewer = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (viewer = FindOwnWindow(kHelpViewerClass, nullptr)) != nullptr; }, 10000));
    // The title comes from the help file, in code page 932 under its language 0x411.
    EXPECT_EQ(ui::WindowText(viewer), L"TIDEMARROW32 SE ヘルプ");
    EXPECT_EQ(::GetWindow(viewer, GW_OWNER), App().Handle());
    EXPECT_TRUE(RecordedAssertions().empty());
    ::SendMessageW(viewer, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(viewer); }));
}

INSTANTIATE_TEST_SUITE_P(ProgramFolders, HelpViewerTest, testing::Values(L"", L"プログラム ä ß"));

// --- web page and version ---

TEST_F(ShellCommandsTest, WebPageGoesToTheOpenerWithTheProductsAddress) {
    Make();
    std::vector<std::pair<HWND, std::wstring>> opened;
    window->OpenWebAddress = [&](HWND owner, const std::wstring& address) { opened.emplace_back(owner, address); };
    SendCommand(Command::OpenWebSite);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].first, App().Handle());
    EXPECT_EQ(opened[0].second, ProductWebAddress());
}

TEST_F(ShellCommandsTest, ABuildWithoutAWebAddressOffersNoWebPageLinkOrBanner) {
    BuildAddresses none(L"", L"");
    Make();
    const UINT id = ui::kFirstActionCommand + Command::OpenWebSite;
    EXPECT_FALSE(::SendMessageW(window->HelpToolBar, TB_ISBUTTONENABLED, id, 0));
    EXPECT_TRUE(::GetMenuState(window->MenuBar, id, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_FALSE(::GetWindowLongW(TVerdlg(nullptr).WebLink, GWL_STYLE) & WS_VISIBLE);
    Config().OpenWebAddress = [](HWND, const std::wstring&) { ADD_FAILURE() << "the banner opened"; };
    ASSERT_TRUE(Config().EnsureWindow());
    HWND banner = Config().Control(IDC_CONFIG_BANNER);
    ::SendMessageW(Config().Handle(), WM_COMMAND, MAKEWPARAM(IDC_CONFIG_BANNER, STN_CLICKED), (LPARAM)banner);
}

TEST_F(ShellCommandsTest, VersionShowsTheAboutBoxAndTellsARunningCompanionFirst) {
    Make();
    std::vector<std::wstring> opened;
    window->OpenWebAddress = [&](HWND, const std::wstring& address) { opened.push_back(address); };
    struct Case {
        bool useSstp;
        bool companion;
        bool told;
    };
    for (const Case& c : {Case{false, true, false}, Case{true, false, false}, Case{true, true, true}}) {
        SCOPED_TRACE(testing::Message() << "SSTP " << c.useSstp << ", companion " << c.companion);
        Config().EditValues().UseSSTP = c.useSstp;
        std::unique_ptr<CompanionWindow> companion;
        if (c.companion) companion = std::make_unique<CompanionWindow>();
        LoopbackListener listener(window->Notifier()->Port());
        ASSERT_TRUE(listener.Listening());
        std::atomic<bool> ownedByMain{false};
        std::wstring caption;
        WindowWatcher about(L"TVerdlg", [&](HWND box) {
            caption = ui::WindowText(box);
            ownedByMain = ::GetWindow(box, GW_OWNER) == window->Handle();
            // The link goes through the window's opener too.
            if (HWND link = ::FindWindowExW(box, nullptr, L"STATIC", ProductWebAddress().c_str())) {
                RECT area{};
                ::GetClientRect(link, &area);
                ::SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, area.bottom / 2));
                ::SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, area.bottom / 2));
            }
            ::PostMessageW(box, WM_CLOSE, 0, 0);
        });
        SendCommand(Command::ShowAbout);
        EXPECT_TRUE(about.Wait()) << "the about box shows in every case";
        EXPECT_EQ(caption, L"TIDEMARROW32 SE のバージョン情報");
        EXPECT_TRUE(ownedByMain);
        const ListenerResult result = listener.Wait(c.told ? 5000 : 300);
        EXPECT_EQ(result.accepted, c.told);
        if (c.told) {
            EXPECT_EQ(result.bytes, ExpectedRequest(kVersionScriptBytes));
        }
    }
    EXPECT_EQ(opened, std::vector<std::wstring>(3, ProductWebAddress()));
}

// --- profile manager ---

TEST_F(ShellCommandsTest, ProfileManagerShowsTheProfileInUseAndTheWindowCannotCloseMeanwhile) {
    Make();
    Config().EditValues().WarningClose = false;
    std::wstring caption;
    std::atomic<bool> ownedByApplication{false}, survivedClose{false}, markedOpen{false};
    HWND main = window->Handle();
    WindowWatcher manager(TUsersWindow::kClassName, [&](HWND box) {
        caption = ui::WindowText(box);
        ownedByApplication = ::GetWindow(box, GW_OWNER) == App().Handle();
        markedOpen = TMainWindow::ProfileManagerOpen();
        // Another program asks the main window to close.
        DWORD_PTR answer = 0;
        ::SendMessageTimeoutW(main, WM_CLOSE, 0, 0, SMTO_BLOCK, 5000, &answer);
        survivedClose = ::IsWindow(main) != FALSE;
        ::PostMessageW(box, WM_CLOSE, 0, 0);
    });
    SendCommand(Command::ManageProfiles);
    ASSERT_TRUE(manager.Wait());
    EXPECT_EQ(caption, L"TIDEMARROW32 SE [DefaultUser]");
    EXPECT_TRUE(ownedByApplication);
    EXPECT_TRUE(markedOpen);
    EXPECT_TRUE(survivedClose);
    EXPECT_FALSE(TMainWindow::ProfileManagerOpen());
    EXPECT_TRUE(CloseWindow()) << "closing works again once the manager is gone";
}

// --- the error report's test entry ---

TEST_F(ShellCommandsTest, ShiftDoubleClickOnTheLogoReportsTheTestPatternWhenReportingIsOn) {
    Make();
    DoubleClickLogo(false);
    EXPECT_TRUE(RecordedAssertions().empty()) << "without Shift nothing happens";
    DoubleClickLogo(true);
    const std::vector<RecordedAssertion> reports = RecordedAssertions();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, kTestPattern);
    EXPECT_EQ(reports[0].unit, L"Main");
    EXPECT_EQ(reports[0].line, 1405);

    // Through the real error report, which the settings switch.
    InstallErrorReport();
    SetErrorReportSettings([this] { return Config().ErrorReport(); }, [] { return true; });
    Config().EditValues().ErrorReport = false;
    DoubleClickLogo(true);
    EXPECT_EQ(ErrorLogWindow(), nullptr) << "reporting off: no trace";
    Config().EditValues().ErrorReport = true;
    DoubleClickLogo(true);
    TTIDEMARROW_LOG* log = ErrorLogWindow();
    SetAssertionHandler(RecordAssertion);
    SetErrorReportSettings({}, {});
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(::IsWindowVisible(log->Handle()));
    const std::vector<std::wstring> lines = log->Lines();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[1], L"ErrorMessage: てぇすとぱたーん 03");
    EXPECT_EQ(lines[2], L"ErrorFileLine:  Main (1405)");
    // The report belongs to the application window: no taskbar button of its own.
    EXPECT_EQ(::GetWindow(log->Handle(), GW_OWNER), App().Handle());
    EXPECT_EQ(::GetWindowLongPtrW(log->Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
    FreeErrorLogWindow();
}

// --- the frame's details ---

TEST_F(ShellCommandsTest, FileListColumnsKeepTheFirstFixedAndTheOthersAtLeastTheirStartWidths) {
    Make();
    DragDivider(0, 60);
    EXPECT_EQ(ColumnWidth(0), 40);
    DragDivider(0, -20);
    EXPECT_EQ(ColumnWidth(0), 40);
    ::SendMessageW(List().Handle(), LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(90, 0));
    EXPECT_EQ(ColumnWidth(0), 40);
    const int minimums[] = {0, 200, 55, 205, 180};
    for (int column = 1; column <= 4; ++column) {
        SCOPED_TRACE(column);
        // The last column's edge lies beyond the list's right border, out of the mouse's reach.
        if (column < 4) {
            DragDivider(column, 30);
            EXPECT_EQ(ColumnWidth(column), minimums[column] + 30) << "wider is allowed";
            DragDivider(column, -150);
            EXPECT_EQ(ColumnWidth(column), minimums[column]) << "narrower stops at the minimum";
        }
        ::SendMessageW(List().Handle(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(10, 0));
        EXPECT_EQ(ColumnWidth(column), minimums[column]);
        ::SendMessageW(List().Handle(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column),
                       MAKELPARAM(minimums[column] + 5, 0));
        EXPECT_EQ(ColumnWidth(column), minimums[column] + 5);
    }
}

// The tools panel hands its labels no brush: a label that is not opaque leaves whatever was
// on the screen under its text.
LRESULT CALLBACK HollowPanel(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_CTLCOLORSTATIC) {
        ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

TEST_F(ShellCommandsTest, ToolsTitleIsOpaque) {
    Make();
    window->ShowContentPanel(TMainWindow::ContentPanel::Tools);
    HWND panel = window->Toolspanel.Handle();
    HWND label = window->ToolsTitle;
    ASSERT_TRUE(::SetWindowSubclass(panel, HollowPanel, 1, 0));
    ::UpdateWindow(panel);
    RECT area{};
    ::GetClientRect(label, &area);
    const auto pixelNearTheEnd = [&] {
        HDC dc = ::GetDC(label);
        const COLORREF colour = ::GetPixel(dc, area.right - 3, area.bottom / 2);
        ::ReleaseDC(label, dc);
        return colour;
    };
    {
        // Red where the label stands, then the label paints itself again.
        HDC dc = ::GetDC(label);
        HBRUSH red = ::CreateSolidBrush(RGB(255, 0, 0));
        ::FillRect(dc, &area, red);
        ::DeleteObject(red);
        ::ReleaseDC(label, dc);
    }
    ASSERT_EQ(pixelNearTheEnd(), RGB(255, 0, 0));
    ::RedrawWindow(label, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    const COLORREF after = pixelNearTheEnd();
    ::RemoveWindowSubclass(panel, HollowPanel, 1);
    window->ShowContentPanel(TMainWindow::ContentPanel::List);
    EXPECT_EQ(after, ::GetSysColor(COLOR_BTNFACE));
}

// --- a close from outside during a run ---

TEST_F(ShellCommandsTest, ACloseDuringARunIsRefusedAndTheRunFinishes) {
    bool sent = false, survived = false;
    // The window's thread notes what it takes from its queue while the files are erased on
    // another, which asks from there.
    QueueWatch queue;
    Make({}, [&](int percent) {
        if (sent || percent < 30) return;
        sent = true;
        // Another program asks the main window, and the taskbar button's Close the application,
        // which hands the request on to the main window.
        ::SendMessageW(window->Handle(), WM_CLOSE, 0, 0);
        ::PostMessageW(App().Handle(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(PumpUntil([&] { return queue.Count(window->Handle(), WM_CLOSE) == 1; }));
        survived = ::IsWindow(window->Handle()) && App().Config() != nullptr;
    });
    Config().EditValues().WarningClose = false;
    const std::wstring a = File(L"a.bin", 200000), b = File(L"b.bin", 2000);
    Add(a);
    Add(b);
    {
        DialogAnswerer confirm(L"確認", IDYES);
        SendCommand(Command::StartRun);
        ASSERT_TRUE(confirm.Wait());
    }
    ASSERT_TRUE(sent);
    EXPECT_TRUE(survived);
    ASSERT_TRUE(::IsWindow(window->Handle()));
    EXPECT_EQ(window->VisibleContentPanel(), TMainWindow::ContentPanel::Result);
    EXPECT_FALSE(FileExists(a));
    EXPECT_FALSE(FileExists(b));
    const std::vector<std::wstring> log = window->EraseLogLines();
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(log[log.size() - 3], L"処理数:2ファイル");
    Click(window->FinishButton);
    EXPECT_TRUE(CloseWindow()) << "after the run the window closes";
}

}  // namespace
