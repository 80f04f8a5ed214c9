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

void TApplication::Minimize() {
    if (!Handle()) return;
    if (::IsIconic(Handle()))
        FollowWindowState();
    else
        ::ShowWindow(Handle(), SW_MINIMIZE);
}

void TApplication::Restore() {
    if (!Handle()) return;
    if (::IsIconic(Handle()))
        ::ShowWindow(Handle(), SW_RESTORE);
    else
        FollowWindowState();
}

bool TApplication::Minimized() const { return Handle() && ::IsIconic(Handle()); }

void TApplication::FollowWindowState() {
    if (!mainWindow_ || !::IsWindow(mainWindow_)) return;
    if (::IsIconic(Handle())) {
        if (!::IsWindowVisible(mainWindow_)) return;
        mainHidden_ = true;
        // The windows it shows over itself (a message box, the settings window) hide with it.
        ::ShowOwnedPopups(mainWindow_, FALSE);
        ::ShowWindow(mainWindow_, SW_HIDE);
    } else if (mainHidden_ && ::IsWindowVisible(Handle())) {
        mainHidden_ = false;
        // A main window minimized on its own comes back from that too.
        ::ShowWindow(mainWindow_, ::IsIconic(mainWindow_) ? SW_RESTORE : SW_SHOW);
        ::ShowOwnedPopups(mainWindow_, TRUE);
    }
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
        case WM_QUERYENDSESSION:
        case WM_ENDSESSION:
            // The main window decides and saves, whichever of the two the system asks first.
            if (mainWindow_ && ::IsWindow(mainWindow_))
                return ::SendMessageW(mainWindow_, message, wParam, lParam);
            return message == WM_QUERYENDSESSION ? TRUE : 0;
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_MINIMIZE:
                    // The taskbar button: the main window's rules for its system commands decide.
                    if (mainWindow_ && ::IsWindow(mainWindow_)) {
                        ::SendMessageW(mainWindow_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
                        return 0;
                    }
                    break;
                case SC_RESTORE:
                    Restore();
                    return 0;
                default:
                    break;
            }
            break;
        case WM_WINDOWPOSCHANGED:
            // Every way in or out of the minimized state (ShowWindow included) passes here.
            FollowWindowState();
            break;
        case WM_ACTIVATE:
            // Switching to the program (Alt+Tab) while its main window is hidden brings it back.
            if (LOWORD(wParam) != WA_INACTIVE && !::IsIconic(Handle())) FollowWindowState();
            break;
        case WM_SETFOCUS:
            // Focus goes to the window the application last had active.
            if (HWND popup = ::GetLastActivePopup(Handle()); popup && popup != Handle()) ::SetFocus(popup);
            return 0;
        default:
            break;
    }
    return ui::Window::HandleMessage(message, wParam, lParam);
}
