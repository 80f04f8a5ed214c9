#include "engine/FileHolders.h"

#include <restartmanager.h>

#include <utility>

#include "common/FileSystem.h"
#include "common/Handles.h"

namespace {

FileHolderSeams& Seams() {
    static FileHolderSeams seams;
    return seams;
}

template <typename F>
F Lookup(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// The Restart Manager's answer; false when it is missing or fails. The session ends on every path.
bool QueryRestartManager(const std::wstring& path, std::vector<std::wstring>& names) {
    HMODULE module = ::LoadLibraryW(L"rstrtmgr.dll");
    if (!module) return false;
    struct Library {
        HMODULE module;
        ~Library() { ::FreeLibrary(module); }
    } library{module};
    using Start = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
    using Register = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*);
    using GetList = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, LPDWORD);
    using End = DWORD(WINAPI*)(DWORD);
    const auto start = Lookup<Start>(module, "RmStartSession");
    const auto registerResources = Lookup<Register>(module, "RmRegisterResources");
    const auto getList = Lookup<GetList>(module, "RmGetList");
    const auto end = Lookup<End>(module, "RmEndSession");
    if (!start || !registerResources || !getList || !end) return false;
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (start(&session, 0, key) != ERROR_SUCCESS) return false;
    struct Session {
        End end;
        DWORD handle;
        ~Session() { end(handle); }
    } owner{end, session};
    LPCWSTR files[] = {path.c_str()};
    if (registerResources(session, 1, files, 0, nullptr, 0, nullptr) != ERROR_SUCCESS) return false;
    std::vector<RM_PROCESS_INFO> infos;
    for (int attempt = 0; attempt < 3; ++attempt) {
        UINT needed = 0;
        UINT count = static_cast<UINT>(infos.size());
        DWORD reasons = 0;
        const DWORD status = getList(session, &needed, &count, infos.empty() ? nullptr : infos.data(), &reasons);
        if (status == ERROR_SUCCESS) {
            for (UINT i = 0; i < count && i < infos.size(); ++i) names.push_back(infos[i].strAppName);
            return true;
        }
        if (status != ERROR_MORE_DATA) return false;
        infos.resize(needed);
    }
    return false;
}

}  // namespace

FileHolderSeams SetFileHolderSeams(FileHolderSeams seams) {
    std::swap(Seams(), seams);
    return seams;
}

bool FileInUse(const std::wstring& path) {
    UniqueFile file(FsCreateFile(path, GENERIC_WRITE, 0, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT));
    if (!file) return ::GetLastError() == ERROR_SHARING_VIOLATION;
    // Opened: another program may still lock a range of it, which refuses the writes.
    OVERLAPPED at{};
    if (::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &at)) {
        ::UnlockFileEx(file.get(), 0, MAXDWORD, MAXDWORD, &at);
        return false;
    }
    const DWORD error = ::GetLastError();
    return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING;
}

std::vector<std::wstring> FileHolders(const std::wstring& path) {
    std::vector<std::wstring> names;
    const bool answered = Seams().queryHolders ? Seams().queryHolders(path, names) : QueryRestartManager(path, names);
    if (!answered) names.clear();
    return names;
}

std::wstring NotErasedEnding(const std::vector<std::wstring>& holders) {
    std::wstring named;
    for (const auto& holder : holders) {
        if (holder.empty()) continue;
        named += (named.empty() ? L"「" : L"、「") + holder + L"」";
    }
    if (named.empty()) return L"を正しく処理出来ませんでした。";
    return L"は" + named + L"が使用中のため処理出来ませんでした。";
}

std::wstring NotErasedEnding(const std::wstring& path) {
    return NotErasedEnding(FileInUse(path) ? FileHolders(path) : std::vector<std::wstring>{});
}
