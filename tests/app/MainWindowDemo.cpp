// Shows the main window in one of its states, for looking at it (or capturing it) on a
// display:  main_window_demo start|chooser|locked [seconds]
//   start    the window after start-up, with three real files listed
//   chooser  the profile chooser at start (three profiles)
//   locked   the erase panel with the interface locked, without a run
//   running  a real run in progress over the listed files and a large one: the erase panel
//   result   a real run over the listed files, ended: the result panel with its log
//   help     the help command with the built help file beside the program: the help viewer
//   tools    the history tools panel with cookies and cache ticked
//   tools-running  a real run of the history tools over a large file in the prefix's cookie
//            folder (under "tm-demo", which the run destroys)
// Profiles live in a temporary program folder, removed at the end.

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cwchar>
#include <functional>
#include <string>
#include <utility>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "diagnostics/ErrorFunc.h"
#include "engine/EraseFunc.h"
#include "tests/support/Gui.h"
#include "tests/support/TempFolder.h"
#include "ui/Action.h"
#include "ui/MessagePump.h"

namespace {

void CALLBACK EndDemo(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    // The chooser may still be up: closing it leaves no profile and the program ends.
    if (HWND chooser = ::FindWindowW(L"TNewUserWindow", nullptr)) ::PostMessageW(chooser, WM_CLOSE, 0, 0);
    Application().Terminate();
}

TMainWindow* g_window = nullptr;

// Presses Start and answers its question with Yes; the run goes on inside this call.
void CALLBACK StartRun(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    DialogAnswerer yes(L"確認", IDYES);
    ::SendMessageW(g_window->Handle(), WM_COMMAND, MAKEWPARAM(ui::kFirstActionCommand + Command::StartRun, 0), 0);
}

// Presses the tools panel's run button and answers its question with Yes.
void CALLBACK StartToolsRun(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    DialogAnswerer yes(L"確認", IDYES);
    ::SendMessageW(g_window->RunToolsButton, BM_CLICK, 0, 0);
}

// Holds the run once the file shown passes `percent`, keeping the window alive, so that a
// capture taken seconds later still finds the run at work: the engine is faster than that.
std::function<void(int)> HoldOnceAt(int percent) {
    return [percent, held = false](int shown) mutable {
        if (held || shown < percent || shown >= 100) return;
        held = true;
        const ULONGLONG until = ::GetTickCount64() + 20000;
        while (::GetTickCount64() < until && !Application().Terminated()) {
            ui::ProcessMessages();
            ::Sleep(20);
        }
    };
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"start";
    const UINT seconds = argc > 2 ? static_cast<UINT>(std::wcstoul(argv[2], nullptr, 10)) : 30u;
    InstallErrorReport();

    TempFolder folder;
    ::CreateDirectoryW((folder / L"User").c_str(), nullptr);
    ::CreateDirectoryW((folder / L"User\\DefaultUser").c_str(), nullptr);
    if (mode == L"chooser") {
        ::CreateDirectoryW((folder / L"User\\Archive").c_str(), nullptr);
        ::CreateDirectoryW((folder / L"User\\Zeta").c_str(), nullptr);
    }

    TApplication& application = Application();
    if (!application.Initialize()) return 1;
    ::SetTimer(nullptr, 0, seconds * 1000u, EndDemo);

    TMainWindow window(application, folder.Path());
    if (!window.Create(application.Handle(), SW_SHOWNORMAL)) return 1;
    application.SetMainWindow(window.Handle());
    if (application.Terminated()) return 0;

    // Three real files in the temporary folder, listed through the add gate.
    ::CreateDirectoryW((folder / L"文書").c_str(), nullptr);
    const std::pair<const wchar_t*, std::size_t> files[] = {
        {L"文書\\報告書.doc", 24576}, {L"文書\\写真.jpg", 1048576}, {L"文書\\memo", 512}};
    for (const auto& [name, size] : files) {
        WriteBytes(folder / name, std::string(size, 'x'));
        window.AddFileToList(folder / name, false, false);
    }
    if (mode == L"locked") {
        window.ShowContentPanel(TMainWindow::ContentPanel::Running);
        window.LockUserInterface(true);
        ::SetWindowTextW(window.CurrentFileLabel, L"C:\\文書\\報告書.doc");
        ::SetWindowTextW(window.PercentLabel, L"42%");
        ::SendMessageW(window.FileProgress, PBM_SETPOS, 42, 0);
        window.ShowOverallProgress(1, 3);
    }
    if (mode == L"running" || mode == L"result") {
        if (mode == L"running") {
            WriteBytes(folder / L"文書\\大きなファイル.bin", std::string(96u << 20, 'x'));
            window.AddFileToList(folder / L"文書\\大きなファイル.bin", false, false);
        }
        SetEraseEnvironment({&window.AbortRequested, ui::ProcessMessages, HoldOnceAt(40)});
        g_window = &window;
        ::SetTimer(nullptr, 0, 500, StartRun);
    }
    if (mode == L"help") {
        // The help file the build made, beside the (temporary) program folder.
        wchar_t self[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring built = self;
        built = built.substr(0, built.find_last_of(L'\\') + 1) + L"TIDEMARROW32 SE.chm";
        ::CopyFileW(built.c_str(), window.HelpFilePath().c_str(), FALSE);
        ::SendMessageW(window.Handle(), WM_COMMAND, MAKEWPARAM(ui::kFirstActionCommand + Command::ShowHelp, 0), 0);
    }
    if (mode == L"tools" || mode == L"tools-running") {
        ::SendMessageW(window.Handle(), WM_COMMAND, MAKEWPARAM(ui::kFirstActionCommand + Command::OpenHistoryTools, 0),
                       0);
        window.TraceList.SetTicked(1, true);
        window.TraceList.SetTicked(2, true);
        if (mode == L"tools") ::SendMessageW(window.PreviewTracesButton, BM_CLICK, 0, 0);  // "内容" filled
    }
    if (mode == L"tools-running") {
        wchar_t cookies[MAX_PATH + 1] = {};
        ::SHGetSpecialFolderPathW(nullptr, cookies, CSIDL_COOKIES, FALSE);
        const std::wstring demo = std::wstring(cookies) + L"\\tm-demo";
        ::CreateDirectoryW(demo.c_str(), nullptr);
        WriteBytes(demo + L"\\大きなクッキー.bin", std::string(96u << 20, 'x'));
        SetEraseEnvironment({&window.AbortRequested, ui::ProcessMessages, HoldOnceAt(40)});
        g_window = &window;
        ::SetTimer(nullptr, 0, 500, StartToolsRun);
    }
    if (mode == L"freespace") {  // the panel only; no run starts
        ::SendMessageW(window.Handle(), WM_COMMAND, MAKEWPARAM(ui::kFirstActionCommand + Command::OpenFreeSpace, 0), 0);
        ListView_SetItemState(window.FreeSpaceDrives, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    application.Run();
    return 0;
}
