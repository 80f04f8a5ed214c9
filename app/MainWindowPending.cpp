// Files erased at the next start: the result panel's "次回起動時に抹消する" after a run that met
// files another program held, the question at an ordinary start while the profile's list is
// not empty, and the erase of the listed files itself (at once in a /Pending start).

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "app/PendingList.h"
#include "common/Assertions.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "dialogs/OsterlanActionImages.h"
#include "diagnostics/LogWindow.h"
#include "engine/EraseFunc.h"
#include "engine/FileHolders.h"
#include "report/ErasureReport.h"
#include "settings/ConfigWindow.h"

namespace {

const wchar_t kChangedEnding[] = L"は指定後に変更されたため抹消しませんでした。";
const wchar_t kMarked[] = L"個のファイルを次回起動時に抹消します。";
const wchar_t kRunValueRefused[] =
    L"次回起動時に抹消するための登録が出来ませんでした。\r\nファイルは次に起動した時に抹消出来ます。";

// The mode the report names: the level all entries share, else Custom.
EraseMode ModeOf(const std::vector<PendingEntry>& entries) {
    for (const PendingEntry& entry : entries)
        if (entry.level != entries.front().level) return EraseMode::Custom;
    return entries.empty() ? EraseMode::Speed : static_cast<EraseMode>(entries.front().level);
}

}  // namespace

std::wstring TMainWindow::PendingListPath() const {
    TConfigWindow* config = application_.Config();
    return config ? config->ProfileFolder() + L"\\Savedat\\" + kPendingListFile : std::wstring();
}

// --- marking ---

void TMainWindow::OfferEraseAtNextStart() {
    ::EnableWindow(EraseAtNextStartButton, TRUE);
    ::ShowWindow(EraseAtNextStartButton, filesInUse_.empty() ? SW_HIDE : SW_SHOWNA);
    LayOutResultButtons();
}

void TMainWindow::MarkFilesForNextStart() {
    const std::wstring file = PendingListPath();
    if (file.empty() || filesInUse_.empty()) return;
    // Each file as it is now: a file changed or replaced later is not erased.
    std::vector<PendingEntry> marked;
    for (PendingEntry entry : filesInUse_)
        if (ReadFileIdentity(entry.path, entry.identity)) marked.push_back(entry);
    std::vector<PendingEntry> list;
    ::SetLastError(ERROR_SUCCESS);
    // A list that cannot be read is never written over.
    const std::wstring folder = application_.Config()->ProfileFolder() + L"\\Savedat";
    if (!DirectoryExists(folder)) ::CreateDirectoryW(folder.c_str(), nullptr);
    if (!ReadPendingList(file, list)) {
        ShowSaveFailure(Handle(), file, ::GetLastError());
        return;
    }
    MergePendingEntries(list, marked);
    if (!WritePendingList(file, list, application_.Title())) {
        ShowSaveFailure(Handle(), file, ::GetLastError());
        return;
    }
    if (!list.empty() && !WritePendingRunValue(ProfileName))
        ::MessageBoxW(Handle(), kRunValueRefused, application_.Title().c_str(), MB_OK | MB_ICONWARNING);
    ::EnableWindow(EraseAtNextStartButton, FALSE);
    EraseLog.Append({L"", std::to_wstring(marked.size()) + kMarked});
}

// --- the erase of the listed files ---

void TMainWindow::PostPendingWork() {
    const std::wstring file = PendingListPath();
    if (file.empty()) return;
    std::vector<PendingEntry> entries;
    if (!PendingStartProfile.empty() || (ReadPendingList(file, entries) && !entries.empty()))
        ::PostMessageW(Handle(), kPendingMessage, PendingStartProfile.empty() ? 0 : 1, 0);
}

