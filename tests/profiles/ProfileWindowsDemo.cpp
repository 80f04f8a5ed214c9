// Shows the profile chooser ("chooser") or the profile manager ("manager") over a few
// profiles in a temporary folder, so that the window can be looked at or captured on a
// display. The window closes after the given number of seconds (default 60).

#include <windows.h>
#include <commctrl.h>

#include <cwchar>
#include <string>

#include "profiles/NewUserWindow.h"
#include "profiles/ProfileIds.h"
#include "profiles/UsersWindow.h"
#include "tests/support/TempFolder.h"

namespace {

HWND g_window = nullptr;
int g_closeButton = 0;
bool g_manager = false;
int g_ticks = 0;
UINT g_ticksToClose = 0;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (!g_window) return;
    if (++g_ticks == 2 && g_manager) {
        // A ticked row, another one selected and a name being typed, as in use.
        HWND list = ::GetDlgItem(g_window, IDC_USERDLG_USERLIST);
        LVITEMW item{};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(2);
        ::SendMessageW(list, LVM_SETITEMSTATE, 3, reinterpret_cast<LPARAM>(&item));
        ::SetWindowTextW(::GetDlgItem(g_window, IDC_USERDLG_NAME), L"Guest01");
    }
    if (static_cast<UINT>(g_ticks) >= g_ticksToClose)
        ::PostMessageW(g_window, WM_COMMAND, MAKEWPARAM(g_closeButton, BN_CLICKED), 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    const std::wstring which = argc > 1 ? argv[1] : L"chooser";
    const UINT seconds = argc > 2 ? static_cast<UINT>(std::wcstoul(argv[2], nullptr, 10)) : 60u;
    g_ticksToClose = seconds * 4;

    TempFolder program;
    ::CreateDirectoryW((program / L"User").c_str(), nullptr);
    for (const wchar_t* name : {L"Archive", L"Backup", L"Work", L"山田"})
        ::CreateDirectoryW((program / L"User\\" + name).c_str(), nullptr);

    const UINT_PTR timer = ::SetTimer(nullptr, 0, 250, Tick);
    if (which == L"manager") {
        TUsersWindow manager(program.Path());
        if (!manager.Create()) return 1;
        manager.SetCurrentName(L"DefaultUser");
        g_window = manager.Handle();
        g_closeButton = IDC_USERDLG_CLOSE;
        g_manager = true;
        manager.ShowModal();
    } else {
        TNewUserWindow chooser(program.Path());
        if (!chooser.Create()) return 1;
        g_window = chooser.Handle();
        g_closeButton = IDC_NUSER_START;
        chooser.ShowModal();
    }
    ::KillTimer(nullptr, timer);
    return 0;
}
