#include "tests/support/Gui.h"

#include <commctrl.h>

#include <string>

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (condition()) return true;
        if (::GetTickCount64() >= deadline) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

ProgressWindow::ProgressWindow() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    window_ = ::CreateWindowExW(0, L"STATIC", L"progress", WS_OVERLAPPEDWINDOW, 0, 0, 400, 100, nullptr, nullptr,
                                nullptr, nullptr);
    bar_ = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 10, 10, 300, 20, window_, nullptr,
                             nullptr, nullptr);
    label_ = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 320, 10, 60, 20, window_, nullptr, nullptr,
                               nullptr);
    ::SendMessageW(bar_, PBM_SETRANGE32, 0, 100);
}

ProgressWindow::~ProgressWindow() {
    if (window_) ::DestroyWindow(window_);
}

int ProgressWindow::BarPosition() const { return static_cast<int>(::SendMessageW(bar_, PBM_GETPOS, 0, 0)); }

std::wstring ProgressWindow::LabelText() const {
    wchar_t text[64] = {};
    ::GetWindowTextW(label_, text, 64);
    return text;
}
