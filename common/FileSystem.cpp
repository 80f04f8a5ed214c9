#include "common/FileSystem.h"

#include <utility>
#include <vector>

#include "common/Handles.h"

namespace {

// Only a 32-bit program on 64-bit Windows sees the system folder redirected; the 64-bit edition
// has nothing to turn off.
FileSystemRedirectionCalls DefaultCalls() {
    FileSystemRedirectionCalls calls;
    if (sizeof(void*) == 8) return calls;
    if (HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll")) {
        calls.disable = reinterpret_cast<BOOL(WINAPI*)(PVOID*)>(
            reinterpret_cast<void*>(::GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
        calls.revert = reinterpret_cast<BOOL(WINAPI*)(PVOID)>(
            reinterpret_cast<void*>(::GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
    }
    if (!calls.disable || !calls.revert) calls.disable = nullptr, calls.revert = nullptr;
    return calls;
}

FileSystemRedirectionCalls& Calls() {
    static FileSystemRedirectionCalls calls = DefaultCalls();
    return calls;
}

// The redirection is turned off once per thread, by the outermost scope.
thread_local int t_depth = 0;
thread_local bool t_turnedOff = false;
thread_local PVOID t_oldValue = nullptr;
thread_local BOOL(WINAPI* t_revert)(PVOID) = nullptr;

void Watch(const std::wstring& systemPath) {
    if (const auto& watch = Calls().watchCall) watch(systemPath);
}

bool IsSeparator(wchar_t c) { return c == L'\\'; }

// True when no piece of `rest` (pieces split at "\") is empty, "." or "..", and it holds no "/".
bool PiecesAreResolved(const std::wstring& rest) {
    if (rest.find(L'/') != std::wstring::npos) return false;
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find(L'\\', start);
        if (end == std::wstring::npos) end = rest.size();
        const std::wstring piece = rest.substr(start, end - start);
        // A trailing separator ends the path with an empty piece; it is allowed.
        if (piece.empty() && end != rest.size()) return false;
        if (piece == L"." || piece == L"..") return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

std::wstring SystemPathOf(const std::wstring& path) {
    if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == L'?' || path[2] == L'.') &&
        IsSeparator(path[3]))
        return path;  // already in a system form
    const bool driveLetter = path.size() >= 3 && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
                             path[1] == L':' && IsSeparator(path[2]);
    if (driveLetter) {
        if (path.size() == 3) return L"\\\\?\\" + path;
        return PiecesAreResolved(path.substr(3)) ? L"\\\\?\\" + path : path;
    }
    const bool unc = path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]);
    if (unc && PiecesAreResolved(path.substr(2))) return L"\\\\?\\UNC\\" + path.substr(2);
    return path;
}

bool IsAddressableName(const std::wstring& name) {
    if (name.empty() || name == L"." || name == L"..") return false;
    for (const wchar_t c : name)
        if (c < 0x20 || c == L'\\' || c == L'/' || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' ||
            c == L'|')
            return false;
    return true;
}

NativeFileSystem::NativeFileSystem() {
    if (t_depth++ > 0) return;
    const auto& calls = Calls();
    t_turnedOff = false;
    if (calls.disable && calls.revert) {
        PVOID old = nullptr;
        if (calls.disable(&old)) {
            t_turnedOff = true;
            t_oldValue = old;
            t_revert = calls.revert;
        }
    }
}

NativeFileSystem::~NativeFileSystem() {
    if (--t_depth > 0) return;
    if (t_turnedOff && t_revert) t_revert(t_oldValue);
    t_turnedOff = false;
    t_oldValue = nullptr;
    t_revert = nullptr;
}

DWORD FsGetAttributes(const std::wstring& path) {
    NativeFileSystem native;
    const std::wstring system = SystemPathOf(path);
    Watch(system);
    return ::GetFileAttributesW(system.c_str());
}

bool FsSetAttributes(const std::wstring& path, DWORD attributes) {
    NativeFileSystem native;
    const std::wstring system = SystemPathOf(path);
    Watch(system);
    return ::SetFileAttributesW(system.c_str(), attributes) != FALSE;
}

HANDLE FsCreateFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    NativeFileSystem native;
    const std::wstring system = SystemPathOf(path);
    Watch(system);
    return ::CreateFileW(system.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

bool FsMoveFile(const std::wstring& from, const std::wstring& to) {
    NativeFileSystem native;
    const std::wstring systemFrom = SystemPathOf(from), systemTo = SystemPathOf(to);
    Watch(systemFrom);
    Watch(systemTo);
    return ::MoveFileW(systemFrom.c_str(), systemTo.c_str()) != FALSE;
}

bool FsDeleteFile(const std::wstring& path) {
    NativeFileSystem native;
    const std::wstring system = SystemPathOf(path);
    Watch(system);
    return ::DeleteFileW(system.c_str()) != FALSE;
}

HANDLE FsFindFirstFile(const std::wstring& pattern, WIN32_FIND_DATAW& entry) {
    NativeFileSystem native;
    const std::wstring system = SystemPathOf(pattern);
    Watch(system);
    return ::FindFirstFileW(system.c_str(), &entry);
}

namespace {

struct StreamCalls {
    HANDLE(WINAPI* findFirst)(LPCWSTR, STREAM_INFO_LEVELS, LPVOID, DWORD) = nullptr;
    BOOL(WINAPI* findNext)(HANDLE, LPVOID) = nullptr;
};

const StreamCalls& LoadedStreamCalls() {
    static const StreamCalls calls = [] {
        StreamCalls found;
        if (const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll")) {
            found.findFirst = reinterpret_cast<decltype(found.findFirst)>(
                reinterpret_cast<void*>(::GetProcAddress(kernel, "FindFirstStreamW")));
            found.findNext = reinterpret_cast<decltype(found.findNext)>(
                reinterpret_cast<void*>(::GetProcAddress(kernel, "FindNextStreamW")));
        }
        return found;
    }();
    return calls;
}

}  // namespace

HANDLE FsFindFirstStream(const std::wstring& path, WIN32_FIND_STREAM_DATA& stream) {
    const StreamCalls& calls = LoadedStreamCalls();
    if (!calls.findFirst || !calls.findNext) return INVALID_HANDLE_VALUE;
    NativeFileSystem native;
    const std::wstring system = SystemPathOf(path);
    Watch(system);
    return calls.findFirst(system.c_str(), FindStreamInfoStandard, &stream, 0);
}

bool FsFindNextStream(HANDLE find, WIN32_FIND_STREAM_DATA& stream) {
    const StreamCalls& calls = LoadedStreamCalls();
    return calls.findNext && calls.findNext(find, &stream) != FALSE;
}

bool FsEntryExists(const std::wstring& path) {
    if (FsGetAttributes(path) != INVALID_FILE_ATTRIBUTES) return true;
    // Anything but "not there" means an entry that is there but not for us. (The attributes of a
    // link are its own, so a link that leads nowhere counts on Windows; Wine does not show one.)
    const DWORD error = ::GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

namespace {

// Wine's call that gives the Unix path of a Windows path (absent on Windows), and the result's
// owner.
using UnixNameCall = char*(CDECL*)(LPCWSTR);

UnixNameCall WineUnixNameCall() {
    static const UnixNameCall call = [] {
        HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
        return kernel ? reinterpret_cast<UnixNameCall>(reinterpret_cast<void*>(::GetProcAddress(kernel, "wine_get_unix_file_name")))
                      : nullptr;
    }();
    return call;
}

// The Unix path of an existing folder as a Windows path Wine looks up letter for letter
// ("\\?\unix\home\..."), empty when there is none.
std::wstring ExactFolderPathOf(const std::wstring& folder) {
    const UnixNameCall call = WineUnixNameCall();
    if (!call) return {};
    char* unix = call(folder.c_str());
    if (!unix) return {};
    std::wstring wide;
    const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, unix, -1, nullptr, 0);
    if (n > 1 && unix[0] == '/') {
        wide.resize(static_cast<std::size_t>(n));
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, unix, -1, wide.data(), n);
        wide.resize(static_cast<std::size_t>(n) - 1);
    }
    ::HeapFree(::GetProcessHeap(), 0, unix);
    if (wide.empty() || wide.find(L'\\') != std::wstring::npos) return {};
    for (auto& c : wide)
        if (c == L'/') c = L'\\';
    if (wide.back() == L'\\') wide.pop_back();
    return L"\\\\?\\unix" + wide;
}

// Whether Wine spells `name` on the Unix side as it is: no character it stands in for one a
// Windows name cannot hold (U+F000 to U+F0FF).
bool SpelledAsItIs(const std::wstring& name) {
    for (const wchar_t c : name)
        if (c >= 0xF000 && c <= 0xF0FF) return false;
    return !name.empty();
}

}  // namespace

bool FsExactEntryExists(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L'\\');
    const std::wstring name = slash == std::wstring::npos ? std::wstring() : path.substr(slash + 1);
    if (WineUnixNameCall() && SpelledAsItIs(name) && IsAddressableName(name)) {
        // The folder is found afresh each time, so a folder moved meanwhile is not missed.
        std::wstring folder = path.substr(0, slash);
        if (!folder.empty() && folder.back() == L':') folder += L'\\';
        const std::wstring exact = ExactFolderPathOf(SystemPathOf(folder));
        if (!exact.empty()) return FsEntryExists(exact + L"\\" + name);
    }
    return FsEntryExists(path);
}

std::wstring FinalPathOf(HANDLE handle, bool* available) {
    using Call = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
    static const Call call = [] {
        HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
        return kernel ? reinterpret_cast<Call>(reinterpret_cast<void*>(::GetProcAddress(kernel, "GetFinalPathNameByHandleW")))
                      : nullptr;
    }();
    if (available) *available = call != nullptr;
    if (!call) return {};
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD n = call(handle, buffer.data(), static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.resize(static_cast<std::size_t>(n) + 1);
    }
    return {};
}

namespace {

using InformationCall = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);

// GetFileInformationByHandleEx, where the system has it.
InformationCall InformationByHandleCall() {
    static const InformationCall call = [] {
        HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
        return kernel ? reinterpret_cast<InformationCall>(
                            reinterpret_cast<void*>(::GetProcAddress(kernel, "GetFileInformationByHandleEx")))
                      : nullptr;
    }();
    return call;
}

}  // namespace

