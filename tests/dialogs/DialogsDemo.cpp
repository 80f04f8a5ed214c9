// Shows the dialogs module's windows on a display, to look at them or capture them:
//   dialogs_demo about [seconds]   the about box, shown modally
//   dialogs_demo busy [seconds]    a tool panel with the busy animation running
// Ends after the given number of seconds (default 60), or when the window is closed.

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "dialogs/OsterlanActionImages.h"
#include "dialogs/Vdlg.h"
#include "resources/ResourceIds.h"
#include "ui/Gdi.h"

namespace {

TVerdlg* g_box = nullptr;

void CALLBACK EndDemo(HWND, UINT, UINT_PTR, DWORD) {
    if (g_box) g_box->SetModalResult(IDCANCEL);
    ::PostQuitMessage(0);
}

int ShowAbout() {
    TVerdlg box(nullptr);
    if (!box.Created()) return 1;
    g_box = &box;
    box.OpenWebAddress = [](HWND, const std::wstring&) {};
    box.ShowModal();
    g_box = nullptr;
    return 0;
}

// A window standing in for the main window's tool panel: the animation at (4, 4), 77 x 20,
// framed by a bevel at (3, 3), 78 x 21, as the main window places them.
class BusyPanel : public ui::Form {
public:
    bool Make() {
        if (!CreateForm(L"TmBusyPanel", L"TIDEMARROW32 SE", 240, 44, ui::kDialogFormStyle & ~WS_CLIPCHILDREN))
            return false;
        AddControl(L"STATIC", L"処理中:", WS_VISIBLE, 10, 15, 60, 16, 1);
        panel_ = AddControl(L"STATIC", L"", WS_VISIBLE, 80, 8, 88, 28, 2);
        if (!panel_) return false;
        HWND bevel = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SS_SUNKEN, 3, 3,
                                       78, 21, panel_, nullptr, nullptr, nullptr);
        return bevel != nullptr;
    }
    HWND Panel() const { return panel_; }

private:
    HWND panel_ = nullptr;
};

int ShowBusy() {
    BusyPanel window;
    if (!window.Make()) return 1;
    TOsterlanActionImage animation(window.Handle());
    animation.SetInterval(600);
    animation.SetParentWindow(window.Panel());
    animation.SetBounds(4, 4, 77, 20);
    animation.LoadFrames(IDB_BUSY_FIRST, IDB_BUSY_COUNT);
    animation.Start();
    HANDLE icon = ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TIDEMARROW), IMAGE_ICON, 16, 16, 0);
    ::SendMessageW(window.Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    ::ShowWindow(window.Handle(), SW_SHOW);
    MSG msg;
    while (::IsWindowVisible(window.Handle()) && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    animation.Stop();
    if (icon) ::DestroyIcon(static_cast<HICON>(icon));
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    const std::wstring mode = argc > 1 ? argv[1] : L"about";
    const UINT seconds = argc > 2 ? static_cast<UINT>(std::wcstoul(argv[2], nullptr, 10)) : 60u;
    ::LocalFree(argv);
    ::SetTimer(nullptr, 0, seconds * 1000u, EndDemo);
    return mode == L"busy" ? ShowBusy() : ShowAbout();
}
