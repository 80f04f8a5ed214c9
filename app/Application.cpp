#include "app/Application.h"

#include <commctrl.h>
#include <objbase.h>

#include "diagnostics/LogWindow.h"
#include "settings/ConfigWindow.h"
#include "ui/MessagePump.h"

TApplication& Application() {
    static TApplication application;
    return application;
}

TApplication::TApplication() = default;

TApplication::~TApplication() {
    if (Handle() && ErrorLogOwner() == Handle()) SetErrorLogOwner(nullptr);
    FreeConfigWindow();
    if (comInitialized_) ::CoUninitialize();
}

bool TApplication::Initialize() {
    if (Handle()) return true;
    comInitialized_ = SUCCEEDED(::CoInitialize(nullptr));
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_USEREX_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    // A zero-sized window off the screen: it shows nothing but its taskbar button.
    if (!Create(kClassName, title_, WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, 0,
                GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0))
        return false;
    // The error report belongs to the application, as the main window does.
    SetErrorLogOwner(Handle());
    return true;
}

void TApplication::SetTitle(const std::wstring& title) {
    title_ = title;
    if (Handle()) ::SetWindowTextW(Handle(), title_.c_str());
}

void TApplication::SetIcon(HICON icon) {
    icon_ = icon;
    if (Handle()) {
        ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        ::SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
}

void TApplication::ShowTaskbarButton(bool shown) {
    if (Handle()) ::ShowWindow(Handle(), shown ? SW_SHOWNOACTIVATE : SW_HIDE);
}

TConfigWindow& TApplication::CreateConfigWindow() {
    FreeConfigWindow();
    config_ = std::make_unique<TConfigWindow>();
    return *config_;
}

void TApplication::FreeConfigWindow() { config_.reset(); }

int TApplication::Run() {
    MSG msg{};
    while (!terminated_) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            terminated_ = true;
            break;
        }
        if (ui::FilterMessage(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
}

void TApplication::Terminate() {
    if (terminated_) return;
    terminated_ = true;
    ::PostQuitMessage(0);
}

LRESULT TApplication::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            // The taskbar button's Close closes the main window, which decides by its own rules.
            if (mainWindow_ && ::IsWindow(mainWindow_))
                ::PostMessageW(mainWindow_, WM_CLOSE, 0, 0);
            else
                Terminate();
            return 0;
        case WM_SETFOCUS:
            // Focus goes to the window the application last had active.
            if (HWND popup = ::GetLastActivePopup(Handle()); popup && popup != Handle()) ::SetFocus(popup);
            return 0;
        default:
            return ui::Window::HandleMessage(message, wParam, lParam);
    }
}
