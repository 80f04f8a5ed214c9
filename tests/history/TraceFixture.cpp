#include "tests/history/TraceFixture.h"

#include <shlobj.h>
#include <wininet.h>

#include <cstring>
#include <functional>

#include "common/Paths.h"
#include "history/IeErase.h"
#include "history/TraceRun.h"

namespace traces {

namespace {

std::wstring Special(int csidl) {
    wchar_t path[MAX_PATH + 1] = {};
    return ::SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE) ? path : L"";
}

void MakeFolders(const std::wstring& folder) {
    if (folder.size() <= 3 || DirectoryExists(folder)) return;
    MakeFolders(ExtractFilePath(folder).substr(0, ExtractFilePath(folder).size() - 1));
    ::CreateDirectoryW(folder.c_str(), nullptr);
}

// Every file below `folder` but the index and desktop files.
void FilesBelow(const std::wstring& folder, std::vector<std::wstring>& files) {
    WIN32_FIND_DATAW entry{};
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            FilesBelow(path, files);
        else if (!TIE_ERASE::IsKeptFile(path))
            files.push_back(path);
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);
}

}  // namespace

std::wstring RecentFolder() { return Special(CSIDL_RECENT); }
std::wstring CookieFolder() { return Special(CSIDL_COOKIES); }
std::wstring CacheFolder() { return Special(CSIDL_INTERNET_CACHE); }

std::wstring MakeFile(const std::wstring& path, const std::string& text) {
    MakeFolders(ExtractFilePath(path).substr(0, ExtractFilePath(path).size() - 1));
    WriteBytes(path, text);
    return path;
}

namespace {

std::wstring UnixName(const std::wstring& path) {
    using Converter = char* (*)(const wchar_t*);
    const auto convert = reinterpret_cast<Converter>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = convert ? convert(path.c_str()) : nullptr;
    if (!name) return {};
    const std::wstring wide(name, name + std::strlen(name));  // the test's names are ASCII
    ::HeapFree(::GetProcessHeap(), 0, name);
    return wide;
}

// Runs a host program; a host program's end is not seen through its handle, so the caller
// waits for `done` (up to ten seconds).
bool RunOnHost(const wchar_t* program, std::wstring command, const std::function<bool()>& done) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    const ULONGLONG deadline = ::GetTickCount64() + 10000;
    while (!done()) {
        if (::GetTickCount64() > deadline) return false;
        ::Sleep(20);
    }
    return true;
}

bool Listed(const std::wstring& path) {
    WIN32_FIND_DATAW entry{};
    HANDLE find = ::FindFirstFileW(path.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return false;
    ::FindClose(find);
    return true;
}

}  // namespace

bool MakeUnixLink(const std::wstring& target, const std::wstring& link) {
    return RunOnHost(L"Z:\\bin\\ln", L"/bin/ln -sfn " + UnixName(target) + L" " + UnixName(link),
                     [&] { return Listed(link); });
}

bool RemoveUnixLink(const std::wstring& link) {
    // Deleting a link through Wine would delete its target.
    const std::wstring folder = ExtractFilePath(link);
    return RunOnHost(L"Z:\\bin\\rm", L"/bin/rm -f " + UnixName(link), [&] {
        for (const std::wstring& name : EntriesOf(folder.substr(0, folder.size() - 1)))
            if (name == ExtractFileName(link)) return false;
        return true;
    });
}

std::wstring CommitEntry(const std::wstring& url, DWORD type, const wchar_t* extension) {
    wchar_t file[MAX_PATH] = {};
    if (!::CreateUrlCacheEntryW(url.c_str(), 0, extension, file, 0)) return {};
    WriteBytes(file, "cached");
    FILETIME none{};
    if (!::CommitUrlCacheEntryW(url.c_str(), file, none, none, type, nullptr, 0, nullptr, nullptr)) return {};
    return file;
}

