// The free-space erase panel: the fixed drives with their free space (or a folder of the
// user's choice, or the drives a run's result offered, filled one after another), the level,
// the note on what the run does, the run with its progress, Stop and the result line; and the
// check for what an earlier run left behind.

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "common/Assertions.h"
#include "engine/FreeSpace.h"
#include "settings/ConfigWindow.h"
#include "ui/Subclass.h"

namespace {

const wchar_t kTitle[] = L"空き領域の抹消";
const wchar_t kDrivesLabel[] = L"対象ドライブ(&D):";
const wchar_t kChooseFolderText[] = L"フォルダを選択(&O)...";
const wchar_t kLevelLabel[] = L"抹消レベル(&L):";
const wchar_t* const kLevelNames[] = {L"Speed (0x0000 を 1 回)", L"Normal (0xFFFE, 0x0000)",
                                      L"High (0xFFFE, 0x0000, 乱数)"};
const wchar_t kNote[] =
    L"空き領域を 1 回書くのと同じ時間がパスごとに掛かります。その間ドライブは満杯になります。"
    L"空きがなくなると Windows が復元ポイント (以前のバージョン) を消すことがあり、その中のデータには届きません。"
    L"SSD やフラッシュメモリでは、ドライブの予備ブロックは上書きできません。";
const wchar_t kHelpLink[] = L"<a>できないことについてはヘルプを参照</a>";
const wchar_t kHelpButtonText[] = L"できないこと (ヘルプ)...";
const wchar_t kStartText[] = L"開始";
const wchar_t kStopText[] = L"中止";
const wchar_t kCloseText[] = L"このウインドウを閉じる";
const wchar_t kConfirmCaption[] = L"確認";
const wchar_t kConfirmText[] = L"の空き領域を上書きします。\r\n処理を開始してよろしいですか？";
const wchar_t kLeftoverCaption[] = L"空き領域の抹消";
const wchar_t kTargetSeparator[] = L"、";

std::wstring JoinTargets(const std::vector<std::wstring>& targets) {
    std::wstring text;
    for (const std::wstring& target : targets) text += (text.empty() ? L"" : kTargetSeparator) + target;
    return text;
}

// What became of one run, as the result line says it.
std::wstring FreeSpaceResultLine(const FreeSpaceResult& result, bool failed) {
    std::wstring line;
    if (result.overwritten)
        line = L"空き領域 " + FreeSpaceBytesText(result.filled) + L" を上書きしました。" +
               (result.recordStepRan ? L"ファイルレコード " + std::to_wstring(result.recordFiles) + L" 個も上書きしました (" +
                                            std::to_wstring(result.recordBytes) + L" バイトずつ)。"
                                     : std::wstring(L"ファイルレコードの上書きは行われませんでした。"));
    else if (result.stopped)
        line = L"中止しました。";
    else
        line = L"空き領域を上書きできませんでした。" + result.message;
    if (!result.cleanedUp && !failed) line += L" 作業ファイルが残っています: " + result.leftover;
    return line;
}

constexpr UINT_PTR kFreeSpacePanelSubclass = 13;

}  // namespace

// --- building ---

