#pragma once

// Seams through which tests watch and steer the engine's contact with the system. The
// program never changes them; each default calls the system.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/EraseFunc.h"

// A moment in the life of one overwrite, handed to an observer with the open file. The
// file is open for reading too while an observer is installed; the observer may move the
// file position (the engine sets it again afterwards).
struct OverwriteEvent {
    enum Kind { PassEnd, BeforeCut } kind;
    int passesDone;  // passes completed so far
    HANDLE file;
};

struct EraseSeams {
    std::function<void(const OverwriteEvent&)> observer;
    // Stand-ins for WriteFile and FlushFileBuffers.
    std::function<BOOL(HANDLE, const void*, DWORD, DWORD*)> writeFile;
    std::function<BOOL(HANDLE)> flushFile;
    // Stand-in for GetTickCount64, the clock that spaces the display and message servicing.
    std::function<ULONGLONG()> clock;
    // Stand-in for the listing of a file's streams (FindFirstStreamW/FindNextStreamW): fills
    // the names as the system gives them ("::$DATA", ":name:$DATA"); false when the listing
    // fails, which counts as a file without named streams.
    std::function<bool(const std::wstring& path, std::vector<std::wstring>& names)> listStreams;
};

// Replaces the seams and returns the previous ones.
EraseSeams SetEraseSeams(EraseSeams seams);

// The platform calls of `PowerOffComputer`.
struct PowerOffCalls {
    DWORD (*platformId)();  // VER_PLATFORM_WIN32_WINDOWS, VER_PLATFORM_WIN32_NT or another value
    BOOL (*openProcessToken)(DWORD access, HANDLE* token);
    BOOL (*lookupPrivilegeValue)(const wchar_t* name, LUID* luid);
    BOOL (*adjustTokenPrivileges)(HANDLE token, const TOKEN_PRIVILEGES* privileges);
    BOOL (*exitWindowsEx)(UINT flags, DWORD reason);
    void (*closeHandle)(HANDLE handle);
};

// Replaces the calls and returns the previous ones.
PowerOffCalls SetPowerOffCalls(PowerOffCalls calls);
