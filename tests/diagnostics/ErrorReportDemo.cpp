// Raises two failures through the real error report and keeps the report window open, so
// that it can be looked at (or captured) on a display. Ends after the given number of
// seconds (default 60), or with the window's exit button.

#include <windows.h>
#include <commctrl.h>

#include <cwchar>

#include "common/Assertions.h"
#include "diagnostics/ErrorFunc.h"
#include "diagnostics/LogWindow.h"

int wmain(int argc, wchar_t** argv) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    InstallErrorReport();

    RaiseAssertion(AssertSite::MainListTransfer);
    RaiseAssertion(AssertSite::MainAddFile, L"C:\\データ\\報告書.doc");

    const UINT seconds = argc > 1 ? static_cast<UINT>(std::wcstoul(argv[1], nullptr, 10)) : 60u;
    ::SetTimer(nullptr, 0, seconds * 1000u, nullptr);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == nullptr) break;
        if (IsErrorLogMessage(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    FreeErrorLogWindow();
    return 0;
}
