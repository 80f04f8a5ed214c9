// The end of the Windows session (log off, shut down, restart, and the program's own power-off
// after a run): refused while a job writes files or erases traces, otherwise the settings and
// the list left for the next start are saved as a confirmed close would save them.

#include <windows.h>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "common/Assertions.h"
#include "settings/ConfigWindow.h"

namespace {

const wchar_t kBlockReason[] = L"ファイルの抹消中です";

// The shutdown block reason calls exist from Windows Vista on; found at run time.
using BlockReasonCreate = BOOL(WINAPI*)(HWND, LPCWSTR);
using BlockReasonDestroy = BOOL(WINAPI*)(HWND);

// The call of user32 by that name as type `Call`; null where the system has none.
template <typename Call>
Call User32Call(const char* name) {
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    FARPROC call = user32 ? ::GetProcAddress(user32, name) : nullptr;
    // Through the generic function type, which any function pointer may pass.
    return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(call));
}

void SetBlockReason(HWND window, bool blocked) {
    if (!window) return;
    if (blocked) {
        if (auto create = User32Call<BlockReasonCreate>("ShutdownBlockReasonCreate"))
            create(window, kBlockReason);
    } else if (auto destroy = User32Call<BlockReasonDestroy>("ShutdownBlockReasonDestroy")) {
        destroy(window);
    }
}

}  // namespace

TMainWindow::WritingJob::WritingJob(TMainWindow& window) : window_(window) {
    if (window_.writingJobs_++ == 0) SetBlockReason(window_.Handle(), true);
}

TMainWindow::WritingJob::~WritingJob() {
    if (--window_.writingJobs_ == 0) SetBlockReason(window_.Handle(), false);
}

bool TMainWindow::QueryEndSession() const { return !WritingJobInProgress(); }

void TMainWindow::EndSession(bool ending) {
    if (!ending || sessionEnded_) return;
    sessionEnded_ = true;
    // A free-space run that is still going (the session was ended regardless) deletes its fill first.
    StopFreeSpaceAndCleanUp();
    TConfigWindow* config = application_.Config();
    if (!config) return;
    try {
        // The list goes where a confirmed close would write it; nothing is shown, and a file
        // that cannot be written is told to the error report.
        if (config->WarningClose() && config->AutoIn() && FileList.RowCount() > 0) ExportListForNextStart();
        config->SetSaveFailureNotice(SaveFailureNotice::ReportWithPath);
        config->SaveSettings();
    } catch (...) {
        RaiseAssertion(AssertSite::ConfigIniWrite);
    }
}