bool FsDescribeOpenFile(HANDLE handle, DWORD& attributes, LONGLONG& size) {
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    if (const InformationCall call = InformationByHandleCall();
        call && call(handle, FileBasicInfo, &basic, sizeof(basic)) && call(handle, FileStandardInfo, &standard, sizeof(standard))) {
        attributes = basic.FileAttributes;
        size = standard.EndOfFile.QuadPart;
        return true;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) return false;
    attributes = info.dwFileAttributes;
    size = static_cast<LONGLONG>((static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    return true;
}

std::wstring VolumePathOf(HANDLE handle) {
    const InformationCall call = InformationByHandleCall();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!call || !::GetFileInformationByHandle(handle, &info)) return {};
    // Room for the longest path a volume holds.
    std::vector<DWORD> buffer((sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t)) / sizeof(DWORD) + 1);
    if (!call(handle, FileNameInfo, buffer.data(), static_cast<DWORD>(buffer.size() * sizeof(DWORD)))) return {};
    const auto* name = reinterpret_cast<const FILE_NAME_INFO*>(buffer.data());
    wchar_t serial[16] = {};
    ::wsprintfW(serial, L"%08lx", static_cast<unsigned long>(info.dwVolumeSerialNumber));
    return serial + std::wstring(name->FileName, name->FileNameLength / sizeof(wchar_t));
}

FileSystemRedirectionCalls SetFileSystemRedirectionCalls(FileSystemRedirectionCalls calls) {
    return std::exchange(Calls(), std::move(calls));
}
