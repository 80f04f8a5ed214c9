// The main window's frame at work: the mode selector, the status bar, the lock used while
// jobs run, window states, system commands and closing.

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "app/Application.h"
#include "app/HandOver.h"
#include "app/MainWindow.h"
#include "common/Assertions.h"
#include "common/Types.h"
#include "diagnostics/LogWindow.h"
#include "dialogs/OsterlanActionImages.h"
#include "notify/SSTP.h"
#include "profiles/UsersWindow.h"
#include "settings/ConfigWindow.h"

namespace {

const wchar_t* const kModeNames[] = {L"Speed", L"Normal", L"High", L"Custom"};
const wchar_t kCloseCaption[] = L"終了の確認";
const wchar_t kCloseText[] = L"未終了のファイルがありますが終了してもよろしいですか？";
const wchar_t kApplyCaption[] = L"適用";
// The class of the settings window, which refuses the close while it shows.
const wchar_t kSettingsWindowClass[] = L"TConfigWindow";

}  // namespace

// --- operations ---

void TMainWindow::ShowEraseMode(bool selectInCombo, bool showInStatus) {
    TConfigWindow* config = application_.Config();
    const int mode = config ? static_cast<int>(config->CurrentEraseMode()) : 0;
    if (mode < 0 || mode > 3) return;
    if (showInStatus) StatusBar.SetText(0, std::wstring(L"モード:") + kModeNames[mode]);
    if (selectInCombo) ModeSelector.Select(mode);
}

void TMainWindow::ApplyDisplaySettings() {
    ShowEraseMode(true, true);
    TConfigWindow* config = application_.Config();
    FileList.SetGridLines(config && config->ShowGrid());
    std::wstring caption = application_.Title();
    if (config && config->ShowUserName()) caption += L" " + ProfileName;
    ::SetWindowTextW(Handle(), caption.c_str());
    FitToolBars();
}

