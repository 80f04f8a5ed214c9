// The erase run: the confirmation, the walk over the ticked rows with its progress, the run
// log, the completion actions, and the result panel's Finish, Save log, Save report and the
// offer of a free-space erase.

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "common/Assertions.h"
#include "common/Handles.h"
#include "common/Paths.h"
#include "common/TextCompare.h"
#include "common/TextCodec.h"
#include "diagnostics/LogWindow.h"
#include "diagnostics/SystemInfo.h"
#include "dialogs/OsterlanActionImages.h"
#include "engine/EraseFunc.h"
#include "engine/FileHolders.h"
#include "notify/CompanionNotify.h"
#include "report/ErasureReport.h"
#include "settings/ConfigWindow.h"
#include "ui/MessagePump.h"

namespace {

const wchar_t kStartCaption[] = L"確認";
const wchar_t kStartText[] = L"処理を開始します\u3000よろしいですか？\u3000";

const wchar_t kLogFileLead[] = L"ファイル名:";
const wchar_t kLogCompleted[] = L"処理が終了しました。";
const wchar_t kLogStopped[] = L"処理を中止しました。";

const wchar_t* const kCustomTags[] = {L"[S]", L"[N]", L"[H]"};

const wchar_t* const kModeNames[] = {L"Speed", L"Normal", L"High", L"Custom"};

// The window a run's worker asks for its servicing; one run at a time.
std::atomic<HWND> runServiceWindow{nullptr};

std::wstring NowForLog() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return TMainWindow::LogDateTime(now);
}

}  // namespace

std::wstring TMainWindow::LogDateTime(const SYSTEMTIME& time) {
    wchar_t date[128] = {};
    if (!::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 128)) date[0] = L'\0';
    std::wstring text = date;
    if (time.wHour == 0 && time.wMinute == 0 && time.wSecond == 0 && time.wMilliseconds == 0) return text;
    wchar_t clock[128] = {};
    if (!::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, clock, 128)) clock[0] = L'\0';
    return text + L" " + clock;
}

// --- the log ---

void TMainWindow::AppendLogLine(const std::wstring& line) {
    std::lock_guard lock(runDisplayLock_);
    runDisplay_.logLines.push_back(line);
}

std::vector<std::wstring> TMainWindow::EraseLogLines() const {
    std::vector<std::wstring> lines = EraseLog.Lines();
    std::lock_guard lock(runDisplayLock_);
    lines.insert(lines.end(), runDisplay_.logLines.begin(), runDisplay_.logLines.end());
    return lines;
}

// --- the run's display ---

bool TMainWindow::RunDisplayDue() {
    const ULONGLONG now = ServiceClockNow();
    std::lock_guard lock(runDisplayLock_);
    if (runDisplay_.shownOnce && now - runDisplay_.shownAt < kRunDisplayIntervalMs) return false;
    runDisplay_.shownOnce = true;
    runDisplay_.shownAt = now;
    return true;
}

void TMainWindow::ShowRunDisplay() {
    runDisplayShownTick_ = ::GetTickCount64();
    // What waits is taken out at once; the controls are set without holding up the worker.
    RunDisplay display;
    {
        std::lock_guard lock(runDisplayLock_);
        display.currentFile = std::exchange(runDisplay_.currentFile, std::nullopt);
        display.mode = std::exchange(runDisplay_.mode, std::nullopt);
        display.done = std::exchange(runDisplay_.done, std::nullopt);
        display.total = runDisplay_.total;
        display.logLines.swap(runDisplay_.logLines);
    }
    if (display.currentFile) ::SetWindowTextW(CurrentFileLabel, display.currentFile->c_str());
    if (display.mode) StatusBar.SetText(0, *display.mode);
    if (display.done) ShowOverallProgress(*display.done, display.total);
    ShowFilePercent();
    // The lines go in together, in the order they came.
    EraseLog.Append(display.logLines);
}

