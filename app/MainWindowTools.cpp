// The history tools panel: its controls, opening and closing it, the ticks that enable the
// run, the look before ("内容を確認") and the run itself through the trace eraser.

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
#include "dialogs/ImageControl.h"
#include "engine/RecycleBin.h"
#include "history/IeErase.h"
#include "history/RecycleBinEntry.h"
#include "history/TraceRun.h"
#include "settings/ConfigWindow.h"
#include "ui/MessagePump.h"
#include "ui/Subclass.h"

namespace {

const wchar_t kSelectLabel[] = L"抹消対象を選択(&S):";
const wchar_t kProgressCaption[] = L"進歩状況:";
const wchar_t kWaitText[] = L"処理を実行しています…しばらくお待ち下さい。";
const wchar_t kCloseText[] = L"このウインドウを閉じる";
const wchar_t kRunCaption[] = L"確認";
const wchar_t kRunText[] = L"選択した作業を開始します。ファイル数が多いと時間が掛かる場合があります。\r\n";
const wchar_t kRunQuestion[] = L"処理を開始してよろしいですか？";
const wchar_t kPreviewText[] = L"内容を確認";
const wchar_t kScheduleText[] = L"スケジュール...";
const wchar_t kNameColumn[] = L"抹消対象";
const wchar_t kContentColumn[] = L"内容";
const wchar_t kToolsBusyText[] = L"スケジュールによる履歴抹消が実行中のため、開始できませんでした。\r\n"
                                 L"しばらくしてからもう一度お試しください。";

// The entries Internet Explorer's part lists first, in their order.
constexpr std::uint16_t kFirstTargets[] = {TIE_ERASE::RecentFiles, TIE_ERASE::Cookies, TIE_ERASE::Cache,
                                           TIE_ERASE::History};

constexpr UINT_PTR kToolsPanelSubclass = 12;

// The run did not start: a scheduled run held the lock past the wait.
struct TraceRunBusy {};

}  // namespace

// --- building ---