void TMainWindow::ErasePendingFiles(bool atPendingStart) {
    if (Busy || visiblePanel_ != ContentPanel::List || application_.Terminated()) return;
    std::vector<PendingEntry> entries;
    if (!ReadPendingList(PendingListPath(), entries) || entries.empty()) {
        if (atPendingStart) {
            RemovePendingRunValue(ProfileName);
            application_.Terminate();
        }
        return;
    }
    if (!atPendingStart) {
        const std::wstring question = L"次回起動時に抹消するファイルが " + std::to_wstring(entries.size()) +
                                      L" 個あります。今すぐ抹消しますか？";
        if (::MessageBoxW(Handle(), question.c_str(), L"確認", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    }
    const bool clean = RunPendingErase(entries);
    if (!atPendingStart) return;
    // At logon nothing shows unless something needs the user's eyes.
    if (clean) {
        application_.Terminate();
        return;
    }
    application_.Restore();
    if (::IsIconic(Handle())) ::ShowWindow(Handle(), SW_RESTORE);
    ::SetForegroundWindow(Handle());
}

bool TMainWindow::RunPendingErase(const std::vector<PendingEntry>& entries) {
    TConfigWindow* config = application_.Config();
    const int count = static_cast<int>(entries.size());
    bool failed = false;
    bool problem = false;
    std::vector<PendingEntry> kept;
    std::optional<WritingJob> writing;
    try {
        BeginRun(writing, false);
        OfferEraseAtNextStart();
        WriteLogHeader(count, count);
        // Every file is read back: nothing shows unless something failed.
        BeginRunReport(ModeOf(entries), true);
        ::SendMessageW(OverallProgress, PBM_SETRANGE32, 0, static_cast<LPARAM>(count));
        runDisplay_.total = count;
        ShowOverallProgress(0, count);

        int processed = 0;
        int verified = 0;
        for (const PendingEntry& entry : entries) {
            if (AbortRequested) {
                kept.push_back(entry);
                RecordRunFile(entry.path, entry.level, nullptr, L"");
                continue;
            }
            runDisplay_.currentFile = entry.path;
            if (RunDisplayDue()) ShowRunDisplay();
            const std::wstring lead = L"ファイル名:" + ExtractFileName(entry.path);
            const PendingFacts facts = GatherPendingFacts(entry.path);
            const PendingAction action = DecidePending(entry.identity, facts);
            if (action == PendingAction::DropMissing) continue;
            if (action != PendingAction::Erase) {
                const std::wstring line =
                    lead + (action == PendingAction::DropChanged ? kChangedEnding : NotErasedEnding(entry.path));
                if (action == PendingAction::KeepHeld) kept.push_back(entry);
                problem = true;
                AppendLogLine(line);
                runReport_->RecordFile(entry.path, FileSizeByName(entry.path), 0, LevelText(entry.level),
                                       FileResult::NotProcessed, line, L"");
                continue;
            }
            const EraseOutcome outcome = EraseRowFile(entry.path, entry.level, true);
            NoteFreeSpaceOffer(entry.level, outcome.LeftSomething(), outcome.driveRoot);
            const bool refused = outcome.kind == EraseOutcome::Kind::NotErased && outcome.readBack == ReadBack::NotChecked;
            const std::wstring line = lead + (refused ? NotErasedEnding(entry.path) : outcome.logEnding);
            if (refused && FileInUse(entry.path)) kept.push_back(entry);
            if (outcome.readBack == ReadBack::Matched) ++verified;
            if (ReportResultOf(outcome, AbortRequested) != FileResult::Erased) problem = true;
            ++processed;
            runDisplay_.done = processed;
            AppendLogLine(line);
            RecordRunFile(entry.path, entry.level, &outcome, line);
        }
        WriteLogFooter(processed, verified);
        ShowRunDisplay();
        // The list keeps what is still held; the start entry goes with the last file.
        if (!WritePendingList(PendingListPath(), kept, application_.Title())) problem = true;
        if (kept.empty()) RemovePendingRunValue(ProfileName);
    } catch (...) {
        failed = true;
    }

    // The end steps, however the run ended: the log and the report of this erase replace the last ones.
    writing.reset();
    try {
        if (busyAnimation_) busyAnimation_->Stop();
        if (runReport_) runReport_->End(AbortRequested);
        ShowFreeSpaceOffer(false);
        if (config) {
            const std::wstring folder = config->ProfileFolder() + L"\\Savedat\\";
            if (!WriteTextFile(folder + kPendingLogFile, EraseLogLines())) problem = true;
            if (runReport_ && !WriteErasureReport(folder + kPendingReportFile, ReportForm::Html, runReport_->Report()))
                problem = true;
        }
        ShowContentPanel(ContentPanel::Result);
    } catch (...) {
        failed = true;
    }
    if (failed) RaiseAssertion(AssertSite::MainRunUnknown);
    return !failed && !problem;
}
