#pragma once

// The erase engine: destroys one file in place and gathers the entries of a folder.
// Everything here runs on the caller's thread; `OverwriteFile` keeps a window alive by
// servicing pending messages at every progress tick (through the servicer the application
// installs) and then reads the abort flag it was handed.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/Types.h"

// Words written between two progress ticks.
constexpr int kWordsPerTick = 150;
// At a tick the display is updated and messages are serviced only when at least this many
// milliseconds have passed since the last servicing (or the start of the file); the abort
// flag is read at every tick.
constexpr ULONGLONG kServiceIntervalMs = 15;

// The clock that spaces the display and the message servicing, in milliseconds: the system's
// tick count unless a test's seam replaces it. Front ends space their own displays by it too.
ULONGLONG ServiceClockNow();

// What the engine needs from the program around it. Installed once at start.
struct EraseEnvironment {
    // Read at every progress tick; a set flag ends the writing of the current file, which then
    // stays uncut under its own name (the result is false).
    const std::atomic<bool>* abortRequested = nullptr;
    // Services all pending window messages of the application; none when there is no window.
    // Called at a tick once the service interval has passed.
    void (*serviceMessages)() = nullptr;
    // Told each percentage the display shows (0 at the start, changes at ticks, 100 at the end),
    // for front ends without controls.
    std::function<void(int percent)> progress;
};

// Replaces the environment and returns the previous one.
EraseEnvironment SetEraseEnvironment(EraseEnvironment environment);
const EraseEnvironment& CurrentEraseEnvironment();

// Overwrites the file in place with the passes of `level`, cuts it to nothing, renames it to
// "$" + name (when no such file exists) and deletes it. `progressBar` (range 0..100) and
// `percentLabel` are both given or both null. True only when the file was opened, rewritten
// completely without error and deleted; a refused write or an abort leaves it uncut.
bool OverwriteFile(const std::wstring& fileName, EraseLevel level, HWND progressBar = nullptr,
                   HWND percentLabel = nullptr);

// Done × 100 / Total, truncated toward zero; 0 when Done is 0.
std::int64_t ProgressPercent(std::int64_t done, std::int64_t total);

// The file's length in bytes, or -1 (with an "Out of zero" report) when it cannot be opened
// for reading with sharing denied.
std::int64_t FileSizeOf(const std::wstring& fileName);

// Asks the system to shut down and switch the machine off.
void PowerOffComputer();

// One entry met by a folder scan.
struct FolderEntry {
    std::wstring path;  // the folder, "\" and the name
    std::wstring name;  // the name as the folder lists it
    bool folder = false;       // a folder that was not descended into
    bool link = false;         // a folder that is a junction or symbolic link (never descended into)
    bool addressable = true;   // false: the name cannot follow "folder\" and `path` names something else
};

// Hands every entry of `folder` to `take`, depth first when `recurse` (folders that are
// descended into are not handed over themselves); a failure inside `take` ends the scan of
// that folder.
void CollectFolderEntries(const std::wstring& folder, const std::wstring& mask,
                          const std::function<void(const FolderEntry&)>& take, bool recurse);

// Appends the full paths of the entries of `folder` to `list` (depth first when `recurse`).
// `mask`, when not empty, is appended to `folder` to form the search pattern ("\*.txt").
void CollectFolder(const std::wstring& folder, const std::wstring& mask, std::vector<std::wstring>& list,
                   bool recurse);
// The same, handing each path to `append`; a failure inside `append` ends the scan of that folder.
// Both leave out entries whose names cannot be addressed as folder + "\" + name.
void CollectFolder(const std::wstring& folder, const std::wstring& mask,
                   const std::function<void(const std::wstring&)>& append, bool recurse);
