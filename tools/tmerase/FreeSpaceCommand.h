#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "common/Types.h"

class ErasureRecorder;

// tmerase --free-space: cleans up what an earlier run left, then overwrites the free space of
// the volume `folder` lies on. Prints a progress line every few seconds and a result line
// through `print`; 0 when the free space was overwritten and everything made was removed.
// `abort` ends the run (Ctrl+C sets it).
//
// The fill holds the disk full, so the end of the console or the session ends the run and
// deletes the fill first, within the few seconds Windows allows: the console handler
// `FreeSpaceConsoleEvent` (installed while the command runs) sets `abort` and waits for the
// cleanup; logoff and shutdown reach a program that loads user32 only through its windows, so
// the command keeps a hidden top-level window of the class `kFreeSpaceSessionClass` that
// answers WM_QUERYENDSESSION (no while the run works) and WM_ENDSESSION (cleans up before it
// returns) as the program's window does.
// With `report`, the drive goes into it as one row (the result lines as its reason).
int RunFreeSpaceCommand(const std::wstring& folder, EraseLevel level, const std::function<void(const std::wstring&)>& print,
                        std::atomic<bool>& abort, ErasureRecorder* report = nullptr);

inline constexpr wchar_t kFreeSpaceSessionClass[] = L"TIDEMARROW32SE.tmerase.FreeSpace";

// The console handler (also the seam through which tests deliver console events): for the
// close, logoff and shutdown events of a running command it ends the run and returns, TRUE,
// once the cleanup is done (or after a few seconds); FALSE for every other event.
BOOL WINAPI FreeSpaceConsoleEvent(DWORD event);
