#include "tests/support/TempFolder.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>

#include "common/FileSystem.h"
#include "common/Handles.h"

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        path_ = std::wstring(temp) + L"tmtest." + std::to_wstring(::GetCurrentProcessId()) + L"." +
                std::to_wstring(counter++);
        if (::CreateDirectoryW(path_.c_str(), nullptr)) return;
    }
    throw std::runtime_error("cannot make a temporary folder");
}

TempFolder::~TempFolder() { RemoveTree(path_); }

void RemoveTree(const std::wstring& path) {
    // Through the long form, so that names with a trailing dot or beyond the path limit go too.
    WIN32_FIND_DATAW entry{};
    UniqueFind search(FsFindFirstFile(path + L"\\*", entry));
    if (search) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            FsSetAttributes(child, FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                    ::RemoveDirectoryW(SystemPathOf(child).c_str());
                else
                    RemoveTree(child);
            } else {
                FsDeleteFile(child);
            }
        } while (::FindNextFileW(search.get(), &entry));
    }
    search.reset();
    ::RemoveDirectoryW(SystemPathOf(path).c_str());
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) return false;
    DWORD written = 0;
    return bytes.empty() ||
           (::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size());
}

std::string ReadBytes(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    const long long size = HandleSize(file.get());
    return ReadHandle(file.get(), static_cast<std::size_t>(size));
}

std::string ReadHandle(HANDLE file, std::size_t size) {
    std::string bytes(size, '\0');
    OVERLAPPED at{};
    DWORD got = 0;
    if (size && !::ReadFile(file, bytes.data(), static_cast<DWORD>(size), &got, &at)) return {};
    bytes.resize(size ? got : 0);
    return bytes;
}

long long HandleSize(HANDLE file) {
    LARGE_INTEGER size{};
    return ::GetFileSizeEx(file, &size) ? size.QuadPart : -1;
}

std::vector<std::wstring> EntriesOf(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry{};
    UniqueFind search(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!search) return names;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (::FindNextFileW(search.get(), &entry));
    std::sort(names.begin(), names.end());
    return names;
}
