// "ごみ箱の抹消": the question over the current user's Recycle Bin on the fixed drives, then a
// run over its items with the run display, log and result panel of a file run.

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/HandOver.h"
#include "app/MainWindow.h"
#include "common/Assertions.h"
#include "common/Paths.h"
#include "diagnostics/SystemInfo.h"
#include "dialogs/OsterlanActionImages.h"
#include "engine/EraseFunc.h"
#include "engine/FileHolders.h"
#include "engine/RecycleBin.h"
#include "notify/CompanionNotify.h"
#include "report/ErasureReport.h"
#include "settings/ConfigWindow.h"

namespace {

const wchar_t kCaption[] = L"確認";
const wchar_t kNothingToErase[] = L"ごみ箱に抹消する項目はありません。";
const wchar_t* const kCustomTags[] = {L"[S]", L"[N]", L"[H]"};

std::wstring JoinForeignMessages(const std::vector<RecycleBinDrive>& drives) {
    std::wstring text;
    for (const auto& drive : drives)
        if (drive.foreign) text += ForeignRecycleBinMessage(drive.root) + L"\r\n";
    return text;
}

}  // namespace

bool HandOverRecycleBin(HWND window) {
    COPYDATASTRUCT data{};
    data.dwData = kRecycleBinHandOverTag;
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 10000,
                                 &result) != 0 &&
           result != 0;
}

bool TMainWindow::ReceiveRecycleBinHandOver() {
    if (Busy || visiblePanel_ != ContentPanel::List || !application_.Config() || application_.Terminated() ||
        !::IsWindowEnabled(Handle()))
        return false;
    // Posted: the later start never waits on the question.
    ::PostMessageW(Handle(), WM_COMMAND, MAKEWPARAM(ui::kFirstActionCommand + Command::EraseRecycleBin, 0), 0);
    return true;
}

void TMainWindow::EraseRecycleBin() {
    // Only over the list, with no job running.
    if (Busy || visiblePanel_ != ContentPanel::List) return;
    const std::vector<RecycleBinDrive> drives = FindRecycleBins();
    if (RecycleItemCount(drives) == 0) {
        const std::wstring text = JoinForeignMessages(drives) + kNothingToErase;
        ::MessageBoxW(Handle(), text.c_str(), application_.Title().c_str(), MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (::MessageBoxW(Handle(), RecycleBinQuestion(drives).c_str(), kCaption, MB_YESNO | MB_ICONWARNING) != IDYES)
        return;
    RunRecycleBinErase(drives);
}

void TMainWindow::RunRecycleBinErase(const std::vector<RecycleBinDrive>& drives) {
    TConfigWindow* config = application_.Config();
    const int count = static_cast<int>(RecycleItemCount(drives));
    bool failed = false;
    std::optional<WritingJob> writing;
    try {
        BeginRun(writing);
        const EraseMode mode = config ? config->CurrentEraseMode() : EraseMode::Speed;
        WriteLogHeader(count, count);
        const bool verify = config && config->Verify();
        BeginRunReport(mode, verify);
        for (const auto& drive : drives)
            if (drive.foreign) AppendLogLine(ForeignRecycleBinMessage(drive.root));
        ::SendMessageW(OverallProgress, PBM_SETRANGE32, 0, static_cast<LPARAM>(count));
        runDisplay_.total = count;
        ShowOverallProgress(0, count);

        int processed = 0;
        int verified = 0;
        for (const auto& drive : drives) {
            for (const auto& item : drive.items) {
                const std::wstring name = item.LogName();
                const std::wstring& reportPath = item.originalPath.empty() ? name : item.originalPath;
                if (AbortRequested) {
                    // Items after a Stop are not touched; the report lists them as not reached.
                    runReport_->RecordFile(reportPath, static_cast<std::int64_t>(item.size), 0, L"",
                                           FileResult::NotReached, L"", L"");
                    continue;
                }
                runDisplay_.currentFile = name;
                EraseLevel level = static_cast<EraseLevel>(mode);
                if (mode == EraseMode::Custom) {
                    // The level of the original name's extension (of the entry's name when unknown).
                    const std::wstring& known = !item.originalPath.empty() ? item.originalPath
                                                : !item.contentPath.empty() ? item.contentPath
                                                                            : item.recordPath;
                    level = config ? config->CustomLevelFor(ExtractFileExt(known)) : EraseLevel::Speed;
                    const int index = static_cast<int>(level);
                    runDisplay_.mode = std::wstring(L"モード:Custom") + (index >= 0 && index <= 2 ? kCustomTags[index] : L"");
                }
                if (RunDisplayDue()) ShowRunDisplay();
                ReadBack readBack = ReadBack::NotChecked;
                Leftover leftover = Leftover::None;
                const bool erased = EraseRecycleItem(item, level, FileProgress, PercentLabel,
                                                     verify ? &readBack : nullptr, &leftover);
                NoteFreeSpaceOffer(level, leftover != Leftover::None, drive.root);
                if (erased && readBack == ReadBack::Matched) ++verified;
                ++processed;
                runDisplay_.done = processed;
                const std::wstring line = L"ファイル名:" + name + RecycleItemLogEnding(item, erased, readBack, leftover);
                AppendLogLine(line);
                // What the passes wrote is known per file, not per item: the report leaves it open.
                runReport_->RecordFile(reportPath, static_cast<std::int64_t>(item.size), -1, LevelText(level),
                                       ReportResultOf(erased, readBack, AbortRequested), line,
                                       ReportVerifyText(readBack));
            }
        }
        WriteLogFooter(processed, verify ? std::optional<int>(verified) : std::nullopt);
        ShowRunDisplay();
        RefreshRecycleBinIcon();
    } catch (...) {
        failed = true;
    }

    // The end steps, however the run ended.
    writing.reset();
    try {
        if (runReport_) runReport_->End(AbortRequested);
        ShowFreeSpaceOffer(false);  // no power-off follows this run
        ShowContentPanel(ContentPanel::Result);
        if (notifier_) NotifyCompanion(*notifier_, config, CompanionNotice::RunEnd);
        if (config) config->PlayCompletionSound();
        if (busyAnimation_) busyAnimation_->Stop();
    } catch (...) {
        failed = true;
    }
    if (failed) RaiseAssertion(AssertSite::MainRunUnknown);
}
