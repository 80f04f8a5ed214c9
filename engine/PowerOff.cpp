#include <utility>

#include "engine/EraseFunc.h"
#include "engine/EraseSeams.h"

namespace {

DWORD SystemPlatformId() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(&version)) return 0;
#pragma GCC diagnostic pop
    return version.dwPlatformId;
}

BOOL SystemOpenProcessToken(DWORD access, HANDLE* token) {
    return ::OpenProcessToken(::GetCurrentProcess(), access, token);
}

BOOL SystemLookupPrivilegeValue(const wchar_t* name, LUID* luid) {
    return ::LookupPrivilegeValueW(nullptr, name, luid);
}

BOOL SystemAdjustTokenPrivileges(HANDLE token, const TOKEN_PRIVILEGES* privileges) {
    return ::AdjustTokenPrivileges(token, FALSE, const_cast<TOKEN_PRIVILEGES*>(privileges), 0, nullptr, nullptr);
}

BOOL SystemExitWindowsEx(UINT flags, DWORD reason) { return ::ExitWindowsEx(flags, reason); }

void SystemCloseHandle(HANDLE handle) {
    if (handle) ::CloseHandle(handle);
}

PowerOffCalls& Calls() {
    static PowerOffCalls calls{SystemPlatformId,           SystemOpenProcessToken, SystemLookupPrivilegeValue,
                               SystemAdjustTokenPrivileges, SystemExitWindowsEx,   SystemCloseHandle};
    return calls;
}

}  // namespace

PowerOffCalls SetPowerOffCalls(PowerOffCalls calls) { return std::exchange(Calls(), calls); }

void PowerOffComputer() {
    const PowerOffCalls& calls = Calls();
    switch (calls.platformId()) {
        case VER_PLATFORM_WIN32_WINDOWS:
            calls.exitWindowsEx(EWX_SHUTDOWN | EWX_FORCE, 0);
            break;
        case VER_PLATFORM_WIN32_NT: {
            // The results are not examined: without the privilege the request is simply refused.
            HANDLE token = nullptr;
            calls.openProcessToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token);
            TOKEN_PRIVILEGES privileges{};
            calls.lookupPrivilegeValue(SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
            privileges.PrivilegeCount = 1;
            privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
            calls.adjustTokenPrivileges(token, &privileges);
            calls.exitWindowsEx(EWX_POWEROFF, 0);
            calls.closeHandle(token);
            break;
        }
        default:
            break;
    }
}
