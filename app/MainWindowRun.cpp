// The erase run: the confirmation, the walk over the ticked rows with its progress, the run
// log, the completion actions, and the result panel's Finish, Save log, Save report and the
// offer of a free-space erase.

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "common/Assertions.h"
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

namespace {

const wchar_t kStartCaption[] = L"確認";
const wchar_t kStartText[] = L"処理を開始します\u3000よろしいですか？\u3000";

const wchar_t kLogFileLead[] = L"ファイル名:";
const wchar_t kLogCompleted[] = L"処理が終了しました。";
const wchar_t kLogStopped[] = L"処理を中止しました。";

const wchar_t* const kCustomTags[] = {L"[S]", L"[N]", L"[H]"};

const wchar_t* const kModeNames[] = {L"Speed", L"Normal", L"High", L"Custom"};

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

void TMainWindow::AppendLogLine(const std::wstring& line) { runDisplay_.logLines.push_back(line); }

std::vector<std::wstring> TMainWindow::EraseLogLines() const {
    std::vector<std::wstring> lines = EraseLog.Lines();
    lines.insert(lines.end(), runDisplay_.logLines.begin(), runDisplay_.logLines.end());
    return lines;
}

// --- the run's display ---

bool TMainWindow::RunDisplayDue() {
    const ULONGLONG now = ServiceClockNow();
    if (runDisplay_.shownOnce && now - runDisplay_.shownAt < kRunDisplayIntervalMs) return false;
    runDisplay_.shownOnce = true;
    runDisplay_.shownAt = now;
    return true;
}

void TMainWindow::ShowRunDisplay() {
    RunDisplay& display = runDisplay_;
    if (display.currentFile) ::SetWindowTextW(CurrentFileLabel, display.currentFile->c_str());
    if (display.mode) StatusBar.SetText(0, *display.mode);
    if (display.done) ShowOverallProgress(*display.done, display.total);
    display.currentFile.reset();
    display.mode.reset();
    display.done.reset();
    // The lines go in together, in the order they came.
    EraseLog.Append(display.logLines);
    display.logLines.clear();
}

void TMainWindow::StartRunDisplayTimer(bool on) {
    // While one long file is written the engine services the window's messages, and the timer
    // brings what waits to the controls.
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
    runDisplay_ = RunDisplay{};
    freeSpaceOffer_ = FreeSpaceOffer{};
    filesInUse_.clear();
    erasedRows_.clear();
    EraseLog.Clear();
    if (busyAnimation_) busyAnimation_->Start();
}

EraseOutcome TMainWindow::EraseRowFile(const std::wstring& path, EraseLevel level, bool verify) {
    return EraseFile(path, level, FileProgress, PercentLabel, verify);
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
        runDisplay_.total = ticked;
        ShowRunDisplay();
        StartRunDisplayTimer(true);

        // The display reaches the controls every few tens of milliseconds, not for every file;
        // at those moments the window's messages are serviced too, so Stop is seen between
        // files however small they are.
        const auto serviceMessages = CurrentEraseEnvironment().serviceMessages;
        int processed = 0;
        EraseRunNotes runNotes;
        int verified = 0;
        for (int row = 0; row < FileList.RowCount(); ++row) {
            if (!FileList.IsTicked(row)) continue;
            const std::wstring path = FileList.Text(row, 4);
            EraseLevel level = static_cast<EraseLevel>(mode);
            if (mode == EraseMode::Custom) level = config ? config->CustomLevelFor(ExtractFileExt(path)) : EraseLevel::Speed;
            if (!AbortRequested) {
                runDisplay_.currentFile = path;
                if (mode == EraseMode::Custom) {
                    const int index = static_cast<int>(level);
                    const wchar_t* tag = index >= 0 && index <= 2 ? kCustomTags[index] : L"";
                    runDisplay_.mode = std::wstring(L"モード:Custom") + tag;
                }
                if (RunDisplayDue()) {
                    if (serviceMessages) serviceMessages();
                    if (!AbortRequested) ShowRunDisplay();
                }
            }
            if (AbortRequested) {
                // Rows after a Stop are not touched; the report lists them as not reached.
                RecordRunFile(path, level, nullptr, L"");
                continue;
            }
            std::wstring line = kLogFileLead + ExtractFileName(path);
            const EraseOutcome outcome = EraseRowFile(path, level, verify);
            if (outcome.kind == EraseOutcome::Kind::Erased) erasedRows_[static_cast<std::size_t>(row)] = true;
            NoteFreeSpaceOffer(level, outcome.LeftSomething(), outcome.driveRoot);
            // A file another program holds names the programs holding it, and may be erased at
            // the next start.
            const bool refused = outcome.kind == EraseOutcome::Kind::NotErased && outcome.readBack == ReadBack::NotChecked;
            line += refused ? NotErasedEnding(path) : outcome.logEnding;
            if (refused && FileInUse(path)) filesInUse_.push_back({level, {}, path});
            if (outcome.readBack == ReadBack::Matched) ++verified;
            ++processed;
            runDisplay_.done = processed;
            // The notes on a drive or a synchronised folder come once, before its first file's line.
            for (const std::wstring& note : runNotes.Before(outcome)) {
                AppendLogLine(note);
                if (runReport_) runReport_->AddDriveNote(path, note);
            }
            AppendLogLine(line);
            RecordRunFile(path, level, &outcome, line);
        }

        if (highSpeed) {
            TESysteminfo(false).SetPriority(NORMAL_PRIORITY_CLASS);
            priorityRaised = false;
        }
        WriteLogFooter(processed, verify ? std::optional<int>(verified) : std::nullopt);
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