void TMainWindow::BuildFreeSpacePanel() {
    // In place of the list, as the other panels.
    const int top = contentTop_, w = kClientWidth, h = contentHeight_;
    if (!FreeSpacePanel.Create(Handle(), IDC_FREESPACE_PANEL, 0, top, w, h)) throw std::runtime_error("FreeSpacePanel");
    HWND panel = FreeSpacePanel.Handle();
    HWND title = AddChild(panel, L"STATIC", kTitle, SS_LEFT, 16, 10, 300, 18);
    ::SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(windowBoldFont_.get()), FALSE);

    AddChild(panel, L"STATIC", kDrivesLabel, SS_LEFT, 16, 36, 200, 16);
    FreeSpaceDrives = AddChild(panel, WC_LISTVIEWW, L"",
                               WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER, 16, 54,
                               w - 32 - 172, 104, IDC_FREESPACE_DRIVES, WS_EX_CLIENTEDGE);
    ListView_SetExtendedListViewStyle(FreeSpaceDrives, LVS_EX_FULLROWSELECT);
    const std::pair<const wchar_t*, int> columns[] = {{L"ドライブ", 90}, {L"空き領域", 110}, {L"容量", 110},
                                                      {L"ファイルシステム", 120}};
    for (int i = 0; i < 4; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = columns[i].second;
        column.pszText = const_cast<wchar_t*>(columns[i].first);
        ListView_InsertColumn(FreeSpaceDrives, i, &column);
    }
    ChooseFreeSpaceFolderButton = AddChild(panel, L"BUTTON", kChooseFolderText, WS_TABSTOP | BS_PUSHBUTTON, w - 16 - 164,
                                           54, 164, 28, IDC_CHOOSE_FREESPACE_FOLDER);
    FreeSpaceFolderLabel = AddChild(panel, L"STATIC", L"", SS_LEFT | SS_PATHELLIPSIS, 16, 164, w - 32, 16,
                                    IDC_FREESPACE_FOLDER);

    AddChild(panel, L"STATIC", kLevelLabel, SS_LEFT, 16, 190, 110, 16);
    FreeSpaceLevel = AddChild(panel, WC_COMBOBOXW, L"", WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, 130, 186, 220, 120,
                              IDC_FREESPACE_LEVEL);
    for (const wchar_t* name : kLevelNames)
        ::SendMessageW(FreeSpaceLevel, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    ::SendMessageW(FreeSpaceLevel, CB_SETCURSEL, 0, 0);

    FreeSpaceNote = AddChild(panel, L"STATIC", kNote, SS_LEFT, 16, 214, w - 32, 48, IDC_FREESPACE_NOTE);
    // The link control needs its class registered (and version 6 of the controls); without it
    // a push button opens the same page.
    INITCOMMONCONTROLSEX linkClass{sizeof linkClass, ICC_LINK_CLASS};
    ::InitCommonControlsEx(&linkClass);
    FreeSpaceHelpLink = ::CreateWindowExW(0, WC_LINK, kHelpLink, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 16, 264, 300, 16,
                                          panel, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_FREESPACE_HELP_LINK)),
                                          ::GetModuleHandleW(nullptr), nullptr);
    if (FreeSpaceHelpLink)
        ::SendMessageW(FreeSpaceHelpLink, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_.get()), FALSE);
    else
        FreeSpaceHelpLink = AddChild(panel, L"BUTTON", kHelpButtonText, WS_TABSTOP | BS_PUSHBUTTON, 16, 262, 240, 22,
                                     IDC_FREESPACE_HELP_LINK);

    FreeSpaceProgress = AddChild(panel, PROGRESS_CLASSW, L"", 0, 16, 288, w - 32, 16, IDC_FREESPACE_PROGRESS);
    ::SendMessageW(FreeSpaceProgress, PBM_SETRANGE32, 0, 1000);
    FreeSpaceStatus = AddChild(panel, L"STATIC", L"", SS_LEFT, 16, 308, w - 32, 16, IDC_FREESPACE_STATUS);
    FreeSpaceResultLabel = AddChild(panel, L"STATIC", L"", SS_LEFT, 16, 326, w - 32, 32, IDC_FREESPACE_RESULT);

    StartFreeSpaceButton = AddChild(panel, L"BUTTON", kStartText, WS_TABSTOP | BS_PUSHBUTTON, w - 3 * 168 - 4, h - 38,
                                    164, 30, IDC_START_FREESPACE);
    StopFreeSpaceButton = AddChild(panel, L"BUTTON", kStopText, WS_TABSTOP | BS_PUSHBUTTON, w - 2 * 168 - 4, h - 38, 164,
                                   30, IDC_STOP_FREESPACE);
    CloseFreeSpaceButton = AddChild(panel, L"BUTTON", kCloseText, WS_TABSTOP | BS_PUSHBUTTON, w - 168 - 4, h - 38, 164,
                                    30, IDC_CLOSE_FREESPACE);
    ::EnableWindow(StopFreeSpaceButton, FALSE);
    ui::SetSubclass(Handle(), FreeSpacePanelProc, kFreeSpacePanelSubclass, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK TMainWindow::FreeSpacePanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                 DWORD_PTR self) {
    auto* window = reinterpret_cast<TMainWindow*>(self);
    try {
        switch (message) {
        case WM_COMMAND:
            if (lParam && HIWORD(wParam) == BN_CLICKED) {
                const HWND source = reinterpret_cast<HWND>(lParam);
                if (source == window->StartFreeSpaceButton) return window->StartFreeSpace(), 0;
                if (source == window->StopFreeSpaceButton) return window->StopFreeSpace(), 0;
                if (source == window->CloseFreeSpaceButton) return window->CloseFreeSpace(), 0;
                if (source == window->ChooseFreeSpaceFolderButton) return window->ChooseFreeSpaceFolder(), 0;
                if (source == window->FreeSpaceHelpLink) return window->ShowHelp(), 0;
            }
            break;
        case WM_NOTIFY: {
            const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
            if (header.hwndFrom == window->FreeSpaceHelpLink && (header.code == NM_CLICK || header.code == NM_RETURN)) {
                window->ShowHelp();
                return 0;
            }
            if (header.hwndFrom == window->FreeSpaceDrives && header.code == LVN_ITEMCHANGED) {
                const auto& change = *reinterpret_cast<const NMLISTVIEW*>(lParam);
                if ((change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_SELECTED)) {
                    window->freeSpaceFolder_.clear();
                    window->freeSpaceQueue_.clear();
                }
                window->ShowFreeSpaceTarget();
                return 0;
            }
            break;
        }
        case WM_NCDESTROY:
            ui::RemoveSubclass(hwnd, FreeSpacePanelProc, kFreeSpacePanelSubclass);
            break;
        default:
            break;
        }
    } catch (...) {
        // Nothing leaves a handler.
    }
    return ui::DefSubclass(hwnd, message, wParam, lParam);
}

