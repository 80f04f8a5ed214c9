#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A fresh folder under the Wine prefix's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder, without a trailing backslash.
    const std::wstring& Path() const { return path_; }
    // The folder + "\" + name.
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// Removes a folder tree, clearing read-only attributes on the way; links are removed, not followed.
void RemoveTree(const std::wstring& path);

// The names of the entries of a folder (without "." and ".."), in code-unit order.
std::vector<std::wstring> EntriesOf(const std::wstring& folder);

// Whole-file helpers for tests.
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
// Reads `size` bytes from offset 0 of an open handle.
std::string ReadHandle(HANDLE file, std::size_t size);
// Size of the file behind an open handle.
long long HandleSize(HANDLE file);

// Holds a file open with sharing denied, so that no one else can open it meanwhile.
class UniqueFileLock {
public:
    explicit UniqueFileLock(const std::wstring& path)
        : handle_(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~UniqueFileLock() {
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    }
    UniqueFileLock(const UniqueFileLock&) = delete;
    UniqueFileLock& operator=(const UniqueFileLock&) = delete;
    bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};
