#pragma once

// The history tools' entries run without windows, for `tmerase --traces` and the window
// program's scheduled start (`/Traces`): the entries named by their command names, the levels
// of the profile's "Config.ini", the panel's rules (a running browser keeps its entries, an
// open Internet Explorer window keeps its own), and one line per entry or thing left.
//
//   const TraceRunResult result = RunTraceEntries(*ParseTraceEntries(L"recent,firefox-history"), folder, false);
//   for (const std::wstring& line : result.lines) print(line);
//   return result.status;

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "common/Types.h"
#include "history/TraceOutcome.h"

// The entries of a comma-separated list in the order given, each once; nothing when a name is
// unknown or the list is empty.
std::optional<std::vector<std::uint16_t>> ParseTraceEntries(const std::wstring& list);
// The command names of the entries joined by ",", as `ParseTraceEntries` reads them.
std::wstring TraceEntryList(const std::vector<std::uint16_t>& entries);

// The lines for the entries: "<entry>: 抹消しました" for one that left nothing, "<entry>: " and
// the reason for one passed over, and the completion message's line (without "・") for each
// file it left.
std::vector<std::wstring> TraceReportLines(const std::vector<std::uint16_t>& entries, const TraceOutcome& outcome);

// One folder name (a profile under "User"): no separators, no drive, not "." or "..".
bool IsOneFolderName(const std::wstring& name);

// The levels of the cookies, the cache and the recent files (and browsers' history files), as
// the settings window reads them from the profile's "Config.ini": an index 0..2, anything else
// the fastest level.
std::array<EraseLevel, 3> ProfileHistoryLevels(const std::wstring& configPath);

struct TraceRunResult {
    int status = 1;                  // 0 every entry done (or a look before), 1 anything left
    std::vector<std::wstring> lines;  // one per entry, or per thing left
};

// Runs the entries with the profile folder's levels and kept cookie sites ("Savedat"). With
// `preview` nothing is changed: each entry's line says what it would erase ("<entry>: 12
// ファイル, 3.4 MB", "250 行", or why it would not run), and the status is 0.
TraceRunResult RunTraceEntries(const std::vector<std::uint16_t>& entries, const std::wstring& profileFolder,
                               bool preview);

// The line of an entry left for the next run because another run of the history tools held
// the lock: "<entry>: " + kTracesBusyReason.
inline constexpr const wchar_t* kTracesBusyReason = L"ほかの履歴抹消が実行中のため抹消しませんでした (次回に行います)";

// The history tools' runs of one session take turns: the panel's and the scheduled start's.
inline constexpr const wchar_t* kTraceRunMutexName = L"Local\\TIDEMARROW32SE.Traces";
// How long a run waits for the other one, in milliseconds (a minute); tests set it shorter.
DWORD TraceRunLockWait();
void SetTraceRunLockWait(DWORD milliseconds);

// Holds the session's history-tools lock while it lives. `service` (may be empty) is called
// whenever messages arrive during the wait, for a caller with windows.
class TraceRunLock {
public:
    TraceRunLock() = default;
    ~TraceRunLock() { Release(); }
    TraceRunLock(const TraceRunLock&) = delete;
    TraceRunLock& operator=(const TraceRunLock&) = delete;

    // True when the lock is held: taken within `waitMs`, or left behind by a run that ended
    // without releasing it.
    bool Acquire(DWORD waitMs, const std::function<void()>& service = {});
    void Release();

private:
    UniqueKernelHandle mutex_;
    bool held_ = false;
};