bool HasEntry(const std::wstring& url) {
    DWORD size = 0;
    if (::GetUrlCacheEntryInfoW(url.c_str(), nullptr, &size)) return true;
    return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

TypedUrls ReadTypedUrls() {
    TypedUrls typed;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kTypedUrlsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return typed;
    typed.exists = true;
    for (DWORD index = 0;; ++index) {
        wchar_t name[512] = {};
        wchar_t data[2048] = {};
        DWORD nameLength = 512, dataSize = sizeof(data) - sizeof(wchar_t), type = 0;
        if (::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data),
                            &dataSize) != ERROR_SUCCESS)
            break;
        typed.values.emplace_back(name, type == REG_SZ ? data : L"");
    }
    ::RegCloseKey(key);
    return typed;
}

void WriteTypedUrls(const std::vector<std::pair<std::wstring, std::wstring>>& values) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kTypedUrlsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    for (const auto& [name, text] : values)
        ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
}

TraceGuard::TraceGuard() : typed_(ReadTypedUrls()) {
    std::vector<std::wstring> files;
    for (const std::wstring& folder : {RecentFolder(), CookieFolder(), CacheFolder()})
        if (!folder.empty()) FilesBelow(folder, files);
    for (const std::wstring& file : files) {
        const std::wstring copy = backup_ / std::to_wstring(kept_.size());
        if (::CopyFileW(file.c_str(), copy.c_str(), FALSE)) kept_.push_back({file, copy});
    }
}

TraceGuard::~TraceGuard() {
    for (auto made = made_.rbegin(); made != made_.rend(); ++made) {
        if (DirectoryExists(*made)) {
            RemoveTree(*made);
        } else {
            ::SetFileAttributesW(made->c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(made->c_str());
        }
    }
    for (const Kept& kept : kept_)
        if (!FileExists(kept.original)) {
            MakeFolders(ExtractFilePath(kept.original).substr(0, ExtractFilePath(kept.original).size() - 1));
            ::CopyFileW(kept.copy.c_str(), kept.original.c_str(), TRUE);
        }
    // The typed addresses as they were: the test's values go, the earlier ones come back.
    if (HKEY key = nullptr; ::RegOpenKeyExW(HKEY_CURRENT_USER, kTypedUrlsKey, 0, KEY_ALL_ACCESS, &key) ==
                            ERROR_SUCCESS) {
        for (const auto& [name, text] : ReadTypedUrls().values) ::RegDeleteValueW(key, name.c_str());
        ::RegCloseKey(key);
    }
    if (typed_.exists)
        WriteTypedUrls(typed_.values);
    else
        ::RegDeleteKeyW(HKEY_CURRENT_USER, kTypedUrlsKey);
}

BrowserWindow::BrowserWindow() {
    WNDCLASSW browserClass{};
    browserClass.lpfnWndProc = ::DefWindowProcW;
    browserClass.hInstance = ::GetModuleHandleW(nullptr);
    browserClass.lpszClassName = TIE_ERASE::kBrowserClass;
    ::RegisterClassW(&browserClass);
    window_ = ::CreateWindowExW(0, TIE_ERASE::kBrowserClass, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

BrowserWindow::~BrowserWindow() {
    if (window_) ::DestroyWindow(window_);
}

std::wstring TraceGuard::Made(const std::wstring& path) {
    made_.push_back(path);
    return path;
}

RunLockHolder::RunLockHolder()
    : held_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), release_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    holder_ = std::thread([this] {
        UniqueKernelHandle mutex(::CreateMutexW(nullptr, FALSE, kTraceRunMutexName));
        ::WaitForSingleObject(mutex.get(), INFINITE);
        ::SetEvent(held_.get());
        ::WaitForSingleObject(release_.get(), INFINITE);
        ::ReleaseMutex(mutex.get());
    });
    ::WaitForSingleObject(held_.get(), 10000);
}

void RunLockHolder::Release() {
    ::SetEvent(release_.get());
    if (holder_.joinable()) holder_.join();
}

}  // namespace traces
