#include "history/TraceRun.h"

#include <objbase.h>

#include <algorithm>

#include "engine/RecycleBin.h"
#include "history/CookieKeep.h"
#include "history/IeErase.h"
#include "history/RecycleBinEntry.h"
#include "settings/IniFile.h"

namespace {

DWORD g_lockWait = 60 * 1000;

}  // namespace

std::optional<std::vector<std::uint16_t>> ParseTraceEntries(const std::wstring& list) {
    std::vector<std::uint16_t> entries;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(L',', start), list.size());
        const std::uint16_t target = TIE_ERASE::TargetOfCommandName(list.substr(start, end - start));
        if (target == 0) return std::nullopt;
        if (std::find(entries.begin(), entries.end(), target) == entries.end()) entries.push_back(target);
        start = end + 1;
    }
    return entries;
}

std::wstring TraceEntryList(const std::vector<std::uint16_t>& entries) {
    std::wstring list;
    for (std::uint16_t entry : entries) list += (list.empty() ? L"" : L",") + TIE_ERASE::CommandName(entry);
    return list;
}

std::vector<std::wstring> TraceReportLines(const std::vector<std::uint16_t>& entries, const TraceOutcome& outcome) {
    std::vector<std::wstring> lines;
    for (std::uint16_t entry : entries) {
        const std::wstring name = TIE_ERASE::CommandName(entry) + L": ";
        if (!outcome.EntryLeft(entry)) lines.push_back(name + L"抹消しました");
        for (const TraceLeft& item : outcome.left) {
            if (item.target != entry) continue;
            lines.push_back(IsLeftReason(item.what) ? name + item.what
                                                    : TIE_ERASE::EntryName(entry) + L": " + item.what);
        }
    }
    return lines;
}

bool IsOneFolderName(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos;
}

std::array<EraseLevel, 3> ProfileHistoryLevels(const std::wstring& configPath) {
    const IniSection ini(configPath, L"TIDEMARROW");
    const auto level = [&ini](const wchar_t* key, int fallback) {
        const int index = ini.ReadInteger(key, fallback);
        return index >= 0 && index <= 2 ? static_cast<EraseLevel>(index) : EraseLevel::Speed;
    };
    return {level(L"#IE_TOOLS_02", 1), level(L"#IE_TOOL_01", 0), level(L"#E_TOOLS_01", 0)};
}

TraceRunResult RunTraceEntries(const std::vector<std::uint16_t>& entries, const std::wstring& profileFolder,
                               bool preview) {
    std::uint16_t targets = 0;
    for (std::uint16_t entry : entries) targets |= entry;
    const std::array<EraseLevel, 3> levels = ProfileHistoryLevels(profileFolder + L"\\Config.ini");

    // The URL history object is a COM object of this thread.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    TraceRunResult result;
    try {
        TIE_ERASE eraser(targets, levels[0], levels[1], levels[2]);
        eraser.SetKeptCookieSites(ReadKeptCookieSites(profileFolder + L"\\Savedat"));
        // The Recycle Bin's entry goes after the traces, at the recent files' level, with no
        // question: it was chosen when the run was set up.
        const bool recycleBin = (targets & TIE_ERASE::RecycleBin) != 0;
        if (preview) {
            std::vector<EntryPreview> previews;
            if (eraser.Targets()) previews = eraser.Preview();
            if (recycleBin) previews.push_back(RecycleBinPreview(FindRecycleBins()));
            for (std::uint16_t entry : entries)
                for (const EntryPreview& item : previews)
                    if (item.target == entry) result.lines.push_back(TIE_ERASE::CommandName(entry) + L": " + PreviewText(item));
            result.status = 0;
        } else {
            TraceOutcome outcome;
            if (eraser.Targets()) outcome = eraser.EraseTraces(nullptr);
            if (recycleBin) EraseRecycleBinEntry(FindRecycleBins(), levels[2], outcome);
            result.lines = TraceReportLines(entries, outcome);
            result.status = outcome.left.empty() ? 0 : 1;
        }
    } catch (...) {
        // The history step of Internet Explorer leaves through here when its object is missing.
        result.lines.push_back((targets & TIE_ERASE::History)
                                   ? TIE_ERASE::CommandName(TIE_ERASE::History) + L": 抹消できませんでした"
                                   : std::wstring(L"処理を完了できませんでした。"));
        result.status = 1;
    }
    if (SUCCEEDED(com)) ::CoUninitialize();
    return result;
}

DWORD TraceRunLockWait() { return g_lockWait; }
void SetTraceRunLockWait(DWORD milliseconds) { g_lockWait = milliseconds; }

bool TraceRunLock::Acquire(DWORD waitMs, const std::function<void()>& service) {
    if (held_) return true;
    if (!mutex_) mutex_.reset(::CreateMutexW(nullptr, FALSE, kTraceRunMutexName));
    if (!mutex_) return false;
    const ULONGLONG deadline = ::GetTickCount64() + waitMs;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        HANDLE handle = mutex_.get();
        const DWORD answer = service ? ::MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_ALLINPUT)
                                     : ::WaitForSingleObject(handle, left);
        if (answer == WAIT_OBJECT_0 || answer == WAIT_ABANDONED_0) return held_ = true;
        if (service && answer == WAIT_OBJECT_0 + 1) {
            service();
            continue;
        }
        return false;
    }
}

void TraceRunLock::Release() {
    if (held_) ::ReleaseMutex(mutex_.get());
    held_ = false;
}
