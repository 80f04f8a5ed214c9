// The switch of page 詳細 that adds the command to Explorer's right-click menu for the copy of
// the program that runs, or removes it where it leads to this copy. It shows the registry as
// it is, not a setting: nothing of it goes to Config.ini, and the defaults leave it alone.

#include <windows.h>

#include "resources/ProductInfo.h"
#include "settings/ConfigWindow.h"
#include "settings/ConfigWindowIds.h"
#include "settings/ExplorerVerb.h"

namespace {

const wchar_t kExplorerVerbText[] = L"エクスプローラの右クリックメニューに追加する";
const wchar_t kExplorerVerbFailed[] = L"エクスプローラの右クリックメニューを変更できませんでした。";

std::wstring RunningProgram() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return L"";
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

const std::wstring& TConfigWindow::ExplorerVerbProgram() {
    if (explorerVerbProgram_.empty()) explorerVerbProgram_ = RunningProgram();
    return explorerVerbProgram_;
}

void TConfigWindow::CreateExplorerVerbCheck(HWND page) {
    // Over the details picture's lower left, inside its coloured band and clear of the banner.
    explorerVerbCheck_ = AddChild(page, L"BUTTON", kExplorerVerbText,
                                  BS_AUTOCHECKBOX | BS_MULTILINE | WS_TABSTOP | WS_CLIPSIBLINGS, 8,
                                  kDetailsHeight - 14 - 34, 160, 34, IDC_CONFIG_EXPLORER_VERB);
    ::SetWindowPos(explorerVerbCheck_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TConfigWindow::ShowExplorerVerb() {
    if (!explorerVerbCheck_) return;
    const bool ours = ExplorerVerbPointsAt(ExplorerVerbProgram());
    ::SendMessageW(explorerVerbCheck_, BM_SETCHECK, ours ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TConfigWindow::ExplorerVerbClick() {
    const bool add = ::SendMessageW(explorerVerbCheck_, BM_GETCHECK, 0, 0) == BST_CHECKED;
    const std::wstring& program = ExplorerVerbProgram();
    const bool done = !program.empty() && (add ? RegisterExplorerVerb(program) : RemoveExplorerVerb(program));
    if (!done) ::MessageBoxW(Handle(), kExplorerVerbFailed, kProductTitle, MB_OK | MB_ICONEXCLAMATION);
    ShowExplorerVerb();
}
