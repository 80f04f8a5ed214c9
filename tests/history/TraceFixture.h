#pragma once

// The places the trace eraser works on, for tests: the prefix's recent-documents, cookie and
// cache folders, real URL cache entries and the typed-address key. A `TraceGuard` keeps what
// was there before a test (files and typed addresses) and puts it back afterwards, and removes
// what the test made.

#include <windows.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/Handles.h"
#include "tests/support/TempFolder.h"

namespace traces {

std::wstring RecentFolder();
std::wstring CookieFolder();
std::wstring CacheFolder();  // the cache folder itself; the cache lives in "\Content.IE5"

// Makes the file (and its folders) with `text`; its path.
std::wstring MakeFile(const std::wstring& path, const std::string& text = "trace");

// Makes `link` a Unix symbolic link to `target` (both Windows paths) with the host's "ln";
// false when it could not be made.
bool MakeUnixLink(const std::wstring& target, const std::wstring& link);
// Removes such a link with the host's "rm" (deleting it through Wine deletes its target).
bool RemoveUnixLink(const std::wstring& link);

// A URL cache entry for `url` with a file of its own; the entry's local file.
std::wstring CommitEntry(const std::wstring& url, DWORD type, const wchar_t* extension);
bool HasEntry(const std::wstring& url);

// The values of the typed-address key (names and texts); `exists` tells whether the key is there.
struct TypedUrls {
    bool exists = false;
    std::vector<std::pair<std::wstring, std::wstring>> values;
};
TypedUrls ReadTypedUrls();
// Creates the key (when missing) and sets the values.
void WriteTypedUrls(const std::vector<std::pair<std::wstring, std::wstring>>& values);

// A top-level window of the browser's class "IEFrame" for its lifetime.
class BrowserWindow {
public:
    BrowserWindow();
    ~BrowserWindow();
    BrowserWindow(const BrowserWindow&) = delete;
    BrowserWindow& operator=(const BrowserWindow&) = delete;
    HWND Handle() const { return window_; }

private:
    HWND window_;
};

// Keeps the files of the three folders and the typed addresses as they were before the test.
class TraceGuard {
public:
    TraceGuard();
    ~TraceGuard();
    TraceGuard(const TraceGuard&) = delete;
    TraceGuard& operator=(const TraceGuard&) = delete;

    // A path the test makes and the guard removes (a file or a folder tree).
    std::wstring Made(const std::wstring& path);

private:
    struct Kept {
        std::wstring original;
        std::wstring copy;
    };
    TempFolder backup_;
    std::vector<Kept> kept_;
    std::vector<std::wstring> made_;
    TypedUrls typed_;
};

// Holds the history tools' run lock from a thread of its own (a lock is the thread's: its own
// thread would take it again) until released, as another run of the session would.
class RunLockHolder {
public:
    RunLockHolder();
    ~RunLockHolder() { Release(); }
    RunLockHolder(const RunLockHolder&) = delete;
    RunLockHolder& operator=(const RunLockHolder&) = delete;
    void Release();

private:
    UniqueKernelHandle held_, release_;
    std::thread holder_;
};

}  // namespace traces