// --- the target ---

void TMainWindow::ListFreeSpaceDrives() {
    ListView_DeleteAllItems(FreeSpaceDrives);
    wchar_t drives[256] = {};
    const DWORD length = ::GetLogicalDriveStringsW(255, drives);
    int row = 0;
    for (const wchar_t* drive = drives; length && length < 255 && *drive; drive += wcslen(drive) + 1) {
        if (::GetDriveTypeW(drive) != DRIVE_FIXED) continue;
        ULARGE_INTEGER available{}, total{}, free{};
        if (!::GetDiskFreeSpaceExW(drive, &available, &total, &free)) continue;
        wchar_t system[MAX_PATH + 1] = {};
        ::GetVolumeInformationW(drive, nullptr, 0, nullptr, nullptr, nullptr, system, MAX_PATH + 1);
        const std::wstring texts[] = {drive, FreeSpaceBytesText(static_cast<std::int64_t>(free.QuadPart)),
                                      FreeSpaceBytesText(static_cast<std::int64_t>(total.QuadPart)), system};
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<wchar_t*>(texts[0].c_str());
        ListView_InsertItem(FreeSpaceDrives, &item);
        for (int column = 1; column < 4; ++column)
            ListView_SetItemText(FreeSpaceDrives, row, column, const_cast<wchar_t*>(texts[column].c_str()));
        ++row;
    }
}

std::vector<std::wstring> TMainWindow::FreeSpaceTargets() const {
    if (!freeSpaceQueue_.empty()) return freeSpaceQueue_;
    if (!freeSpaceFolder_.empty()) return {freeSpaceFolder_};
    const int row = ListView_GetNextItem(FreeSpaceDrives, -1, LVNI_SELECTED);
    if (row < 0) return {};
    wchar_t drive[MAX_PATH] = {};
    ListView_GetItemText(FreeSpaceDrives, row, 0, drive, MAX_PATH);
    return {drive};
}

void TMainWindow::SetFreeSpaceFolder(const std::wstring& folder) {
    ListView_SetItemState(FreeSpaceDrives, -1, 0, LVIS_SELECTED);
    freeSpaceQueue_.clear();
    freeSpaceFolder_ = folder;
    ShowFreeSpaceTarget();
}

void TMainWindow::ShowFreeSpaceTarget() {
    const std::wstring targets = JoinTargets(FreeSpaceTargets());
    ::SetWindowTextW(FreeSpaceFolderLabel, targets.empty() ? L"" : (L"作業フォルダの場所: " + targets).c_str());
    ::EnableWindow(StartFreeSpaceButton, !targets.empty() && !FreeSpaceRunning());
}

void TMainWindow::ChooseFreeSpaceFolder() {
    BROWSEINFOW browse{};
    browse.hwndOwner = Handle();
    browse.lpszTitle = L"作業ファイルを作るフォルダを選んでください (そのフォルダのあるドライブの空き領域が上書きされます)";
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&browse);
    if (!chosen) return;
    wchar_t path[MAX_PATH] = {};
    const bool named = ::SHGetPathFromIDListW(chosen, path) != FALSE;
    ::CoTaskMemFree(chosen);
    if (named) SetFreeSpaceFolder(path);
}

