#pragma once

// The window program's starts without a window: the scheduled run of the history tools
// ("/Traces e1,e2 /Profile NAME") and the uninstaller's removal of the task ("/Unschedule").
// Neither looks for a running main window nor shows anything.

#include <string>
#include <vector>

#include "history/TraceSchedule.h"

// Runs the entries of "/Traces LIST /Profile NAME" (`arguments` after "/Traces") for the
// profile under `programFolder` + "User", after the session's history-tools lock (waiting at
// most `TraceRunLockWait()`; without it every entry is left for the next run), and appends the
// lines to the profile's "Savedat\TraceLog.txt". 0 all done, 1 anything left, 2 a usage error
// (logged when the profile exists).
int RunScheduledTraces(const std::vector<std::wstring>& arguments, const std::wstring& programFolder);

// Removes the current user's task; 0 when it is gone (or there was none), 1 otherwise.
int RunUnschedule();
