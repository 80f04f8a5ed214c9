#include "tests/support/HostShell.h"

#include <windows.h>

#include <cstring>

std::string UnixNameOf(const std::wstring& path) {
    using Converter = char* (*)(const wchar_t*);
    const auto convert = reinterpret_cast<Converter>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = convert ? convert(path.c_str()) : nullptr;
    if (!name) return {};
    std::string text(name);
    ::HeapFree(::GetProcessHeap(), 0, name);
    return text;
}

bool RunHostShell(const std::string& command, const std::function<bool()>& done) {
    std::wstring line = L"/bin/sh -c \"" + std::wstring(command.begin(), command.end()) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(L"Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    for (const ULONGLONG deadline = ::GetTickCount64() + 10000; !done(); ::Sleep(20))
        if (::GetTickCount64() > deadline) return false;
    return true;
}
