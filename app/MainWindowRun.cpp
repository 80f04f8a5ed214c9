// The erase run: the confirmation, the walk over the ticked rows with its progress, the run
// log, the completion actions, and the result panel's Finish and Save log.

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "common/Assertions.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "diagnostics/LogWindow.h"
#include "diagnostics/SystemInfo.h"
#include "dialogs/OsterlanActionImages.h"
#include "engine/EraseFunc.h"
#include "engine/FileHolders.h"
#include "notify/CompanionNotify.h"
#include "settings/ConfigWindow.h"

namespace {

const wchar_t kStartCaption[] = L"確認";
const wchar_t kStartText[] = L"処理を開始します\u3000よろしいですか？\u3000";
// The taskbar button is gone for this long before the run begins.
constexpr DWORD kHideDelayMs = 500;

const wchar_t kLogFileLead[] = L"ファイル名:";
const wchar_t kLogErased[] = L"をディスクから抹消しました。";
const wchar_t kLogCompleted[] = L"処理が終了しました。";
const wchar_t kLogStopped[] = L"処理を中止しました。";

const wchar_t* const kCustomTags[] = {L"[S]", L"[N]", L"[H]"};

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
    // Every line ends with CR LF in the memo, so an empty line is a line too.
    const std::wstring text = line + L"\r\n";
    const int length = ::GetWindowTextLengthW(EraseLog);
    ::SendMessageW(EraseLog, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
    ::SendMessageW(EraseLog, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    ::SendMessageW(EraseLog, EM_SCROLLCARET, 0, 0);
}

std::vector<std::wstring> TMainWindow::EraseLogLines() const { return SplitCrLf(ui::WindowText(EraseLog)); }

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

void TMainWindow::WriteLogFooter(int processed) {
    AppendLogLine(L"");
    AppendLogLine(AbortRequested ? kLogStopped : kLogCompleted);
    AppendLogLine(L"処理数:" + std::to_wstring(processed) + L"ファイル");
    AppendLogLine(L"終了日時:" + NowForLog());
    AppendLogLine(std::wstring(57, L'*'));
}

// --- the run ---

void TMainWindow::StartRun() {
    if (FileList.RowCount() == 0) return;
    if (::MessageBoxW(Handle(), kStartText, kStartCaption, MB_YESNO | MB_ICONWARNING) != IDYES) return;
    RunErase();
}

bool TMainWindow::EraseRowFile(const std::wstring& path, EraseLevel level) {
    return OverwriteFile(path, level, FileProgress, PercentLabel);
}

void TMainWindow::RunErase() {
    TConfigWindow* config = application_.Config();
    bool failed = false;
    bool priorityRaised = false;
    std::optional<WritingJob> writing;
    try {
        application_.ShowTaskbarButton(false);
        ::Sleep(kHideDelayMs);
        if (HWND report = ui::FindThreadWindow(TTIDEMARROW_LOG::kClassName, L"ErrorLog"))
            ::SendMessageW(report, WM_CLOSE, 0, 0);
        SaveWindowState();

        AbortRequested = false;
        Busy = true;
        writing.emplace(*this);
        const EraseMode mode = config ? config->CurrentEraseMode() : EraseMode::Speed;
        LockUserInterface(true);

        ShowContentPanel(ContentPanel::Running);
        const int ticked = CountTicked();
        ::SetWindowTextW(EraseLog, L"");
        if (busyAnimation_) busyAnimation_->Start();
        WriteLogHeader(ticked);

        ::SendMessageW(OverallProgress, PBM_SETRANGE32, 0, static_cast<LPARAM>(ticked));
        ::SendMessageW(OverallProgress, PBM_SETPOS, 0, 0);
        const bool highSpeed = config && config->EraseHighspeed();
        if (highSpeed) {
            TESysteminfo(false).SetPriority(HIGH_PRIORITY_CLASS);
            priorityRaised = true;
        }
        ShowOverallProgress(0, ticked);

        int processed = 0;
        for (int row = 0; row < FileList.RowCount(); ++row) {
            if (!FileList.IsTicked(row) || AbortRequested) continue;
            const std::wstring path = FileList.Text(row, 4);
            ::SetWindowTextW(CurrentFileLabel, path.c_str());
            std::wstring line = kLogFileLead + ExtractFileName(path);
            EraseLevel level = static_cast<EraseLevel>(mode);
            if (mode == EraseMode::Custom) {
                level = config ? config->CustomLevelFor(ExtractFileExt(path)) : EraseLevel::Speed;
                const int index = static_cast<int>(level);
                const wchar_t* tag = index >= 0 && index <= 2 ? kCustomTags[index] : L"";
                StatusBar.SetText(0, std::wstring(L"モード:Custom") + tag);
            }
            // A file another program holds names the programs holding it.
            line += EraseRowFile(path, level) ? kLogErased : NotErasedEnding(path);
            ++processed;
            ShowOverallProgress(processed, ticked);
            AppendLogLine(line);
        }

        if (highSpeed) {
            TESysteminfo(false).SetPriority(NORMAL_PRIORITY_CLASS);
            priorityRaised = false;
        }
        WriteLogFooter(processed);
    } catch (...) {
        failed = true;
    }

    // The end steps, however the run ended.
    writing.reset();
    try {
        application_.ShowTaskbarButton(true);
        // A run that raised the priority class never leaves the process there.
        if (priorityRaised) TESysteminfo(false).SetPriority(NORMAL_PRIORITY_CLASS);
        ShowContentPanel(ContentPanel::Result);
        if (notifier_) NotifyCompanion(*notifier_, config, CompanionNotice::RunEnd);
        if (config) config->PlayCompletionSound();
        if (busyAnimation_) busyAnimation_->Stop();
        if (config && config->PowerOffAfterRun()) {
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
    ShowContentPanel(ContentPanel::List);
    // The mode shows again as the profile has it (a Custom run showed each file's level).
    ShowEraseMode(false, true);
    ReloadFileList();
    if (SavedWindowState != 0) RestoreWindowState(SavedWindowState);
}

void TMainWindow::SaveLog() {
    const std::wstring path = AskTextFileToSave(Handle(), application_.Title() + L"ログ.txt");
    if (path.empty()) return;
    ::SetLastError(ERROR_SUCCESS);
    if (!WriteTextFile(path, EraseLogLines())) ShowSaveFailure(Handle(), path, ::GetLastError());
}