void TMainWindow::BuildToolsPanel() {
    // In place of the list, as the other panels, under a banner.
    const int w = kClientWidth, h = contentHeight_;
    if (!Toolspanel.Create(Handle(), IDC_TOOLSPANEL, 0, contentTop_, w, h)) throw std::runtime_error("Toolspanel");
    HWND tools = Toolspanel.Handle();
    constexpr int kHeaderHeight = 92;
    ToolsHeader = std::make_unique<TImageControl>();
    if (!ToolsHeader->CreateControl(tools, 0, 0, w, kHeaderHeight)) throw std::runtime_error("ToolsHeader");
    DrawToolsHeader();
    ToolsTitle = AddChild(tools, L"STATIC", application_.Title(), SS_LEFT, 8, kHeaderHeight + 8, 300, 16,
                          IDC_TOOLS_TITLE);
    ::SendMessageW(ToolsTitle, WM_SETFONT, reinterpret_cast<WPARAM>(windowBoldFont_.get()), FALSE);
    MakeLabelOpaque(ToolsTitle);
    RunToolsButton =
        AddChild(tools, L"BUTTON", L"", WS_TABSTOP | BS_PUSHBUTTON, w - 164 - 4, h - 34, 160, 28, IDC_RUN_TOOLS);
    Actions.BindButton(RunToolsButton, Command::RunHistoryTools);
    const int top = kHeaderHeight + 12;  // below the banner
    const int left = 16, width = w - 2 * left;
    // From the bottom: the buttons, the title over its separator line, the progress group
    // across the panel; the list takes the rest.
    const int buttonTop = h - 38, titleTop = h - 56;
    const int groupHeight = 50, groupTop = titleTop - 8 - groupHeight;
    const int listTop = top + 20, listHeight = groupTop - 8 - listTop;

    SelectTracesLabel = AddChild(tools, L"STATIC", kSelectLabel, SS_LEFT, left, top, 320, 16, IDC_SELECT_TRACES);
    if (!TraceList.Create(tools, IDC_TRACE_LIST, left, listTop, width, listHeight, LVS_SINGLESEL))
        throw std::runtime_error("TraceList");
    ::SendMessageW(TraceList.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(windowBoldFont_.get()), FALSE);
    const int nameWidth = 300;
    TraceList.AddColumn(kNameColumn, nameWidth);
    TraceList.AddColumn(kContentColumn, width - nameWidth - ::GetSystemMetrics(SM_CXVSCROLL) - 4);
    ListTraceKinds();

    // Transparent, so that the panel paints the group's inside again when the waiting text hides
    // (a group box draws only its frame, and the panel clips its children).
    ToolsProgressGroup = AddChild(tools, L"BUTTON", kProgressCaption, BS_GROUPBOX, left, groupTop, width,
                                  groupHeight, IDC_TOOLS_PROGRESS_GROUP, WS_EX_TRANSPARENT);
    const int waitWidth = 320;
    ToolsWaitLabel = AddChild(tools, L"STATIC", kWaitText, SS_LEFT, left + 12, groupTop + 22, waitWidth, 18,
                              IDC_TOOLS_WAIT);
    ToolsProgress = AddChild(tools, PROGRESS_CLASSW, L"", 0, left + 12 + waitWidth + 8, groupTop + 20,
                             width - 24 - waitWidth - 8, 18, IDC_TOOLS_PROGRESS);
    ::SendMessageW(ToolsProgress, PBM_SETRANGE32, 0, 100);
    ::ShowWindow(ToolsWaitLabel, SW_HIDE);
    ::ShowWindow(ToolsProgress, SW_HIDE);

    // The title over a separator line near the bottom, then the buttons in one row from the
    // right, in their tab order: look, schedule, run, close.
    HWND separator = AddChild(tools, L"STATIC", L"", SS_ETCHEDHORZ, 8, h - 48, w - 16, 2);
    ::SetWindowPos(ToolsTitle, HWND_TOP, left, titleTop, 200, 16, SWP_NOACTIVATE);
    ::SetWindowPos(separator, ToolsTitle, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::EnableWindow(ToolsTitle, FALSE);
    constexpr int kGap = 6;
    constexpr int kPreviewWidth = 110, kScheduleWidth = 110, kRunWidth = 150, kCloseWidth = 164;
    int x = w - 8 - kCloseWidth - kGap - kRunWidth - kGap - kScheduleWidth - kGap - kPreviewWidth;
    PreviewTracesButton = AddChild(tools, L"BUTTON", kPreviewText, WS_TABSTOP | BS_PUSHBUTTON, x, buttonTop,
                                   kPreviewWidth, 30, IDC_PREVIEW_TRACES);
    x += kPreviewWidth + kGap;
    ScheduleTracesButton = AddChild(tools, L"BUTTON", kScheduleText, WS_TABSTOP | BS_PUSHBUTTON, x, buttonTop,
                                    kScheduleWidth, 30, IDC_SCHEDULE_TRACES);
    x += kScheduleWidth + kGap;
    ::SetWindowPos(RunToolsButton, ScheduleTracesButton, x, buttonTop, kRunWidth, 30, SWP_NOACTIVATE);
    x += kRunWidth + kGap;
    CloseToolsButton = AddChild(tools, L"BUTTON", kCloseText, WS_TABSTOP | BS_PUSHBUTTON, x, buttonTop, kCloseWidth,
                                30, IDC_CLOSE_TOOLS);
    ::EnableWindow(PreviewTracesButton, FALSE);

    // The panel's controls, and the key of its label, are answered here before the window's
    // own handling.
    ui::SetSubclass(Handle(), ToolsPanelProc, kToolsPanelSubclass, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK TMainWindow::ToolsPanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR self) {
    auto* window = reinterpret_cast<TMainWindow*>(self);
    try {
        switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED || !lParam) break;
            if (reinterpret_cast<HWND>(lParam) == window->CloseToolsButton) {
                window->CloseHistoryTools();
                return 0;
            }
            if (reinterpret_cast<HWND>(lParam) == window->PreviewTracesButton) {
                window->PreviewHistoryTools();
                return 0;
            }
            if (reinterpret_cast<HWND>(lParam) == window->ScheduleTracesButton) {
                window->OpenTraceSchedule();
                return 0;
            }
            break;
        case WM_NOTIFY: {
            const auto& change = *reinterpret_cast<const NMLISTVIEW*>(lParam);
            if (change.hdr.hwndFrom == window->TraceList.Handle() && change.hdr.code == LVN_ITEMCHANGED) {
                if ((change.uChanged & LVIF_STATE) && ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK))
                    window->TraceTicksChanged(change.iItem);
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
            ui::RemoveSubclass(hwnd, ToolsPanelProc, kToolsPanelSubclass);
            break;
        default:
            break;
        }
    } catch (...) {
        // Nothing leaves a handler.
    }
    return ui::DefSubclass(hwnd, message, wParam, lParam);
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
    add(TIE_ERASE::RecycleBin);
}

std::uint16_t TMainWindow::TickedTraceTargets() const {
    std::uint16_t targets = 0;
    for (int index = 0; index < TraceList.RowCount() && index < static_cast<int>(TraceTargets.size()); ++index)
        if (TraceList.IsTicked(index)) targets |= TraceTargets[index];
    return targets;
}

// --- the ticks ---

int TMainWindow::CountToolsTicked() const { return TraceList.TickedCount(); }

void TMainWindow::TraceTicksChanged(int row) {
    const bool any = CountToolsTicked() > 0;
    Actions[Command::RunHistoryTools].SetEnabled(any);
    if (!Busy) ::EnableWindow(PreviewTracesButton, any);
    // What a look found for a row no longer holds once its tick changes.
    if (row >= 0) {
        TraceList.SetText(row, 1, L"");
    } else {
        for (int index = 0; index < TraceList.RowCount(); ++index) TraceList.SetText(index, 1, L"");
    }
}

void TMainWindow::SetToolsBusy(bool busy) {
    // Disabling the control with the focus leaves the focus nowhere: it comes back afterwards.
    if (busy) toolsFocus_ = ::GetFocus();
    Busy = busy;
    for (HWND control : {RunToolsButton, CloseToolsButton, TraceList.Handle(), PreviewTracesButton,
                         ScheduleTracesButton})
        ::EnableWindow(control, !busy);
    if (!busy) {
        // The run and look buttons follow the ticks.
        ::EnableWindow(RunToolsButton, Actions[Command::RunHistoryTools].Enabled());
        ::EnableWindow(PreviewTracesButton, CountToolsTicked() > 0);
        const HWND focus = ::GetFocus();
        if (toolsFocus_ && ::IsWindowEnabled(toolsFocus_) && (!focus || focus == Handle())) ::SetFocus(toolsFocus_);
    }
    ::ShowWindow(ToolsWaitLabel, busy ? SW_SHOW : SW_HIDE);
}

// --- opening and closing ---

void TMainWindow::OpenHistoryTools() {
    SaveWindowState();
    ShowContentPanel(ContentPanel::Tools);
    LockUserInterface(true);
    ListTraceKinds();  // browsers installed or removed since; every row unticked
    Actions[Command::RunHistoryTools].SetEnabled(false);
    ::EnableWindow(PreviewTracesButton, FALSE);
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

// --- the look before ---

void TMainWindow::PreviewHistoryTools() {
    if (Busy || CountToolsTicked() == 0) return;
    const std::uint16_t targets = TickedTraceTargets();
    TConfigWindow* config = application_.Config();
    bool failed = false;
    SetToolsBusy(true);
    ::UpdateWindow(Toolspanel.Handle());
    const HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    try {
        // The levels change nothing of what is counted.
        TIE_ERASE eraser(targets, EraseLevel::Speed, EraseLevel::Speed, EraseLevel::Speed, application_.Handle());
        if (config) eraser.SetKeptCookieSites(ReadKeptCookieSites(config->DataFolder()));
        std::vector<EntryPreview> previews;
        if (eraser.Targets()) previews = eraser.Preview();
        if (targets & TIE_ERASE::RecycleBin) previews.push_back(RecycleBinPreview(FindRecycleBins()));
        for (int row = 0; row < TraceList.RowCount() && row < static_cast<int>(TraceTargets.size()); ++row) {
            std::wstring text;
            if (TraceList.IsTicked(row))
                for (const EntryPreview& preview : previews)
                    if (preview.target == TraceTargets[row]) text = PreviewText(preview);
            TraceList.SetText(row, 1, text);
        }
    } catch (...) {
        failed = true;
    }
    ::SetCursor(previous);
    SetToolsBusy(false);
    if (failed) RaiseAssertion(AssertSite::MainHistoryTools);
}

// --- the run ---

void TMainWindow::RunHistoryTools() {
    const std::uint16_t targets = TickedTraceTargets();
    // The question says how many sites keep their cookies, and what the Recycle Bin holds.
    TConfigWindow* config = application_.Config();
    KeptCookieSites kept;
    if (config) kept = ReadKeptCookieSites(config->DataFolder());
    std::wstring question = kRunText;
    std::vector<RecycleBinDrive> bins;
    if (targets & TIE_ERASE::RecycleBin) {
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
        eraser = std::make_unique<TIE_ERASE>(targets, levels[0], levels[1], levels[2], application_.Handle());
        eraser->SetKeptCookieSites(std::move(kept));

        SetToolsBusy(true);
        writing.emplace(*this);
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
        if (eraser->Targets()) outcome = eraser->EraseTraces(ToolsProgress);
        // The Recycle Bin at the recent files' level; what stays joins the completion message.
        if (targets & TIE_ERASE::RecycleBin) EraseRecycleBinEntry(bins, levels[2], outcome);
        writing.reset();  // the messages that follow no longer hold the session
        lock.Release();

        ::SendMessageW(ToolsProgress, PBM_SETPOS, 100, 0);
        if (config) config->PlayCompletionSound();
        for (const std::wstring& warning : WarningTexts(outcome))
            ::MessageBoxW(Handle(), warning.c_str(), kRunCaption, MB_OK | MB_ICONWARNING);
        const std::vector<std::wstring> lines = LeftLines(outcome);
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
    } catch (...) {
        failed = true;
    }
    SetToolsBusy(false);
    if (failed) RaiseAssertion(AssertSite::MainHistoryTools);
}
