// The history tools panel: its controls, opening and closing it, the ticks that enable the
// run, and the run itself through the trace eraser.

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "common/Assertions.h"
#include "engine/RecycleBin.h"
#include "history/IeErase.h"
#include "history/TraceRun.h"
#include "settings/ConfigWindow.h"
#include "ui/MessagePump.h"

namespace {

const wchar_t kSelectLabel[] = L"抹消対象を選択(&S):";
const wchar_t kProgressCaption[] = L"進歩状況:";
const wchar_t kWaitText[] = L"処理を実行しています…しばらくお待ち下さい。";
const wchar_t kCloseText[] = L"このウインドウを閉じる";
const wchar_t kRunCaption[] = L"確認";
const wchar_t kRunText[] = L"選択した作業を開始します。ファイル数が多いと時間が掛かる場合があります。\r\n";
const wchar_t kRunQuestion[] = L"処理を開始してよろしいですか？";
const wchar_t kToolsBusyText[] = L"スケジュールによる履歴抹消が実行中のため、開始できませんでした。\r\n"
                                 L"しばらくしてからもう一度お試しください。";
// The Recycle Bin's row: a bit of the row's own, never handed to the trace eraser.
const wchar_t kRecycleBinText[] = L"ごみ箱";
constexpr std::uint16_t kRecycleBinTarget = 0x8000;

// The entries Internet Explorer's part lists first, in their order.
constexpr std::uint16_t kFirstTargets[] = {TIE_ERASE::RecentFiles, TIE_ERASE::Cookies, TIE_ERASE::Cache,
                                           TIE_ERASE::History};

constexpr UINT_PTR kToolsPanelSubclass = 12;

// The run did not start: a scheduled run held the lock past the wait.
struct TraceRunBusy {};

}  // namespace

// --- building ---