void TMainWindow::ShowFilePercent() {
    // The file's own bar shows where the worker's file is at this moment.
    const int percent = runFilePercent_.exchange(-1);
    if (percent < 0 || percent == shownFilePercent_) return;
    shownFilePercent_ = percent;
    ::SendMessageW(FileProgress, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    ::SetWindowTextW(PercentLabel, (std::to_wstring(percent) + L"%").c_str());
}

void TMainWindow::StartRunDisplayTimer(bool on) {
    // While one long file is written the timer brings what waits to the controls.
    if (on)
        ::SetTimer(Handle(), kRunDisplayTimer, static_cast<UINT>(kRunDisplayIntervalMs), nullptr);
    else
        ::KillTimer(Handle(), kRunDisplayTimer);
}

void TMainWindow::WriteLogHeader(int ticked, int total) {
    const std::wstring stars(20, L'*');
    AppendLogLine(stars + L" " + application_.Title() + L" " + stars);
    AppendLogLine(L"開始日時:" + NowForLog());
    TESysteminfo system(true);
    AppendLogLine(L"OS:" + system.OSDescription);
    AppendLogLine(L"CPU:" + system.CPUName + L" " + (system.CPUSpeed.empty() ? L"" : L"(" + system.CPUSpeed + L")"));
    AppendLogLine(L"ファイル総数:" + std::to_wstring(total < 0 ? FileList.RowCount() : total) + L" 選択数:" + std::to_wstring(ticked));
    AppendLogLine(StatusBar.Text(0));
    AppendLogLine(L"これらの内容で処理を開始します。");
    AppendLogLine(L"");
}

void TMainWindow::WriteLogFooter(int processed, std::optional<int> verified) {
    AppendLogLine(L"");
    AppendLogLine(AbortRequested ? kLogStopped : kLogCompleted);
    AppendLogLine(L"処理数:" + std::to_wstring(processed) + L"ファイル");
    if (verified) AppendLogLine(L"確認数:" + std::to_wstring(*verified) + L"ファイル");
    AppendLogLine(L"終了日時:" + NowForLog());
    AppendLogLine(std::wstring(57, L'*'));
}

// --- the run ---

void TMainWindow::StartRun() {
    if (FileList.RowCount() == 0) return;
    if (::MessageBoxW(Handle(), kStartText, kStartCaption, MB_YESNO | MB_ICONWARNING) != IDYES) return;
    RunErase();
}

void TMainWindow::BeginRun(std::optional<WritingJob>& writing, bool keepWindowState) {
    if (HWND report = ui::FindThreadWindow(TTIDEMARROW_LOG::kClassName, L"ErrorLog"))
        ::SendMessageW(report, WM_CLOSE, 0, 0);
    if (keepWindowState) SaveWindowState();
    AbortRequested = false;
    Busy = true;
    writing.emplace(*this);
    LockUserInterface(true);
    ShowContentPanel(ContentPanel::Running);
    {
        std::lock_guard lock(runDisplayLock_);
        runDisplay_ = RunDisplay{};
    }
    runFilePercent_ = -1;
    shownFilePercent_ = -1;
    freeSpaceOffer_ = FreeSpaceOffer{};
    filesInUse_.clear();
    erasedRows_.clear();
    EraseLog.Clear();
    if (busyAnimation_) busyAnimation_->Start();
}

EraseOutcome TMainWindow::EraseRowFile(const std::wstring& path, EraseLevel level, bool verify) {
    // On the run's worker the percentage reaches the controls with the rest of the display.
    if (::GetWindowThreadProcessId(Handle(), nullptr) != ::GetCurrentThreadId())
        return EraseFile(path, level, nullptr, nullptr, verify);
    return EraseFile(path, level, FileProgress, PercentLabel, verify);
}

std::vector<TMainWindow::RunRow> TMainWindow::TickedRunRows(EraseMode mode) {
    TConfigWindow* config = application_.Config();
    std::vector<RunRow> rows;
    for (int row = 0; row < FileList.RowCount(); ++row) {
        if (!FileList.IsTicked(row)) continue;
        RunRow item{row, FileList.Text(row, 4), static_cast<EraseLevel>(mode)};
        if (mode == EraseMode::Custom)
            item.level = config ? config->CustomLevelFor(ExtractFileExt(item.path)) : EraseLevel::Speed;
        rows.push_back(std::move(item));
    }
    return rows;
}

void TMainWindow::EraseRowsOnWorker(const std::vector<RunRow>& rows, bool custom, bool verify, RunTally& tally) {
    UniqueKernelHandle ended(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!ended) throw std::runtime_error("no event for the run's end");
    HANDLE endedHandle = ended.get();
    std::exception_ptr thrown;
    runServiceWindow = Handle();
    std::thread worker([&] {
        try {
            EraseRows(rows, custom, verify, tally);
        } catch (...) {
            thrown = std::current_exception();
        }
        ::SetEvent(endedHandle);
    });
    // The window goes on answering (Stop, the display's timer, painting, the worker's requests)
    // until the worker is done; a WM_QUIT met on the way is posted again for the main loop.
    const auto service = CurrentEraseEnvironment().serviceMessages;
    while (::MsgWaitForMultipleObjectsEx(1, &endedHandle, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) != WAIT_OBJECT_0) {
        try {
            service ? service() : ui::ProcessMessages();
        } catch (...) {
            AbortRequested = true;
        }
    }
    worker.join();
    runServiceWindow = nullptr;
    if (thrown) std::rethrow_exception(thrown);
}

void TMainWindow::ServiceRunWindowFromWorker() {
    if (const HWND window = runServiceWindow.load()) ::SendMessageW(window, kRunServiceMessage, 0, 0);
}

void TMainWindow::ServiceRunRequest(bool showDisplay) {
    // What waits for the Stop button is taken now, so that a click made before this servicing
    // ends the file at it. Everything else (painting, the timer, any window shown meanwhile with
    // its own loop) is left to the loop the window is in, which runs while the worker goes on.
    MSG message{};
    const HWND stop = StopButton.Handle();
    while (stop && ::PeekMessageW(&message, stop, 0, 0, PM_REMOVE | PM_QS_INPUT | PM_QS_POSTMESSAGE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    if (AbortRequested) return;
    // Within a long file the display comes at the ticks' servicing when it is due.
    if (showDisplay || RunDisplayDue())
        ShowRunDisplay();
    else
        ShowFilePercent();
}

void TMainWindow::EraseRows(const std::vector<RunRow>& rows, bool custom, bool verify, RunTally& tally) {
    // The engine on this thread services the window through it and tells it each percentage.
    const EraseEnvironment& installed = CurrentEraseEnvironment();
    EraseEnvironment own;
    own.abortRequested = &AbortRequested;
    own.serviceMessages = ServiceRunWindowFromWorker;
    own.progress = [this, told = installed.progress](int percent) {
        runFilePercent_ = percent;
        if (told) told(percent);
    };
    const ThreadEraseEnvironment environment(std::move(own));

    EraseRunNotes runNotes;
    for (const RunRow& item : rows) {
        const std::wstring& path = item.path;
        const EraseLevel level = item.level;
        if (!AbortRequested) {
            {
                std::lock_guard lock(runDisplayLock_);
                runDisplay_.currentFile = path;
                if (custom) {
                    const int index = static_cast<int>(level);
                    const wchar_t* tag = index >= 0 && index <= 2 ? kCustomTags[index] : L"";
                    runDisplay_.mode = std::wstring(L"モード:Custom") + tag;
                }
            }
            if (RunDisplayDue()) ::SendMessageW(Handle(), kRunServiceMessage, 1, 0);
        }
        if (AbortRequested) {
            // Rows after a Stop are not touched; the report lists them as not reached.
            RecordRunFile(path, level, nullptr, L"");
            continue;
        }
        std::wstring line = kLogFileLead + ExtractFileName(path);
        const EraseOutcome outcome = EraseRowFile(path, level, verify);
        if (outcome.kind == EraseOutcome::Kind::Erased) erasedRows_[static_cast<std::size_t>(item.row)] = true;
        NoteFreeSpaceOffer(level, outcome.LeftSomething(), outcome.driveRoot);
        // A file another program holds names the programs holding it, and may be erased at
        // the next start.
        const bool refused = outcome.kind == EraseOutcome::Kind::NotErased && outcome.readBack == ReadBack::NotChecked;
        line += refused ? NotErasedEnding(path) : outcome.logEnding;
        if (refused && FileInUse(path)) filesInUse_.push_back({level, {}, path});
        if (outcome.readBack == ReadBack::Matched) ++tally.verified;
        ++tally.processed;
        // The notes on a drive or a synchronised folder come once, before its first file's line.
        const std::vector<std::wstring> notes = runNotes.Before(outcome);
        for (const std::wstring& note : notes)
            if (runReport_) runReport_->AddDriveNote(path, note);
        {
            std::lock_guard lock(runDisplayLock_);
            runDisplay_.done = tally.processed;
            runDisplay_.logLines.insert(runDisplay_.logLines.end(), notes.begin(), notes.end());
            runDisplay_.logLines.push_back(line);
        }
        RecordRunFile(path, level, &outcome, line);
    }
}

void TMainWindow::RunErase() {
    TConfigWindow* config = application_.Config();
    bool failed = false;
    bool priorityRaised = false;
    std::optional<WritingJob> writing;
    try {
        // The taskbar button is gone while the run goes on; nothing waits for it to go.
        application_.ShowTaskbarButton(false);
        BeginRun(writing);
        const EraseMode mode = config ? config->CurrentEraseMode() : EraseMode::Speed;
        const bool verify = config && config->Verify();
        const int ticked = CountTicked();
        erasedRows_.assign(static_cast<std::size_t>(FileList.RowCount()), false);
        WriteLogHeader(ticked);
        BeginRunReport(mode, verify);

        ::SendMessageW(OverallProgress, PBM_SETRANGE32, 0, static_cast<LPARAM>(ticked));
        ::SendMessageW(OverallProgress, PBM_SETPOS, 0, 0);
        const bool highSpeed = config && config->EraseHighspeed();
        if (highSpeed) {
            TESysteminfo(false).SetPriority(HIGH_PRIORITY_CLASS);
            priorityRaised = true;
        }
        ShowOverallProgress(0, ticked);
        {
            std::lock_guard lock(runDisplayLock_);
            runDisplay_.total = ticked;
        }
        ShowRunDisplay();
        StartRunDisplayTimer(true);

        // The display reaches the controls every few tens of milliseconds, not for every file,
        // and the window stays free to paint and to answer Stop while the worker erases.
        RunTally tally;
        EraseRowsOnWorker(TickedRunRows(mode), mode == EraseMode::Custom, verify, tally);

        if (highSpeed) {
            TESysteminfo(false).SetPriority(NORMAL_PRIORITY_CLASS);
            priorityRaised = false;
        }
        WriteLogFooter(tally.processed, verify ? std::optional<int>(tally.verified) : std::nullopt);
    } catch (...) {
        failed = true;
    }

    // The end steps, however the run ended.
    writing.reset();
    try {
        StartRunDisplayTimer(false);
        ShowRunDisplay();
        application_.ShowTaskbarButton(true);
        if (runReport_) runReport_->End(AbortRequested);
        // A run that raised the priority class never leaves the process there.
        if (priorityRaised) TESysteminfo(false).SetPriority(NORMAL_PRIORITY_CLASS);
        OfferEraseAtNextStart();
        const bool powerOff = config && config->PowerOffAfterRun();
        ShowFreeSpaceOffer(powerOff);
        ShowContentPanel(ContentPanel::Result);
        if (notifier_) NotifyCompanion(*notifier_, config, CompanionNotice::RunEnd);
        if (config) config->PlayCompletionSound();
        if (busyAnimation_) busyAnimation_->Stop();
        if (powerOff) {
            FinishRun();
            PowerOffComputer();
        }
    } catch (...) {
        failed = true;
    }
    if (failed) RaiseAssertion(AssertSite::MainRunUnknown);
}

void TMainWindow::StopRun() { AbortRequested = true; }

// --- the result panel ---

void TMainWindow::FinishRun() {
    AbortRequested = false;
    Busy = false;
    LockUserInterface(false);
    filesInUse_.clear();
    OfferEraseAtNextStart();
    ShowContentPanel(ContentPanel::List);
    // The mode shows again as the profile has it (a Custom run showed each file's level).
    ShowEraseMode(false, true);
    ReloadFileList();
    erasedRows_.clear();
    if (SavedWindowState != 0) RestoreWindowState(SavedWindowState);
}

void TMainWindow::SaveLog() {
    const std::wstring path = AskTextFileToSave(Handle(), application_.Title() + L"ログ.txt");
    if (path.empty()) return;
    ::SetLastError(ERROR_SUCCESS);
    if (!WriteTextFile(path, EraseLogLines())) ShowSaveFailure(Handle(), path, ::GetLastError());
}

// --- the erasure report ---

void TMainWindow::BeginRunReport(EraseMode mode, bool verify) {
    const int modeIndex = static_cast<int>(mode);
    runReport_ = std::make_unique<ErasureRecorder>();
    runReport_->Begin(modeIndex >= 0 && modeIndex <= 3 ? kModeNames[modeIndex] : L"", ProfileName, verify);
}

void TMainWindow::RecordRunFile(const std::wstring& path, EraseLevel level, const EraseOutcome* outcome,
                                const std::wstring& logLine) {
    if (!runReport_) return;
    if (!outcome) {
        runReport_->RecordFile(path, FileSizeByName(path), 0, LevelText(level), FileResult::NotReached, logLine, L"");
        return;
    }
    runReport_->RecordFile(path, outcome->size, outcome->bytesWritten, LevelText(level),
                           ReportResultOf(*outcome, AbortRequested), logLine, ReportVerifyText(outcome->readBack));
}

void TMainWindow::LayOutResultButtons() {
    // Right to left, about 124 pixels each: Finish, Save log, Save report, the free-space
    // offer, then any later button of the panel that shows.
    const HWND buttons[] = {FinishButton, SaveLogButton.Handle(), SaveReportButton.Handle(), OfferFreeSpaceButton,
                            EraseAtNextStartButton};
    RECT panel{};
    ::GetClientRect(ResultPanel.Handle(), &panel);
    int right = panel.right - 4;
    for (HWND button : buttons) {
        if (!button || !(::GetWindowLongPtrW(button, GWL_STYLE) & WS_VISIBLE)) continue;
        ::SetWindowPos(button, nullptr, right - 120, panel.bottom - 34, 120, 28, SWP_NOZORDER | SWP_NOACTIVATE);
        right -= 124;
    }
}

// --- the free-space offer ---

void TMainWindow::NoteFreeSpaceOffer(EraseLevel level, bool leftSomething, const std::wstring& driveRoot) {
    freeSpaceOffer_.level = std::max(freeSpaceOffer_.level, level);
    if (!leftSomething || driveRoot.empty()) return;
    for (const std::wstring& drive : freeSpaceOffer_.drives)
        if (SameTextIgnoreCase(drive, driveRoot)) return;
    freeSpaceOffer_.drives.push_back(driveRoot);
}

void TMainWindow::ShowFreeSpaceOffer(bool powerOffFollows) {
    // The computer goes off after such a run: its log lines say what is left.
    const bool offered = !freeSpaceOffer_.drives.empty() && !powerOffFollows;
    ::ShowWindow(OfferFreeSpaceButton, offered ? SW_SHOWNA : SW_HIDE);
    LayOutResultButtons();
}

void TMainWindow::TakeFreeSpaceOffer() {
    if (visiblePanel_ != ContentPanel::Result || freeSpaceOffer_.drives.empty()) return;
    const FreeSpaceOffer offer = freeSpaceOffer_;
    FinishRun();
    OpenFreeSpaceFor(offer.drives, offer.level);
}

namespace {

// Asks where to save the report: the save dialog with the types "抹消レポート (*.html)" and
// "CSV (*.csv)" and an overwrite prompt. The form follows the extension of the name chosen,
// else the type chosen. Empty when cancelled.
std::wstring AskReportFileToSave(HWND owner, const std::wstring& proposedName, ReportForm& form) {
    std::vector<wchar_t> file(32768, L'\0');
    proposedName.copy(file.data(), std::min(proposedName.size(), file.size() - 1));
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = L"抹消レポート (*.html)\0*.html\0CSV (*.csv)\0*.csv\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrDefExt = L"html";
    dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_ENABLESIZING |
                   OFN_NOCHANGEDIR;
    if (!::GetSaveFileNameW(&dialog)) return {};
    const std::wstring path = file.data();
    if (!ReportFormOf(path, form)) form = dialog.nFilterIndex == 2 ? ReportForm::Csv : ReportForm::Html;
    return path;
}

}  // namespace

void TMainWindow::SaveReport() {
    if (!runReport_ || !runReport_->Begun()) return;
    ReportForm form = ReportForm::Html;
    const std::wstring path = AskReportFileToSave(Handle(), application_.Title() + L"抹消レポート.html", form);
    if (path.empty()) return;
    ::SetLastError(ERROR_SUCCESS);
    if (!WriteErasureReport(path, form, runReport_->Report())) ShowSaveFailure(Handle(), path, ::GetLastError());
}
