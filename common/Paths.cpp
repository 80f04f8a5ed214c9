#include "common/Paths.h"

#include <windows.h>

#include "common/FileSystem.h"

namespace {

// Index just past the last "\" or ":", or 0.
std::size_t NameStart(const std::wstring& path) {
    const auto pos = path.find_last_of(L"\\:");
    return pos == std::wstring::npos ? 0 : pos + 1;
}

}  // namespace

std::wstring ExtractFilePath(const std::wstring& path) {
    return path.substr(0, NameStart(path));
}

std::wstring ExtractFileName(const std::wstring& path) {
    return path.substr(NameStart(path));
}

std::wstring ExtractFileExt(const std::wstring& path) {
    const auto start = NameStart(path);
    const auto dot = path.rfind(L'.');
    if (dot == std::wstring::npos || dot < start) return {};
    return path.substr(dot);
}

std::wstring ProgramFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    return ExtractFilePath(buffer);
}

bool FileExists(const std::wstring& path) {
    const DWORD attributes = FsGetAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path) {
    const DWORD attributes = FsGetAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