void TMainWindow::BuildToolsPanel() {
    HWND tools = Toolspanel.Handle();
    RECT area{};
    ::GetClientRect(tools, &area);
    const int w = ui::Width(area), h = ui::Height(area);
    const int top = 92 + 12;  // below the banner

    SelectTracesLabel = AddChild(tools, L"STATIC", kSelectLabel, SS_LEFT, 16, top, 320, 16, IDC_SELECT_TRACES);
    if (!TraceList.Create(tools, IDC_TRACE_LIST, 16, top + 20, 320, 4 * 22 + 8, LVS_NOCOLUMNHEADER | LVS_SINGLESEL))
        throw std::runtime_error("TraceList");
    ::SendMessageW(TraceList.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(windowBoldFont_.get()), FALSE);
    TraceList.AddColumn(L"", 296);
    ListTraceKinds();

    ToolsProgressGroup = AddChild(tools, L"BUTTON", kProgressCaption, BS_GROUPBOX, 352, top - 4, w - 352 - 16,
                                  4 * 22 + 32, IDC_TOOLS_PROGRESS_GROUP);
    ToolsWaitLabel = AddChild(tools, L"STATIC", kWaitText, SS_LEFT, 368, top + 22, w - 368 - 32, 32, IDC_TOOLS_WAIT);
    ToolsProgress = AddChild(tools, PROGRESS_CLASSW, L"", 0, 368, top + 62, w - 368 - 32, 18, IDC_TOOLS_PROGRESS);
    ::SendMessageW(ToolsProgress, PBM_SETRANGE32, 0, 100);
    ::ShowWindow(ToolsWaitLabel, SW_HIDE);
    ::ShowWindow(ToolsProgress, SW_HIDE);

    // The title over a separator line near the bottom, then the two buttons.
    HWND separator = AddChild(tools, L"STATIC", L"", SS_ETCHEDHORZ, 8, h - 48, w - 16, 2);
    ::SetWindowPos(ToolsTitle, HWND_TOP, 16, h - 56, 200, 16, SWP_NOACTIVATE);
    ::SetWindowPos(separator, ToolsTitle, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::EnableWindow(ToolsTitle, FALSE);
    ::SetWindowPos(RunToolsButton, nullptr, w - 2 * 168 - 4, h - 38, 164, 30, SWP_NOZORDER | SWP_NOACTIVATE);
    CloseToolsButton = AddChild(tools, L"BUTTON", kCloseText, WS_TABSTOP | BS_PUSHBUTTON, w - 168 - 4, h - 38, 164, 30,
                                IDC_CLOSE_TOOLS);

    // The panel's controls, and the key of its label, are answered here before the window's
    // own handling.
    ::SetWindowSubclass(Handle(), ToolsPanelProc, kToolsPanelSubclass, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK TMainWindow::ToolsPanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR self) {
    auto* window = reinterpret_cast<TMainWindow*>(self);
    try {
        switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && lParam && reinterpret_cast<HWND>(lParam) == window->CloseToolsButton) {
                window->CloseHistoryTools();
                return 0;
            }
            break;
        case WM_NOTIFY: {
            const auto& change = *reinterpret_cast<const NMLISTVIEW*>(lParam);
            if (change.hdr.hwndFrom == window->TraceList.Handle() && change.hdr.code == LVN_ITEMCHANGED) {
                if (change.uChanged & LVIF_STATE) window->TraceTicksChanged();
                return 0;
            }
            break;
        }
        case WM_SYSCOMMAND:
            // Alt+S: the label "抹消対象を選択(&S):" gives the focus to the list.
            if ((wParam & 0xFFF0) == SC_KEYMENU && (lParam == L's' || lParam == L'S') &&
                window->visiblePanel_ == ContentPanel::Tools && ::IsWindowEnabled(window->TraceList.Handle())) {
                ::SetFocus(window->TraceList.Handle());
                return 0;
            }
            break;
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(hwnd, ToolsPanelProc, kToolsPanelSubclass);
            break;
        default:
            break;
        }
    } catch (...) {
        // Nothing leaves a handler.
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

void TMainWindow::ListTraceKinds() {
    TraceList.Clear();
    TraceTargets.clear();
    const auto add = [this](std::uint16_t target) {
        TraceList.AddRow({TIE_ERASE::EntryName(target)}, false);
        TraceTargets.push_back(target);
    };
    for (std::uint16_t target : kFirstTargets) add(target);
    // A browser is listed when its data folder exists for this user.
    for (Browser browser : kBrowsers)
        if (BrowserInstalled(browser))
            for (BrowserTrace kind : kBrowserTraces) add(TIE_ERASE::BrowserTarget(browser, kind));
    add(TIE_ERASE::ExplorerHistory);
    TraceList.AddRow({kRecycleBinText}, false);
    TraceTargets.push_back(kRecycleBinTarget);
}

// --- the ticks ---

int TMainWindow::CountToolsTicked() const { return TraceList.TickedCount(); }

void TMainWindow::TraceTicksChanged() { Actions[Command::RunHistoryTools].SetEnabled(CountToolsTicked() > 0); }

// --- opening and closing ---

void TMainWindow::OpenHistoryTools() {
    SaveWindowState();
    ShowContentPanel(ContentPanel::Tools);
    LockUserInterface(true);
    ListTraceKinds();  // browsers installed or removed since; every row unticked
    Actions[Command::RunHistoryTools].SetEnabled(false);
    ::SetFocus(TraceList.Handle());
}

void TMainWindow::CloseHistoryTools() {
    // The panel goes first: a maximize is refused while it shows.
    ::ShowWindow(Toolspanel.Handle(), SW_HIDE);
    visiblePanel_ = ContentPanel::List;
    if (SavedWindowState != 0) RestoreWindowState(SavedWindowState);
    LockUserInterface(false);
    ShowContentPanel(ContentPanel::List);
}

// --- the run ---

void TMainWindow::RunHistoryTools() {
    std::uint16_t targets = 0;
    for (int index = 0; index < TraceList.RowCount() && index < static_cast<int>(TraceTargets.size()); ++index)
        if (TraceList.IsTicked(index)) targets |= TraceTargets[index];
    // The question says how many sites keep their cookies, and what the Recycle Bin holds.
    TConfigWindow* config = application_.Config();
    KeptCookieSites kept;
    if (config) kept = ReadKeptCookieSites(config->DataFolder());
    std::wstring question = kRunText;
    std::vector<RecycleBinDrive> bins;
    if (targets & kRecycleBinTarget) {
        bins = FindRecycleBins();
        question += L"ごみ箱: " + RecycleBinSummary(bins) + L"\r\n";
    }
    if ((targets & TIE_ERASE::CookieEntries()) && !kept.sites.empty())
        question += L"クッキーを残すサイト: " + std::to_wstring(kept.sites.size()) + L" 件\r\n";
    if (::MessageBoxW(Handle(), (question + kRunQuestion).c_str(), kRunCaption, MB_YESNO | MB_ICONQUESTION) != IDYES ||
        CountToolsTicked() == 0)
        return;
    bool failed = false;
    std::unique_ptr<TIE_ERASE> eraser;
    std::optional<WritingJob> writing;
    try {
        const std::array<EraseLevel, 3> levels =
            config ? config->HistoryToolLevels()
                   : std::array<EraseLevel, 3>{EraseLevel::Speed, EraseLevel::Speed, EraseLevel::Speed};
        const std::uint16_t traces = targets & static_cast<std::uint16_t>(~kRecycleBinTarget);
        eraser = std::make_unique<TIE_ERASE>(traces, levels[0], levels[1], levels[2], application_.Handle());
        eraser->SetKeptCookieSites(std::move(kept));

        Busy = true;
        writing.emplace(*this);
        for (HWND control : {RunToolsButton, CloseToolsButton, TraceList.Handle()}) ::EnableWindow(control, FALSE);
        ::ShowWindow(ToolsWaitLabel, SW_SHOW);
        ::SendMessageW(ToolsProgress, PBM_SETPOS, 0, 0);
        ::ShowWindow(ToolsProgress, SW_SHOW);
        ::UpdateWindow(Toolspanel.Handle());

        // A scheduled run of the history tools goes first; the window is serviced meanwhile.
        TraceRunLock lock;
        if (!lock.Acquire(TraceRunLockWait(), ui::ProcessMessages)) {
            writing.reset();
            ::MessageBoxW(Handle(), kToolsBusyText, application_.Title().c_str(), MB_OK | MB_ICONINFORMATION);
            throw TraceRunBusy{};
        }
        TraceOutcome outcome;
        if (traces) outcome = eraser->EraseTraces(ToolsProgress);
        // The Recycle Bin at the recent files' level; what stays joins the completion message.
        std::wstring binLeft = (targets & kRecycleBinTarget) ? EraseRecycleBinForTools(bins, levels[2]) : L"";
        writing.reset();  // the messages that follow no longer hold the session
        lock.Release();

        ::SendMessageW(ToolsProgress, PBM_SETPOS, 100, 0);
        if (config) config->PlayCompletionSound();
        for (const std::wstring& warning : WarningTexts(outcome))
            ::MessageBoxW(Handle(), warning.c_str(), kRunCaption, MB_OK | MB_ICONWARNING);
        std::vector<std::wstring> lines = LeftLines(outcome);
        for (std::size_t at = 0; at < binLeft.size();) {
            const std::size_t end = std::min(binLeft.find(L"\r\n", at), binLeft.size());
            if (end > at) lines.push_back(std::wstring(kRecycleBinText) + L": " + binLeft.substr(at, end - at));
            at = end + 2;
        }
        ::MessageBoxW(Handle(), CompletionText(lines).c_str(), application_.Title().c_str(),
                      MB_OK | (lines.empty() ? MB_ICONINFORMATION : MB_ICONWARNING));
    } catch (const TraceRunBusy&) {
        // Said already; nothing ran.
    } catch (...) {
        failed = true;
    }

    // However the run ended; the ticks stay as they were.
    try {
        eraser.reset();
        ::SendMessageW(ToolsProgress, PBM_SETPOS, 0, 0);
        ::ShowWindow(ToolsProgress, SW_HIDE);
        ::EnableWindow(CloseToolsButton, TRUE);
        ::EnableWindow(TraceList.Handle(), TRUE);
        // The run button follows its action, which the ticks decide.
        ::EnableWindow(RunToolsButton, Actions[Command::RunHistoryTools].Enabled());
        ::ShowWindow(ToolsWaitLabel, SW_HIDE);
    } catch (...) {
        failed = true;
    }
    Busy = false;
    if (failed) RaiseAssertion(AssertSite::MainHistoryTools);
}
