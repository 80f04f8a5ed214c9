// Shows the main window in one of its states, for looking at it (or capturing it) on a
// display:  main_window_demo start|chooser|locked [seconds]
//   start    the window after start-up, with three files listed
//   chooser  the profile chooser at start (three profiles)
//   locked   a run in progress: the erase panel, with the interface locked
// Profiles live in a temporary program folder, removed at the end.

#include <windows.h>
#include <commctrl.h>

#include <cwchar>
#include <string>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "diagnostics/ErrorFunc.h"
#include "tests/support/TempFolder.h"

namespace {

void CALLBACK EndDemo(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    // The chooser may still be up: closing it leaves no profile and the program ends.
    if (HWND chooser = ::FindWindowW(L"TNewUserWindow", nullptr)) ::PostMessageW(chooser, WM_CLOSE, 0, 0);
    Application().Terminate();
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

    const wchar_t* const rows[][4] = {
        {L"報告書.doc", L"DOC", L"24,576", L"C:\\文書\\報告書.doc"},
        {L"写真.jpg", L"JPG", L"1,048,576", L"C:\\画像\\写真.jpg"},
        {L"memo", L"ファイル", L"512", L"C:\\memo"},
    };
    for (const auto& row : rows) {
        wchar_t size[64];
        std::swprintf(size, 64, L"%40ls", row[2]);
        window.FileList.AddRow({L"", row[0], row[1], size, row[3]}, true);
    }
    window.UpdateListActions();
    if (mode == L"locked") {
        window.ShowContentPanel(TMainWindow::ContentPanel::Running);
        window.LockUserInterface(true);
        ::SetWindowTextW(window.Label2, L"C:\\文書\\報告書.doc");
        ::SetWindowTextW(window.Label3, L"42%");
        ::SendMessageW(window.ProgressBar1, PBM_SETPOS, 42, 0);
        window.ShowOverallProgress(1, 3);
    }
    application.Run();
    return 0;
}