// --- opening and closing ---

void TMainWindow::OpenFreeSpace() {
    SaveWindowState();
    ShowContentPanel(ContentPanel::FreeSpace);
    LockUserInterface(true);
    freeSpaceFolder_.clear();
    freeSpaceQueue_.clear();
    ListFreeSpaceDrives();
    ::SetWindowTextW(FreeSpaceStatus, L"");
    ::SetWindowTextW(FreeSpaceResultLabel, L"");
    ::SendMessageW(FreeSpaceProgress, PBM_SETPOS, 0, 0);
    ShowFreeSpaceTarget();
    ::SetFocus(FreeSpaceDrives);
}

void TMainWindow::OpenFreeSpaceFor(const std::vector<std::wstring>& drives, EraseLevel level) {
    OpenFreeSpace();
    freeSpaceQueue_ = drives;
    ::SendMessageW(FreeSpaceLevel, CB_SETCURSEL, static_cast<WPARAM>(level), 0);
    ShowFreeSpaceTarget();
    ::SetFocus(StartFreeSpaceButton);
}

void TMainWindow::CloseFreeSpace() {
    if (FreeSpaceRunning()) return;
    // The panel goes first: a maximize is refused while it shows.
    ::ShowWindow(FreeSpacePanel.Handle(), SW_HIDE);
    visiblePanel_ = ContentPanel::List;
    if (SavedWindowState != 0) RestoreWindowState(SavedWindowState);
    LockUserInterface(false);
    ShowContentPanel(ContentPanel::List);
}

// --- the run ---

bool TMainWindow::FreeSpaceRunning() const { return freeSpaceJob_ && freeSpaceJob_->Running(); }

void TMainWindow::StopFreeSpace() { AbortRequested = true; }

void TMainWindow::StopFreeSpaceAndCleanUp() {
    if (!FreeSpaceRunning()) return;
    AbortRequested = true;  // no later target of a queue is begun
    freeSpaceJob_->StopAndCleanUpNow();
}

// The record shared with every profile and with tmerase.
std::wstring TMainWindow::FreeSpaceRecordFile() const { return ConsoleFreeSpaceRecord(); }