void TMainWindow::FitToolBars() {
    const std::pair<HWND, int> pieces[] = {
        {MainToolBar, 260}, {ModePanel.Handle(), 207}, {HelpToolBar, 77}, {BusyPanel.Handle(), 88}};
    for (const auto& [piece, width] : pieces)
        if (piece) ::SetWindowPos(piece, nullptr, 0, 0, width, 28, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (HWND bar : {MainToolBar, HelpToolBar})
        if (bar) ::SendMessageW(bar, TB_AUTOSIZE, 0, 0);
}

void TMainWindow::ShowOverallProgress(int done, int total) {
    StatusBar.SetText(1, L"全体の経過(" + std::to_wstring(done) + L"/" + std::to_wstring(total) + L")");
    ::SendMessageW(OverallProgress, PBM_SETPOS, static_cast<WPARAM>(done), 0);
}

void TMainWindow::UpdateListActions() {
    const bool rows = FileList.Handle() && FileList.RowCount() > 0;
    for (int id : {Command::StartRun, Command::ClearList, Command::TickAll, Command::UntickAll, Command::RemoveUnticked,
                   Command::RemoveTicked, Command::ExportList})
        Actions[id].SetEnabled(rows);
}

void TMainWindow::LockUserInterface(bool locked) {
    const UINT state = locked ? MF_GRAYED : MF_ENABLED;
    if (MenuBar) {
        const int count = ::GetMenuItemCount(MenuBar);
        for (int i = 0; i < count; ++i) ::EnableMenuItem(MenuBar, i, MF_BYPOSITION | state);
    }
    for (HWND piece : {MainToolBar, HelpToolBar, ModePanel.Handle(), BusyPanel.Handle()})
        if (piece) ::EnableWindow(piece, !locked);
    // Tool bar buttons show the lock too; unlocked, each takes its action's state again.
    for (HWND bar : {MainToolBar, HelpToolBar}) {
        if (!bar) continue;
        const int count = static_cast<int>(::SendMessageW(bar, TB_BUTTONCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            TBBUTTON button{};
            if (!::SendMessageW(bar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button)) ||
                (button.fsStyle & BTNS_SEP))
                continue;
            const ui::Action* action = Actions.Find(button.idCommand - ui::kFirstActionCommand);
            const bool enabled = !locked && (!action || action->Enabled());
            ::SendMessageW(bar, TB_ENABLEBUTTON, static_cast<WPARAM>(button.idCommand), MAKELPARAM(enabled, 0));
        }
    }
    for (HWND window : {Handle(), application_.Handle()}) {
        if (!window) continue;
        if (HMENU system = ::GetSystemMenu(window, FALSE))
            ::EnableMenuItem(system, SC_CLOSE, MF_BYCOMMAND | state);
        ::DrawMenuBar(window);
    }
}

void TMainWindow::SaveWindowState() {
    SavedWindowState = ApplicationMinimized() ? 1 : ::IsZoomed(Handle()) ? 2 : 0;
    if (SavedWindowState != 0) ::SendMessageW(Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
}

void TMainWindow::RestoreWindowState(int state) {
    const WPARAM command = state == 1 ? SC_MINIMIZE : state == 2 ? SC_MAXIMIZE : SC_RESTORE;
    ::SendMessageW(Handle(), WM_SYSCOMMAND, command, 0);
}

bool TMainWindow::SetButtonGlyph(ui::BitmapButton& button, int imageIndex, HIMAGELIST images) {
    if (button.HasGlyph()) return true;
    if (button.SetGlyph(images, imageIndex)) {
        ::InvalidateRect(button.Handle(), nullptr, TRUE);
        return true;
    }
    RaiseAssertion(AssertSite::MainButtonGlyph);
    return false;
}

// --- the mode selector ---

void TMainWindow::SetApplyCaptionPending(bool pending) {
    modeChangePending_ = pending;
    ::SendMessageW(ApplyModeButton, WM_SETFONT,
                   reinterpret_cast<WPARAM>(pending ? windowBoldFont_.get() : windowFont_.get()), TRUE);
    Actions[Command::ApplyMode].SetCaption(kApplyCaption);
    ::InvalidateRect(ApplyModeButton, nullptr, TRUE);
}

void TMainWindow::ModeSelectorChange() { SetApplyCaptionPending(true); }

void TMainWindow::ApplyMode() {
    const int selected = ModeSelector.Selection();
    if (selected < 0 || selected > 3) return;
    SetApplyCaptionPending(false);
    if (TConfigWindow* config = application_.Config()) config->SetEraseMode(static_cast<EraseMode>(selected));
    ShowEraseMode(false, true);
}

// --- actions whose behaviour belongs to other parts: their call sites ---

void TMainWindow::ExitProgram() { ::PostMessageW(Handle(), WM_CLOSE, 0, 0); }

// --- closing ---

bool TMainWindow::SettingsOrProfileWindowOpen() const {
    return ui::FindThreadWindow(kSettingsWindowClass, nullptr, true) ||
           ui::FindThreadWindow(TUsersWindow::kClassName, nullptr, true) || ProfileManagerOpen();
}

bool TMainWindow::MinimizesWithApplication() const {
    return application_.Handle() && application_.MainWindow() == Handle();
}

bool TMainWindow::ApplicationMinimized() const {
    return ::IsIconic(Handle()) || (application_.Handle() && ::IsIconic(application_.Handle()));
}

bool TMainWindow::FormCloseQuery() {
    TConfigWindow* config = application_.Config();
    bool canClose;
    if (SettingsOrProfileWindowOpen()) {
        canClose = false;
    } else if (!config || !config->WarningClose()) {
        canClose = true;
    } else if (FileList.RowCount() == 0) {
        canClose = !ApplicationMinimized();
    } else {
        canClose = ::MessageBoxW(Handle(), kCloseText, kCloseCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
        if (canClose && config->AutoIn()) ExportListForNextStart();
    }
    if (config && config->PowerOffAfterRun()) canClose = true;
    return canClose;
}

void TMainWindow::FormClose() {
    FreeErrorLogWindow();
    application_.FreeConfigWindow();
    notifier_.reset();
    busyAnimation_.reset();
    FileListPopup.reset();
}

// --- messages ---

LRESULT TMainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (ModeSelector.IsSelectionChange(wParam, lParam)) {
            ModeSelectorChange();
            return 0;
        }
        if (Actions.HandleCommand(wParam, lParam)) return 0;
        if (HIWORD(wParam) == BN_CLICKED && lParam) {
            const HWND source = reinterpret_cast<HWND>(lParam);
            if (source == FinishButton) {
                FinishRun();
                return 0;
            }
            if (source == SaveLogButton.Handle()) {
                SaveLog();
                return 0;
            }
            if (source == SaveReportButton.Handle()) {
                SaveReport();
                return 0;
            }
            if (source == EraseAtNextStartButton) {
                MarkFilesForNextStart();
                return 0;
            }
            if (source == OfferFreeSpaceButton) {
                TakeFreeSpaceOffer();
                return 0;
            }
        }
        break;
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (Actions.HandleNotify(lParam, result)) return result;
        if (FileListNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return result;
        break;
    }
    case kRunServiceMessage:
        ServiceRunRequest(wParam != 0);
        return 0;
    case WM_TIMER:
        if (wParam == kRunDisplayTimer) {
            // Only when nothing showed it within the interval (a long file is written). The
            // worker's moments keep to the service clock; this one to the tick count.
            if (::GetTickCount64() - runDisplayShownTick_ >= kRunDisplayIntervalMs) ShowRunDisplay();
            return 0;
        }
        break;
    case WM_DRAWITEM:
        if (ui::BitmapButton::DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
        break;
    case WM_SHOWWINDOW:
        if (wParam) FormShow();
        break;
    case WM_GETMINMAXINFO:
        if (minimumSize_.cx > 0) {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = minimumSize_.cx;
            info->ptMinTrackSize.y = minimumSize_.cy;
            return 0;
        }
        break;
    case WM_SIZE:
        // Minimized other than through its system command (ShowWindow): the program minimizes.
        if (wParam == SIZE_MINIMIZED && MinimizesWithApplication()) application_.Minimize();
        if (StatusBar.Handle()) ::SendMessageW(StatusBar.Handle(), WM_SIZE, 0, 0);
        break;
    case WM_SYSCOMMAND: {
        const WPARAM command = wParam & 0xFFF0;
        // A free-space run can last hours: the window may be minimized, restored and moved meanwhile.
        const bool freeToMove = FreeSpaceRunning() && (command == SC_MINIMIZE || command == SC_RESTORE ||
                                                       command == SC_MOVE || command == SC_KEYMENU);
        if (Busy && !freeToMove) return 0;
        if ((visiblePanel_ == ContentPanel::Tools || visiblePanel_ == ContentPanel::FreeSpace) &&
            (command == SC_MAXIMIZE || command == SC_CLOSE))
            return 0;
        // The application window minimizes for the program; this window hides with it.
        if (command == SC_MINIMIZE && MinimizesWithApplication()) {
            application_.Minimize();
            return 0;
        }
        if (command == SC_RESTORE && MinimizesWithApplication() && application_.Minimized()) {
            application_.Restore();
            return 0;
        }
        break;
    }
    case WM_NCLBUTTONDBLCLK:
        if (visiblePanel_ == ContentPanel::Tools || visiblePanel_ == ContentPanel::FreeSpace) return 0;
        break;
    case WM_DROPFILES:
        FormDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_COPYDATA:
        if (lParam && reinterpret_cast<const COPYDATASTRUCT*>(lParam)->dwData == kRecycleBinHandOverTag)
            return ReceiveRecycleBinHandOver() ? TRUE : FALSE;
        return lParam ? ReceiveHandOver(*reinterpret_cast<const COPYDATASTRUCT*>(lParam)) : kHandOverNotTaken;
    case kHandOverMessage:
        AddHandedOverPaths();
        return 0;
    case kPendingMessage:
        ErasePendingFiles(wParam != 0);
        return 0;
    case WM_CLOSE:
        // A run or a tools job uses the window and the settings until it ends; a modal window
        // of ours (a message box, the about box) returns into them: no close from outside then.
        if (Busy || !::IsWindowEnabled(Handle())) return 0;
        if (FormCloseQuery()) ::DestroyWindow(Handle());
        return 0;
    case WM_QUERYENDSESSION:
        return QueryEndSession() ? TRUE : FALSE;
    case WM_ENDSESSION:
        EndSession(wParam != FALSE);
        return 0;
    case WM_DESTROY:
        UnmarkProgramWindow(Handle());
        FormClose();
        application_.Terminate();
        return 0;
    default:
        break;
    }
    return ui::Window::HandleMessage(message, wParam, lParam);
}
