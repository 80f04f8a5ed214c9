#include "app/ScheduledTraces.h"

#include <windows.h>
#include <objbase.h>

#include "app/MainWindow.h"
#include "common/Paths.h"
#include "history/IeErase.h"
#include "history/TraceLog.h"
#include "history/TraceRun.h"

namespace {

bool SameSwitch(const std::wstring& argument, const wchar_t* name) { return ::_wcsicmp(argument.c_str(), name) == 0; }

std::wstring NowText() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return TMainWindow::LogDateTime(now);
}

}  // namespace

int RunScheduledTraces(const std::vector<std::wstring>& arguments, const std::wstring& programFolder) {
    // "LIST /Profile NAME": the list first, the profile after its switch.
    std::wstring list, profile;
    bool usage = arguments.size() != 3 || !SameSwitch(arguments[1], kProfileSwitch);
    if (!usage) {
        list = arguments[0];
        profile = arguments[2];
    }
    const std::wstring folder = programFolder + L"User\\" + profile;
    if (usage || !IsOneFolderName(profile) || !DirectoryExists(folder)) return 2;
    const std::wstring log = folder + L"\\Savedat\\" + kTraceLogName;
    ::CreateDirectoryW((folder + L"\\Savedat").c_str(), nullptr);

    const std::optional<std::vector<std::uint16_t>> entries = ParseTraceEntries(list);
    if (!entries) {
        AppendTraceLog(log, NowText(), {L"抹消対象 \"" + list + L"\" がわかりません。"});
        return 2;
    }
    TraceRunLock lock;
    TraceRunResult result;
    if (lock.Acquire(TraceRunLockWait())) {
        result = RunTraceEntries(*entries, folder, false);
    } else {
        for (std::uint16_t entry : *entries) result.lines.push_back(TIE_ERASE::CommandName(entry) + L": " + kTracesBusyReason);
        result.status = 1;
    }
    lock.Release();
    AppendTraceLog(log, NowText(), result.lines);
    return result.status;
}

int RunUnschedule() {
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const HRESULT removed = RemoveTraceTask();
    if (SUCCEEDED(com)) ::CoUninitialize();
    return SUCCEEDED(removed) ? 0 : 1;
}