void TMainWindow::StartFreeSpace() {
    const std::vector<std::wstring> targets = FreeSpaceTargets();
    if (targets.empty() || FreeSpaceRunning() || Busy) return;
    if (::MessageBoxW(Handle(), (JoinTargets(targets) + kConfirmText).c_str(), kConfirmCaption,
                      MB_YESNO | MB_ICONWARNING) != IDYES)
        return;
    const auto level = static_cast<EraseLevel>(
        std::max<LRESULT>(0, ::SendMessageW(FreeSpaceLevel, CB_GETCURSEL, 0, 0)));
    // Several targets go one after another; each line then begins with its target.
    const bool queue = targets.size() > 1;
    bool failed = false;
    bool overwritten = false;
    std::vector<std::wstring> lines;  // of the targets finished
    FreeSpaceResult result;           // of the target under way
    // The disk is full while the run works: the session may not end under it.
    std::optional<WritingJob> writing;
    try {
        writing.emplace(*this);
        AbortRequested = false;
        Busy = true;
        for (HWND control : {StartFreeSpaceButton, CloseFreeSpaceButton, ChooseFreeSpaceFolderButton, FreeSpaceDrives,
                             FreeSpaceLevel})
            ::EnableWindow(control, FALSE);
        ::EnableWindow(StopFreeSpaceButton, TRUE);
        ::SetWindowTextW(FreeSpaceResultLabel, L"");
        for (const std::wstring& target : targets) {
            result = FreeSpaceResult{};
            if (AbortRequested) {
                // A Stop ends the whole queue: the targets after it are not begun.
                result.stopped = result.cleanedUp = true;
                lines.push_back(FreeSpaceResultLine(result, false));
                continue;
            }
            const std::wstring lead =
                queue ? target + L" (" + std::to_wstring(lines.size() + 1) + L"/" + std::to_wstring(targets.size()) + L"): "
                      : std::wstring();
            ::SendMessageW(FreeSpaceProgress, PBM_SETPOS, 0, 0);
            freeSpaceJob_ = std::make_unique<FreeSpaceJob>(target, level, FreeSpaceRecordFile());
            const ULONGLONG start = ::GetTickCount64();
            std::wstring shown;
            freeSpaceJob_->progress = [&](const ::FreeSpaceProgress& progress) {
                std::wstring text = lead;
                if (progress.stage == ::FreeSpaceProgress::CleaningUp) {
                    const std::int64_t total = std::max<std::int64_t>(progress.toClean, 1);
                    ::SendMessageW(FreeSpaceProgress, PBM_SETPOS,
                                   static_cast<WPARAM>(std::min<std::int64_t>(1000, progress.cleaned * 1000 / total)), 0);
                    text += L"作業ファイルを削除しています: " + std::to_wstring(progress.cleaned) + L" / " +
                            std::to_wstring(progress.toClean) + L" 個";
                } else if (progress.stage == ::FreeSpaceProgress::Records) {
                    text += L"ファイルレコードを上書きしています: " + std::to_wstring(progress.recordFiles) + L" 個";
                } else {
                    const std::int64_t total = std::max<std::int64_t>(progress.total, 1);
                    const auto permille = std::min<std::int64_t>(1000, progress.written * 1000 / total);
                    ::SendMessageW(FreeSpaceProgress, PBM_SETPOS, static_cast<WPARAM>(permille), 0);
                    text += FreeSpaceBytesText(progress.written) + L" / " + FreeSpaceBytesText(progress.total) +
                            L" 書き込み済み";
                    const ULONGLONG elapsed = ::GetTickCount64() - start;
                    if (progress.written > 0 && progress.written < progress.total && elapsed >= 2000)
                        text += L"　残り約 " + FreeSpaceTimeText(static_cast<ULONGLONG>(
                                                   static_cast<double>(elapsed) / 1000.0 *
                                                   static_cast<double>(progress.total - progress.written) /
                                                   static_cast<double>(progress.written)));
                }
                if (text != shown) ::SetWindowTextW(FreeSpaceStatus, (shown = text).c_str());
            };
            result = freeSpaceJob_->Run();
            freeSpaceJob_.reset();
            overwritten = overwritten || result.overwritten;
            lines.push_back(FreeSpaceResultLine(result, false));
        }
    } catch (...) {
        failed = true;
    }

    // However the run ended.
    try {
        if (lines.size() < targets.size()) lines.push_back(FreeSpaceResultLine(result, failed));
        std::wstring text;
        for (std::size_t i = 0; i < lines.size(); ++i)
            text += queue ? (i ? L"\r\n" : L"") + targets[i] + L": " + lines[i] : lines[i];
        ::SetWindowTextW(FreeSpaceResultLabel, text.c_str());
        if (result.overwritten) ::SendMessageW(FreeSpaceProgress, PBM_SETPOS, 1000, 0);
        ::EnableWindow(StopFreeSpaceButton, FALSE);
        for (HWND control : {CloseFreeSpaceButton, ChooseFreeSpaceFolderButton, FreeSpaceDrives, FreeSpaceLevel})
            ::EnableWindow(control, TRUE);
        freeSpaceJob_.reset();
        writing.reset();  // the fill is gone: the session may end again
        ListFreeSpaceDrives();
        ShowFreeSpaceTarget();
        if (overwritten)
            if (TConfigWindow* config = application_.Config()) config->PlayCompletionSound();
    } catch (...) {
        failed = true;
    }
    AbortRequested = false;
    Busy = false;
    if (failed) RaiseAssertion(AssertSite::MainRunUnknown);
}

// --- what an earlier run left ---

void TMainWindow::CheckFreeSpaceLeftovers() {
    // Earlier versions kept the record in the profile; its lines move to the shared one.
    if (TConfigWindow* config = application_.Config())
        MoveFreeSpaceRecord(config->ProfileFolder() + L"\\Savedat\\FreeSpace.txt", FreeSpaceRecordFile());
    std::wstring text;
    for (const auto& leftover : CleanUpFreeSpaceLeftovers(FreeSpaceRecordFile())) {
        if (leftover.inUse) continue;
        text += (leftover.removed ? L"前回の空き領域の抹消の残りを削除しました: "
                                  : L"前回の空き領域の抹消の残りを削除できませんでした: ") +
                leftover.folder + L"\r\n";
    }
    if (!text.empty()) ::MessageBoxW(Handle(), text.c_str(), kLeftoverCaption, MB_OK | MB_ICONINFORMATION);
}
